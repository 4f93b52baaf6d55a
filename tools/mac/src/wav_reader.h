// RIFF/WAVE PCM reader for the APE encoder.
//
// The parser walks the chunk list through a ByteSource so the same code reads a file
// on disk and a buffer in memory (the fuzz harness uses the latter). It never reads
// outside the source: every access is bounds-checked against ByteSource::size().
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace quintrel::mac {

class WavError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct WavFormat {
    unsigned channels = 0;      // 1 or 2
    unsigned sampleRate = 0;    // Hz
    unsigned bitsPerSample = 0; // 8, 16 or 24
    unsigned blockAlign() const { return channels * (bitsPerSample / 8); }
};

struct WavLayout {
    WavFormat format;
    std::uint64_t dataOffset = 0; // byte offset of the first sample
    std::uint64_t dataBytes = 0;  // whole blocks only (a trailing partial block is dropped)
    std::uint64_t blocks = 0;     // dataBytes / blockAlign
    bool streamed = false;        // data size was 0 or beyond the end: read to end of file
    bool partialBlockDropped = false;
};

// Random-access byte source. read() is only ever called with ranges inside [0, size()).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    virtual void read(std::uint64_t offset, void* dst, std::size_t n) const = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    void read(std::uint64_t offset, void* dst, std::size_t n) const override;

private:
    std::span<const std::uint8_t> bytes_;
};

// Parses the chunk structure and validates the format. Throws WavError with a message
// meant for the user when the input is not a supported PCM WAV.
WavLayout parseWav(const ByteSource& src);
WavLayout parseWavBuffer(std::span<const std::uint8_t> bytes);

// Converts `blocks` interleaved PCM blocks to signed 32-bit samples (8-bit WAV data is
// unsigned and is re-centred on zero).
void pcmToInt(const std::uint8_t* pcm, std::size_t blocks, const WavFormat& fmt, std::int32_t* out);

} // namespace quintrel::mac
