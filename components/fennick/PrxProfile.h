#pragma once
// WMV profile files (.prx): an XML description of a profile's streams,
// written by the profile creator and read by the media control.
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <profile version="1" name="..." description="...">
//     <video codec="WMV2" bitrate="100000" quality="100" width="320" height="240"
//            framerate="30" keyframeinterval="6" buffer="3000" mode="0"
//            vbrquality="0" maxbitrate="1000000" maxbuffer="3000" smpte="0" language="0"/>
//     <audio codec="WMA2" bitrate="128000" samplerate="44100" channels="2"
//            buffer="3000" smpte="0" language="0"/>
//   </profile>
//
// Either stream may be missing. Plain C++, no toolkit: any part may link it.

#include <optional>
#include <string>
#include <vector>

namespace fennick {

struct PrxVideoStream {
    std::string codec = "WMV2";
    long bitrate = 100000; // bits per second
    int quality = 100;
    int width = 320, height = 240;
    double frameRate = 30;
    int keyFrameInterval = 6; // seconds
    long buffer = 3000;       // ms
    int mode = 0;             // 0 CBR, 1 VBR quality, 2 VBR constrained, 3 VBR unconstrained
    int vbrQuality = 0;
    long maxBitrate = 1000000;
    long maxBuffer = 3000;
    bool smpte = false;
    int language = 0;
};

struct PrxAudioStream {
    std::string codec = "WMA2";
    long bitrate = 128000;
    int sampleRate = 44100;
    int channels = 2;
    long buffer = 3000;
    bool smpte = false;
    int language = 0;
};

struct PrxProfile {
    std::string name;
    std::string description;
    std::optional<PrxVideoStream> video;
    std::optional<PrxAudioStream> audio;
};

// The audio formats a profile may choose from, by index, as the profile
// creator lists them.
struct PrxAudioFormat {
    std::string name;
    long bitrate;
    int sampleRate;
    int channels;
};
const std::vector<PrxAudioFormat>& PrxAudioFormats();
// Codec names a profile may carry.
const std::vector<std::string>& PrxVideoCodecs();
const std::vector<std::string>& PrxAudioCodecs();

// False with a reason when the file cannot be written (it is written under
// a temporary name and renamed, so a failure never leaves half a file).
bool WritePrx(const std::string& path, const PrxProfile& profile, std::string& error);
// False with a reason when the file is missing, not a profile, or names
// values outside what the writer accepts.
bool ReadPrx(const std::string& path, PrxProfile& profile, std::string& error);

} // namespace fennick
