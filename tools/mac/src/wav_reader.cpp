#include "wav_reader.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace quintrel::mac {

void MemorySource::read(std::uint64_t offset, void* dst, std::size_t n) const {
    if (offset > bytes_.size() || n > bytes_.size() - offset)
        throw WavError("internal error: read outside the input buffer");
    std::memcpy(dst, bytes_.data() + offset, n);
}

namespace {

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool idIs(const std::uint8_t* p, const char* id) {
    return std::memcmp(p, id, 4) == 0;
}

bool printableId(const std::uint8_t* p) {
    for (int i = 0; i < 4; ++i)
        if (p[i] < 0x20 || p[i] > 0x7e)
            return false;
    return true;
}

constexpr std::uint16_t kFormatPcm = 0x0001;
constexpr std::uint16_t kFormatFloat = 0x0003;
constexpr std::uint16_t kFormatExtensible = 0xfffe;
constexpr std::uint32_t kMaxSampleRate = 0x7fffffff;

// Tail of the KSDATAFORMAT_SUBTYPE_PCM GUID; its first two bytes carry the format tag.
constexpr std::array<std::uint8_t, 14> kGuidTail = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                    0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};

WavFormat parseFmt(const std::uint8_t* p, std::uint32_t size) {
    if (size < 16)
        throw WavError("fmt chunk is too small (" + std::to_string(size) + " bytes)");
    std::uint16_t tag = le16(p);
    WavFormat f;
    f.channels = le16(p + 2);
    f.sampleRate = le32(p + 4);
    unsigned blockAlign = le16(p + 12);
    f.bitsPerSample = le16(p + 14);

    if (tag == kFormatExtensible) {
        if (size < 40 || le16(p + 16) < 22)
            throw WavError("WAVE_FORMAT_EXTENSIBLE fmt chunk is too small");
        unsigned validBits = le16(p + 18);
        std::uint16_t subTag = le16(p + 24);
        if (std::memcmp(p + 26, kGuidTail.data(), kGuidTail.size()) != 0)
            throw WavError("WAVE_FORMAT_EXTENSIBLE with an unknown sub-format");
        if (subTag == kFormatFloat)
            throw WavError("floating-point WAV is not supported (PCM only)");
        if (subTag != kFormatPcm)
            throw WavError("WAVE_FORMAT_EXTENSIBLE sub-format is not PCM");
        if (validBits > f.bitsPerSample)
            throw WavError("valid bits per sample exceed the container size");
    } else if (tag == kFormatFloat) {
        throw WavError("floating-point WAV is not supported (PCM only)");
    } else if (tag != kFormatPcm) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "not a PCM WAV (format tag 0x%04x)", tag);
        throw WavError(buf);
    }

    if (f.channels == 0)
        throw WavError("WAV declares zero channels");
    if (f.channels > 2)
        throw WavError("only mono and stereo are supported (input has " +
                       std::to_string(f.channels) + " channels)");
    if (f.bitsPerSample != 8 && f.bitsPerSample != 16 && f.bitsPerSample != 24)
        throw WavError("unsupported bits per sample: " + std::to_string(f.bitsPerSample) +
                       " (8, 16 or 24 are supported)");
    if (f.sampleRate == 0 || f.sampleRate > kMaxSampleRate)
        throw WavError("invalid sample rate: " + std::to_string(f.sampleRate));
    if (blockAlign != f.blockAlign())
        throw WavError("inconsistent block align " + std::to_string(blockAlign) + " (expected " +
                       std::to_string(f.blockAlign()) + ")");
    return f;
}

// True when [pos, end) is exactly a sequence of well-formed chunks. Used to tell a truly
// empty data chunk that is followed by other chunks from a streamed one (size left at 0).
bool isChunkList(const ByteSource& src, std::uint64_t pos, std::uint64_t end) {
    while (pos < end) {
        if (end - pos < 8)
            return false;
        std::uint8_t h[8];
        src.read(pos, h, 8);
        if (!printableId(h))
            return false;
        std::uint64_t next = pos + 8 + le32(h + 4);
        if (next > end)
            return false;
        if (next < end && (le32(h + 4) & 1))
            ++next;
        pos = next;
    }
    return true;
}

} // namespace

WavLayout parseWav(const ByteSource& src) {
    const std::uint64_t size = src.size();
    if (size < 12)
        throw WavError("not a WAV file: too short for a RIFF header");
    std::uint8_t riff[12];
    src.read(0, riff, 12);
    if (idIs(riff, "RIFX"))
        throw WavError("big-endian (RIFX) WAV is not supported");
    if (!idIs(riff, "RIFF") || !idIs(riff + 8, "WAVE"))
        throw WavError("not a WAV file: missing RIFF/WAVE header");

    bool haveFmt = false;
    bool haveData = false;
    WavLayout out;
    std::uint64_t dataSize = 0;

    std::uint64_t pos = 12;
    while (size - pos >= 8) {
        std::uint8_t h[8];
        src.read(pos, h, 8);
        const std::uint32_t csize = le32(h + 4);
        const std::uint64_t body = pos + 8;
        const std::uint64_t avail = size - body;

        if (idIs(h, "fmt ")) {
            if (csize > avail)
                throw WavError("truncated fmt chunk");
            if (csize > 4096)
                throw WavError("fmt chunk is implausibly large (" + std::to_string(csize) +
                               " bytes)");
            if (haveFmt)
                throw WavError("WAV has more than one fmt chunk");
            std::uint8_t buf[4096];
            src.read(body, buf, csize);
            out.format = parseFmt(buf, csize);
            haveFmt = true;
        } else if (idIs(h, "data") && !haveData) {
            haveData = true;
            out.dataOffset = body;
            bool streamed = csize > avail || (csize == 0 && !isChunkList(src, body, size));
            if (streamed) {
                // A writer that could not seek back left the size at 0 (or 0xffffffff):
                // the samples run to the end of the file.
                out.streamed = avail > 0;
                dataSize = avail;
                if (!haveFmt)
                    throw WavError("fmt chunk must precede streamed audio data");
                break;
            }
            dataSize = csize;
        } else if (csize > avail) {
            if (haveData && haveFmt)
                break; // damaged trailing metadata after the audio: ignore it
            throw WavError("truncated WAV: chunk '" +
                           std::string(printableId(h) ? std::string(h, h + 4) : "????") +
                           "' runs past the end of the file");
        }
        if (haveFmt && haveData)
            break;
        std::uint64_t len = idIs(h, "data") ? dataSize : csize;
        pos = body + len + (len & 1);
        if (pos > size)
            break;
    }

    if ((!haveFmt || !haveData) && pos < size)
        throw WavError("truncated WAV: the file ends inside a chunk header");
    if (!haveFmt)
        throw WavError("WAV has no fmt chunk");
    if (!haveData)
        throw WavError("WAV has no data chunk");

    const unsigned align = out.format.blockAlign();
    out.blocks = dataSize / align;
    out.dataBytes = out.blocks * align;
    out.partialBlockDropped = out.dataBytes != dataSize;
    return out;
}

WavLayout parseWavBuffer(std::span<const std::uint8_t> bytes) {
    MemorySource src(bytes);
    return parseWav(src);
}

void pcmToInt(const std::uint8_t* pcm, std::size_t blocks, const WavFormat& fmt,
              std::int32_t* out) {
    const std::size_t n = blocks * fmt.channels;
    switch (fmt.bitsPerSample) {
    case 8:
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<std::int32_t>(pcm[i]) - 128;
        break;
    case 16:
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<std::int16_t>(le16(pcm + 2 * i));
        break;
    case 24:
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* p = pcm + 3 * i;
            std::uint32_t v = p[0] | p[1] << 8 | static_cast<std::uint32_t>(p[2]) << 16;
            out[i] = static_cast<std::int32_t>(v << 8) >> 8;
        }
        break;
    default:
        throw WavError("unsupported bits per sample");
    }
}

} // namespace quintrel::mac
