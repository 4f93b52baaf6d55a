#pragma once
// Reads a PCM WAV file: RIFF/WAVE with a "fmt " chunk of integer PCM (plain
// or WAVE_FORMAT_EXTENSIBLE with the PCM sub-format), 8, 16, 24 or 32 bits.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace aacenc {

class WavInput {
public:
    WavInput() = default;
    ~WavInput();
    WavInput(const WavInput&) = delete;
    WavInput& operator=(const WavInput&) = delete;

    // Opens and checks the header; on failure error() says why.
    bool Open(const std::string& path);
    const std::string& error() const { return error_; }

    int channels() const { return channels_; }
    int sampleRate() const { return rate_; }
    int bitsPerSample() const { return bits_; }
    std::uint64_t frames() const { return frames_; }

    // Reads up to maxFrames frames as floats in [-1, 1), one plane per
    // channel (planes[c] must hold maxFrames). Returns the frames read, 0 at
    // the end; -1 on a read error.
    long Read(float* const* planes, int maxFrames);

private:
    std::FILE* file_ = nullptr;
    std::string error_;
    int channels_ = 0;
    int rate_ = 0;
    int bits_ = 0;
    int blockAlign_ = 0;
    std::uint64_t frames_ = 0;
    std::uint64_t framesLeft_ = 0;
    std::vector<unsigned char> buffer_;
};

} // namespace aacenc
