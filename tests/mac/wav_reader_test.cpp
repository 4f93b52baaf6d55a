#include <gtest/gtest.h>

#include "wav_builder.h"
#include "wav_reader.h"

using namespace mactest;
using quintrel::mac::parseWavBuffer;
using quintrel::mac::WavError;
using quintrel::mac::WavLayout;

namespace {

Bytes ramp(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return b;
}

Chunk sized(std::string id, Bytes body, std::uint32_t size) {
    Chunk c{std::move(id), std::move(body)};
    c.overrideSize = true;
    c.size = size;
    return c;
}

struct LayoutCase {
    const char* name;
    Bytes wav;
    unsigned channels, bits;
    std::uint64_t dataOffset, blocks;
    bool streamed;
};

} // namespace

// Valid files: the reader must find the samples wherever the chunks are.
TEST(WavReader, FindsAudioInEveryLayout) {
    const Bytes pcm = ramp(600);
    const Bytes fmt16s = fmtBody(2, 16, 44100);
    const Bytes list = {'I', 'N', 'F', 'O', 'x'}; // odd size: padded
    const std::vector<LayoutCase> cases = {
        {"plain 16-bit stereo", simpleWav(2, 16, 44100, pcm), 2, 16, 44, 150, false},
        {"8-bit mono", simpleWav(1, 8, 8000, pcm), 1, 8, 44, 600, false},
        {"24-bit stereo", simpleWav(2, 24, 96000, pcm), 2, 24, 44, 100, false},
        {"data before fmt", riff({{"data", pcm}, {"fmt ", fmt16s}}), 2, 16, 20, 150, false},
        {"odd chunk padded before fmt", riff({{"LIST", list}, {"fmt ", fmt16s}, {"data", pcm}}), 2,
         16, 12 + 8 + 6 + 8 + 16 + 8, 150, false},
        {"extensible PCM", riff({{"fmt ", fmtBody(2, 24, 48000, true)}, {"data", pcm}}), 2, 24,
         12 + 8 + 40 + 8, 100, false},
        {"data size 0, streamed", riff({{"fmt ", fmt16s}, sized("data", pcm, 0)}), 2, 16, 44, 150,
         true},
        {"data size past the end", riff({{"fmt ", fmt16s}, sized("data", pcm, 0xffffffff)}), 2, 16,
         44, 150, true},
        {"trailing partial block dropped", simpleWav(2, 24, 48000, ramp(605)), 2, 24, 44, 100,
         false},
        {"empty data chunk followed by metadata",
         riff({{"fmt ", fmt16s}, {"data", {}}, {"LIST", list}}), 2, 16, 44, 0, false},
        {"metadata after the data", riff({{"fmt ", fmt16s}, {"data", pcm}, {"LIST", list}}), 2, 16,
         44, 150, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WavLayout l;
        ASSERT_NO_THROW(l = parseWavBuffer(c.wav));
        EXPECT_EQ(l.format.channels, c.channels);
        EXPECT_EQ(l.format.bitsPerSample, c.bits);
        EXPECT_EQ(l.dataOffset, c.dataOffset);
        EXPECT_EQ(l.blocks, c.blocks);
        EXPECT_EQ(l.dataBytes, c.blocks * l.format.blockAlign());
        EXPECT_EQ(l.streamed, c.streamed);
    }
}

TEST(WavReader, RejectsMalformedFiles) {
    const Bytes pcm = ramp(64);
    const Bytes good = simpleWav(2, 16, 44100, pcm);
    Bytes truncatedHeader(good.begin(), good.begin() + 30);
    Bytes badMagic = good;
    badMagic[0] = 'X';
    Bytes notWave = good;
    notWave[8] = 'A';
    Bytes rifx = good;
    rifx[3] = 'X';
    struct Bad {
        const char* name;
        Bytes wav;
        const char* message; // part of the expected error text
    };
    const std::vector<Bad> cases = {
        {"empty file", {}, "too short"},
        {"header cut inside fmt", truncatedHeader, "truncated fmt"},
        {"cut inside a chunk header", Bytes(good.begin(), good.begin() + 16), "chunk header"},
        {"not RIFF", badMagic, "RIFF"},
        {"not WAVE", notWave, "RIFF"},
        {"big-endian RIFX", rifx, "RIFX"},
        {"no fmt chunk", riff({{"data", pcm}}), "no fmt"},
        {"no data chunk", riff({{"fmt ", fmtBody(2, 16, 44100)}}), "no data"},
        {"fmt too small", riff({{"fmt ", Bytes(14, 0)}, {"data", pcm}}), "too small"},
        {"absurd fmt size", riff({sized("fmt ", fmtBody(2, 16, 44100), 0x7fffffff)}),
         "truncated fmt"},
        {"float", riff({{"fmt ", fmtBody(2, 32, 44100, false, 3)}, {"data", pcm}}),
         "floating-point"},
        {"extensible float", riff({{"fmt ", fmtBody(2, 32, 44100, true, 1, -1, 3)}, {"data", pcm}}),
         "floating-point"},
        {"ADPCM", riff({{"fmt ", fmtBody(2, 4, 44100, false, 2, 2048)}, {"data", pcm}}),
         "not a PCM"},
        {"zero channels", riff({{"fmt ", fmtBody(0, 16, 44100)}, {"data", pcm}}), "zero channels"},
        {"three channels", riff({{"fmt ", fmtBody(3, 16, 44100)}, {"data", pcm}}),
         "mono and stereo"},
        {"12 bits", riff({{"fmt ", fmtBody(1, 12, 44100, false, 1, 2)}, {"data", pcm}}),
         "bits per sample"},
        {"32 bits", riff({{"fmt ", fmtBody(2, 32, 44100)}, {"data", pcm}}), "bits per sample"},
        {"zero sample rate", riff({{"fmt ", fmtBody(2, 16, 0)}, {"data", pcm}}), "sample rate"},
        {"wrong block align", riff({{"fmt ", fmtBody(2, 16, 44100, false, 1, 3)}, {"data", pcm}}),
         "block align"},
        {"chunk before fmt runs past the end",
         riff({sized("LIST", {1, 2, 3, 4}, 1000), {"fmt ", fmtBody(2, 16, 44100)}}),
         "past the end"},
        {"streamed data before fmt",
         riff({sized("data", pcm, 0xffffffff), {"fmt ", fmtBody(2, 16, 44100)}}),
         "precede streamed"},
        {"two fmt chunks",
         riff({{"fmt ", fmtBody(2, 16, 44100)}, {"fmt ", fmtBody(1, 8, 8000)}, {"data", pcm}}),
         "more than one fmt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            parseWavBuffer(c.wav);
            ADD_FAILURE() << "accepted";
        } catch (const WavError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(WavReader, ConvertsSamplesToSignedIntegers) {
    using quintrel::mac::pcmToInt;
    using quintrel::mac::WavFormat;
    const Bytes u8 = {0, 127, 128, 255};
    const Bytes s16 = {0x00, 0x80, 0xff, 0xff, 0xff, 0x7f, 0x01, 0x00};
    const Bytes s24 = {0x00, 0x00, 0x80, 0xfe, 0xff, 0xff, 0xff, 0xff, 0x7f, 0x34, 0x12, 0x00};
    std::int32_t out[4];
    pcmToInt(u8.data(), 4, WavFormat{1, 8000, 8}, out);
    EXPECT_EQ(std::vector<std::int32_t>(out, out + 4),
              (std::vector<std::int32_t>{-128, -1, 0, 127}));
    pcmToInt(s16.data(), 2, WavFormat{2, 8000, 16}, out);
    EXPECT_EQ(std::vector<std::int32_t>(out, out + 4),
              (std::vector<std::int32_t>{-32768, -1, 32767, 1}));
    pcmToInt(s24.data(), 2, WavFormat{2, 8000, 24}, out);
    EXPECT_EQ(std::vector<std::int32_t>(out, out + 4),
              (std::vector<std::int32_t>{-8388608, -2, 8388607, 0x1234}));
}
