// Monkey's Audio (APE, file version 3.99) frame encoder.
//
// One frame is coded independently of every other: all adaptive state is reset at the
// start of a frame. The pipeline mirrors the decoder in reverse:
//   samples -> (stereo: mid/side) -> stage-1 adaptive predictor -> NN filters
//           -> adaptive Golomb-like coder over a range coder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quintrel::mac {

constexpr int kFileVersion = 3990;
constexpr std::uint32_t kBlocksPerFrame = 73728 * 4;

enum class Level : int { Fast = 1000, Normal = 2000, High = 3000, ExtraHigh = 4000 };

bool isValidLevel(int level);

// Orders and fixed-point shifts of the NN filters of a level, in decoder order
// (the encoder applies them last to first). Fast uses none.
struct FilterSetup {
    int order;
    int shift;
};
std::vector<FilterSetup> filtersForLevel(Level level);

class NNFilter;

class FrameEncoder {
public:
    // Samples of any supported depth (8, 16, 24 bits) go through the same pipeline.
    FrameEncoder(unsigned channels, Level level);
    ~FrameEncoder();
    FrameEncoder(const FrameEncoder&) = delete;
    FrameEncoder& operator=(const FrameEncoder&) = delete;

    // Encodes `blocks` interleaved samples. `pcm`/`pcmBytes` are the same samples as
    // stored in the WAV file, used for the frame CRC. The frame is appended to `out`
    // already padded to a multiple of four bytes and in file byte order.
    void encode(const std::int32_t* samples, std::size_t blocks, const std::uint8_t* pcm,
                std::size_t pcmBytes, std::vector<std::uint8_t>& out);

private:
    unsigned channels_;
    Level level_;
    std::vector<std::unique_ptr<NNFilter>> filters_[2];
    std::vector<std::int32_t> work_[2];
    std::vector<std::uint8_t> bytes_;
};

// CRC-32 (IEEE, reflected) as used by zlib; `crc` is the running value (start with 0).
std::uint32_t crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t n);

} // namespace quintrel::mac
