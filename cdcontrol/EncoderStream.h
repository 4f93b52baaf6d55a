#pragma once
// One track's output file: an MP3 stream through the MP3 encoder library or
// an Ogg Vorbis stream through the Ogg output module, both loaded from the
// control's folder for the track and unloaded when its file is closed.

#include "BladeEnc.h"

#include <cstdint>
#include <memory>
#include <string>

namespace trakkon {

// A track's tag fields (DiscTable's TagRecord).
struct TagRecord {
    std::string title, artist, album, comment, genre;
    int trackNumber = 0;
    int year = 0;
};

enum class RipFormat { MP3 = 0, Ogg = 1 };

// What a stream is made from: the rip request's values.
struct StreamSettings {
    RipFormat format = RipFormat::MP3;
    std::string outputPath;
    int bitrateIndex = 8;
    int maxBitrateIndex = 16;
    int channelMode = 0;
    int preset = 0;
    int vbrMode = 0;
    int vbrQuality = 0;
    int mp3SampleRate = 44100;
    bool oggMono = false;
    int oggSampleRate = 44100;
    TagRecord tags;
};

// kbps of a bitrate index; 192 for any index outside the table.
int BitrateKbps(int index);

// The MP3 encoder's configuration record for these settings.
bladeenc::BE_CONFIG MakeMp3Config(const StreamSettings& s);

// File names of the two libraries in the control's folder.
inline constexpr const char* kMp3LibraryName = "lame_enc.so";
inline constexpr const char* kOggLibraryName = "Zorbinogg.so";

class EncoderStream {
public:
    virtual ~EncoderStream() = default;
    // Loads the library; false when it or an entry point is missing.
    virtual bool Load() = 0;
    // Opens the output; the chunk size in 16-bit values, or 0 on failure.
    virtual int Open() = 0;
    virtual void Encode(const std::int16_t* values, int count) = 0;
    // Flushes and closes the file (for MP3 also tags it) and unloads.
    virtual void Close() = 0;
};

// controlDir ends with "/".
std::unique_ptr<EncoderStream> CreateEncoderStream(const StreamSettings& settings,
                                                   const std::string& controlDir);

} // namespace trakkon
