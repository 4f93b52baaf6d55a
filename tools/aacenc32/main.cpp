// aacenc32: encodes a PCM WAV file to AAC-LC in an ADTS stream.
//
//   aacenc32 -cbr KBPS INPUT.wav OUTPUT.aac
//   aacenc32 -vbr PRESET INPUT.wav OUTPUT.aac

#include "aac_writer.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kMinKbps = 8;
constexpr int kMaxKbps = 512;

void PrintUsage(std::FILE* to) {
    std::fprintf(to,
                 "usage: aacenc32 -cbr KBPS INPUT.wav OUTPUT.aac\n"
                 "       aacenc32 -vbr PRESET INPUT.wav OUTPUT.aac\n"
                 "\n"
                 "Encodes an integer PCM WAV file (8, 16, 24 or 32 bit, 1 to 8 channels) to\n"
                 "AAC-LC in an ADTS stream with libavcodec's AAC encoder.\n"
                 "\n"
                 "  -cbr KBPS   constant bitrate, %d to %d kbit/s\n"
                 "  -vbr PRESET variable bitrate; the presets, by rising quality, and the\n"
                 "              encoder's global quality each one sets (-q:a in ffmpeg):\n",
                 kMinKbps, kMaxKbps);
    for (const aacenc::Preset& p : aacenc::kPresets)
        std::fprintf(to, "                %-12s q %.2f\n", p.name, p.quality);
    std::fprintf(to, "\n"
                     "Exit status: 0 on success, 1 on an input or output error (no output file\n"
                     "is left behind), 2 on a usage error.\n");
}

int Usage(const char* problem) {
    std::fprintf(stderr, "aacenc32: %s\n\n", problem);
    PrintUsage(stderr);
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(stdout);
        return kExitOk;
    }
    if (argc != 5)
        return Usage("expected a mode, its value, an input and an output");
    av_log_set_level(AV_LOG_ERROR);
    aacenc::Settings settings;
    const std::string mode = argv[1];
    const std::string value = argv[2];
    if (mode == "-cbr") {
        char* end = nullptr;
        const long kbps = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || kbps < kMinKbps || kbps > kMaxKbps)
            return Usage(("bitrate out of range: " + value).c_str());
        settings.cbrKbps = static_cast<int>(kbps);
    } else if (mode == "-vbr") {
        settings.quality = aacenc::PresetQuality(value);
        if (settings.quality <= 0)
            return Usage(("unknown preset: " + value).c_str());
    } else {
        return Usage(("unknown mode: " + mode).c_str());
    }
    std::string error;
    if (!aacenc::Encode(argv[3], argv[4], settings, error)) {
        std::fprintf(stderr, "aacenc32: %s\n", error.c_str());
        return kExitFailed;
    }
    return kExitOk;
}
