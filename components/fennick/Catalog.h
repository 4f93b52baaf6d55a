#pragma once
// What the control offers: its built-in Windows Media profiles and the
// encoders of this FFmpeg build that fit an AVI file.

#include <string>
#include <vector>

namespace fennick {

struct MediaProfile {
    std::string name;
    bool hasVideo = false;
    int width = 0, height = 0, fpsNum = 0, fpsDen = 1;
    int videoKbps = 0;
    int audioKbps = 0, sampleRate = 0, channels = 0;
};

// In list order; the last audio-only and the last video profile are the
// defaults a user would pick.
const std::vector<MediaProfile>& MediaProfiles();
// What index -1 writes: the last audio-only profile for WMA files, the last
// video profile for WMV files.
int DefaultAudioProfile();
int DefaultVideoProfile();

struct Compressor {
    std::string name;    // shown in the lists
    std::string encoder; // libavcodec encoder name
};

// Only the encoders present in the FFmpeg the control runs on.
const std::vector<Compressor>& VideoCompressors();
const std::vector<Compressor>& AudioCompressors();

} // namespace fennick
