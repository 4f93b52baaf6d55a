#pragma once
// The Ogg Vorbis output module: one exported function, GetLFOutModule,
// returns the module's table of operations. Samples always arrive as 16-bit
// interleaved stereo at 44 100 Hz; the format record names the output rate
// and channel count, and the module converts.

#include <cstdint>

namespace oggout {

struct OggFormat {
    std::int32_t sampleRate;
    std::int32_t channels; // 1 or 2
    std::int32_t bitsPerSample;
};

struct OggTags {
    const char* artist;
    const char* album;
    const char* title;
    const char* comment;
    const char* genre;
    std::int32_t trackNumber;
    std::int32_t year;
};

struct OggOutModule {
    std::int32_t version;
    void* reserved;
    void* window;
    void* instance;          // the loaded library's handle, set by the caller
    const char* description; // set by Init
    // Reads the three bitrate settings from the settings file.
    void (*Init)(const char* settingsPath);
    void (*Quit)();
    // The chunk size in 16-bit values, or -1 when the file cannot be written.
    int (*Open)(const char* outputPath, const OggFormat* format, const OggTags* tags);
    void (*Write)(const std::int16_t* samples, int count);
    void (*Close)();
};

using GetLFOutModuleFn = OggOutModule* (*)();

// Bitrates, in kbit/s, that the three settings' positions stand for.
inline constexpr int kBitrates[] = {32, 40, 48, 64, 80, 96, 128, 160, 196, 256, 350};
inline constexpr int kBitrateCount = sizeof(kBitrates) / sizeof(kBitrates[0]);

} // namespace oggout

extern "C" __attribute__((visibility("default"))) oggout::OggOutModule* GetLFOutModule();
