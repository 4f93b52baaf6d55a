#include "Catalog.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace fennick {

const std::vector<MediaProfile>& MediaProfiles() {
    static const std::vector<MediaProfile> profiles = {
        {"Audio 32 Kbps, 22 kHz, Mono", false, 0, 0, 0, 1, 0, 32, 22050, 1},
        {"Audio 48 Kbps, 32 kHz, Mono", false, 0, 0, 0, 1, 0, 48, 32000, 1},
        {"Audio 64 Kbps, 44 kHz, Stereo", false, 0, 0, 0, 1, 0, 64, 44100, 2},
        {"Audio 96 Kbps, 44 kHz, Stereo", false, 0, 0, 0, 1, 0, 96, 44100, 2},
        {"Audio 160 Kbps, 44 kHz, Stereo", false, 0, 0, 0, 1, 0, 160, 44100, 2},
        {"Audio 192 Kbps, 48 kHz, Stereo", false, 0, 0, 0, 1, 0, 192, 48000, 2},
        {"Audio 128 Kbps, 44 kHz, Stereo", false, 0, 0, 0, 1, 0, 128, 44100, 2},
        {"Video 176x144, 15 fps, 128 Kbps", true, 176, 144, 15, 1, 96, 32, 22050, 1},
        {"Video 240x180, 15 fps, 256 Kbps", true, 240, 180, 15, 1, 208, 48, 32000, 1},
        {"Video 320x240, 25 fps, 512 Kbps", true, 320, 240, 25, 1, 448, 64, 44100, 2},
        {"Video 640x480, 30 fps, 2 Mbps", true, 640, 480, 30, 1, 1872, 128, 44100, 2},
        {"Video 720x480, 30 fps, 3 Mbps", true, 720, 480, 30, 1, 2872, 128, 44100, 2},
        {"Video 320x240, 30 fps, 1 Mbps", true, 320, 240, 30, 1, 936, 64, 44100, 2},
    };
    return profiles;
}

int DefaultAudioProfile() {
    return 6;
}
int DefaultVideoProfile() {
    return static_cast<int>(MediaProfiles().size()) - 1;
}

namespace {
std::vector<Compressor> Present(std::initializer_list<Compressor> wanted) {
    std::vector<Compressor> out;
    for (const Compressor& c : wanted)
        if (avcodec_find_encoder_by_name(c.encoder.c_str()))
            out.push_back(c);
    return out;
}
} // namespace

const std::vector<Compressor>& VideoCompressors() {
    static const std::vector<Compressor> list = Present({
        {"MPEG-4 Part 2", "mpeg4"},
        {"Microsoft MPEG-4 v2", "msmpeg4v2"},
        {"Motion JPEG", "mjpeg"},
        {"HuffYUV", "huffyuv"},
        {"FFV1", "ffv1"},
        {"H.264", "libx264"},
    });
    return list;
}

const std::vector<Compressor>& AudioCompressors() {
    static const std::vector<Compressor> list = Present({
        {"PCM", "pcm_s16le"},
        {"MP3", "libmp3lame"},
        {"MP2", "mp2"},
        {"AC-3", "ac3"},
        {"Microsoft ADPCM", "adpcm_ms"},
        {"IMA ADPCM", "adpcm_ima_wav"},
    });
    return list;
}

} // namespace fennick
