#pragma once
// Encodes a PCM WAV file to AAC-LC in an ADTS stream with libavcodec's AAC
// encoder. Either a constant bitrate or a quality preset.

#include <string>

namespace aacenc {

struct Preset {
    const char* name;
    double quality; // the encoder's global quality scale (0.1 to 2)
};

// The eight VBR presets, lowest quality first.
extern const Preset kPresets[8];
// The preset's quality, or a negative value for an unknown name.
double PresetQuality(const std::string& name);

struct Settings {
    int cbrKbps = 0;      // > 0: constant bitrate
    double quality = 0.0; // > 0: variable bitrate at this quality
};

// Writes output from input. On failure returns false, sets error and leaves
// no output file behind.
bool Encode(const std::string& input, const std::string& output, const Settings& settings,
            std::string& error);

} // namespace aacenc
