// Builds WAV files in memory for the mac tests: valid ones in all supported layouts and
// deliberately broken ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mactest {

using Bytes = std::vector<std::uint8_t>;

struct Chunk {
    std::string id;
    Bytes body;
    // When set, written in the size field instead of body.size().
    bool overrideSize = false;
    std::uint32_t size = 0;
};

inline void put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void put32(Bytes& b, std::uint32_t v) {
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}

// fmt chunk body. `tag` 1 is PCM; extensible writes WAVE_FORMAT_EXTENSIBLE with `subTag`.
inline Bytes fmtBody(int channels, int bits, int rate, bool extensible = false,
                     std::uint16_t tag = 1, int blockAlign = -1, std::uint16_t subTag = 1) {
    Bytes b;
    const int align = blockAlign >= 0 ? blockAlign : channels * bits / 8;
    put16(b, extensible ? 0xfffe : tag);
    put16(b, static_cast<std::uint32_t>(channels));
    put32(b, static_cast<std::uint32_t>(rate));
    put32(b, static_cast<std::uint32_t>(rate * align));
    put16(b, static_cast<std::uint32_t>(align));
    put16(b, static_cast<std::uint32_t>(bits));
    if (extensible) {
        put16(b, 22);
        put16(b, static_cast<std::uint32_t>(bits));
        put32(b, channels == 2 ? 3 : 4);
        put16(b, subTag);
        const std::uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                       0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};
        b.insert(b.end(), tail, tail + 14);
    }
    return b;
}

// RIFF/WAVE container around the chunks; odd-sized bodies get their pad byte unless the
// chunk is the last one (a streamed data chunk has no pad).
inline Bytes riff(const std::vector<Chunk>& chunks) {
    Bytes b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        const Chunk& c = chunks[i];
        b.insert(b.end(), c.id.begin(), c.id.end());
        put32(b, c.overrideSize ? c.size : static_cast<std::uint32_t>(c.body.size()));
        b.insert(b.end(), c.body.begin(), c.body.end());
        if ((c.body.size() & 1) && i + 1 < chunks.size())
            b.push_back(0);
    }
    const auto riffSize = static_cast<std::uint32_t>(b.size() - 8);
    for (int i = 0; i < 4; ++i)
        b[4 + i] = static_cast<std::uint8_t>(riffSize >> (8 * i));
    return b;
}

// Interleaved signed samples to WAV sample bytes (8-bit is stored unsigned).
inline Bytes pcmBytes(const std::vector<std::int32_t>& s, int bits) {
    Bytes b;
    b.reserve(s.size() * static_cast<std::size_t>(bits / 8));
    for (std::int32_t v : s) {
        if (bits == 8) {
            b.push_back(static_cast<std::uint8_t>(v + 128));
        } else {
            for (int k = 0; k < bits / 8; ++k)
                b.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * k)));
        }
    }
    return b;
}

inline Bytes simpleWav(int channels, int bits, int rate, const Bytes& pcm) {
    return riff({{"fmt ", fmtBody(channels, bits, rate)}, {"data", pcm}});
}

} // namespace mactest
