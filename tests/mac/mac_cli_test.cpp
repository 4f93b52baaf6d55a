// End-to-end tests of the mac program: encode generated WAV files, decode the result with
// FFmpeg (an independent reader) and compare the samples bit for bit.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "process.h"
#include "wav_builder.h"

using namespace mactest;
namespace fs = std::filesystem;

namespace {

constexpr int kLevels[] = {1000, 2000, 3000, 4000};
constexpr std::size_t kBlocksPerFrame = 73728 * 4;

void writeFile(const fs::path& p, const Bytes& b) {
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

std::int32_t fullScale(int bits) {
    return (1 << (bits - 1)) - 1;
}

// Deterministic pseudo-random generator (64-bit LCG), so fixtures are reproducible.
struct Lcg {
    std::uint64_t s;
    std::uint32_t next() {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(s >> 32);
    }
    // Uniform in [-amp, amp].
    std::int32_t uniform(std::int32_t amp) {
        return static_cast<std::int32_t>(next() % (2u * static_cast<std::uint32_t>(amp) + 1)) - amp;
    }
};

using Generator =
    std::function<std::vector<std::int32_t>(int channels, int bits, std::size_t blocks)>;

// Music-like: two partials per channel with an envelope plus low-level noise.
std::vector<std::int32_t> tones(int channels, int bits, std::size_t blocks) {
    std::vector<std::int32_t> s(blocks * channels);
    Lcg rng{42};
    const double amp = fullScale(bits) * 0.45;
    for (std::size_t i = 0; i < blocks; ++i)
        for (int c = 0; c < channels; ++c) {
            const double t = static_cast<double>(i) / 44100.0;
            const double env = 0.6 + 0.4 * std::sin(2 * M_PI * 3 * t);
            const double v = env * (std::sin(2 * M_PI * (220 + 110 * c) * t) +
                                    0.5 * std::sin(2 * M_PI * (1330 + 70 * c) * t));
            s[i * channels + c] =
                static_cast<std::int32_t>(amp * v / 1.5) + rng.uniform(fullScale(bits) / 200 + 1);
        }
    return s;
}

std::vector<std::int32_t> silence(int channels, int, std::size_t blocks) {
    return std::vector<std::int32_t>(blocks * channels, 0);
}

// Independent full-scale white noise on every channel, hitting both extremes.
std::vector<std::int32_t> noise(int channels, int bits, std::size_t blocks) {
    std::vector<std::int32_t> s(blocks * channels);
    Lcg rng{7};
    const std::int32_t fs = fullScale(bits);
    for (auto& v : s)
        v = rng.uniform(fs);
    if (s.size() > 2) {
        s[0] = fs;
        s[1] = -fs - 1;
    }
    return s;
}

// Full-scale square wave, opposite phase on the right channel.
std::vector<std::int32_t> square(int channels, int bits, std::size_t blocks) {
    std::vector<std::int32_t> s(blocks * channels);
    const std::int32_t hi = fullScale(bits), lo = -fullScale(bits) - 1;
    for (std::size_t i = 0; i < blocks; ++i)
        for (int c = 0; c < channels; ++c)
            s[i * channels + c] = ((i / 50) % 2 == static_cast<std::size_t>(c)) ? hi : lo;
    return s;
}

// Identical channels (coded as pseudo-stereo).
std::vector<std::int32_t> dualMono(int channels, int bits, std::size_t blocks) {
    auto m = tones(1, bits, blocks);
    std::vector<std::int32_t> s(blocks * channels);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = m[i / channels];
    return s;
}

// First frame silent, the rest music: frames take different paths in one file.
std::vector<std::int32_t> silenceThenTones(int channels, int bits, std::size_t blocks) {
    auto s = tones(channels, bits, blocks);
    std::fill(s.begin(),
              s.begin() + static_cast<std::ptrdiff_t>(std::min(blocks, kBlocksPerFrame) * channels),
              0);
    return s;
}

const char* rawFormat(int bits) {
    return bits == 8 ? "u8" : bits == 16 ? "s16le" : "s24le";
}

class MacTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/mac-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        dir_ = root_ / "work";
        logs_ = root_ / "logs";
        fs::create_directories(dir_);
        fs::create_directories(logs_);
    }
    void TearDown() override { fs::remove_all(root_); }

    RunResult run(const std::vector<std::string>& args) { return mactest::run(args, logs_); }

    RunResult mac(const fs::path& in, const fs::path& out, int level) {
        return run({MAC_EXE, in.string(), out.string(), "-c" + std::to_string(level)});
    }

    // Decodes with FFmpeg (CRC checking on, errors fatal) to raw samples in WAV layout.
    // One FFmpeg run decodes all the files, to keep process start-ups down.
    std::vector<Bytes> decode(const std::vector<fs::path>& apes, int bits) {
        std::vector<std::string> args = {"ffmpeg", "-nostdin", "-v", "error"};
        for (const auto& ape : apes)
            args.insert(args.end(), {"-err_detect", "crccheck+explode", "-i", ape.string()});
        for (std::size_t i = 0; i < apes.size(); ++i)
            args.insert(args.end(), {"-map", std::to_string(i) + ":a", "-f", rawFormat(bits), "-y",
                                     (logs_ / ("decoded" + std::to_string(i) + ".raw")).string()});
        const RunResult r = run(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::vector<Bytes> out;
        for (std::size_t i = 0; i < apes.size(); ++i) {
            const std::string s =
                slurp((logs_ / ("decoded" + std::to_string(i) + ".raw")).string());
            out.emplace_back(s.begin(), s.end());
        }
        return out;
    }
    Bytes decode(const fs::path& ape, int bits) {
        return decode(std::vector<fs::path>{ape}, bits)[0];
    }

    // Encodes `pcm` at every level and checks FFmpeg returns exactly the same samples.
    void roundTrip(int channels, int bits, const Bytes& pcm, int rate = 44100) {
        const fs::path wav = dir_ / "in.wav";
        writeFile(wav, simpleWav(channels, bits, rate, pcm));
        std::vector<fs::path> apes;
        for (int level : kLevels) {
            apes.push_back(dir_ / ("out" + std::to_string(level) + ".ape"));
            const RunResult r = mac(wav, apes.back(), level);
            ASSERT_EQ(r.exitCode, 0) << "level " << level << ": " << r.err;
        }
        const std::vector<Bytes> got = decode(apes, bits);
        for (std::size_t i = 0; i < apes.size(); ++i) {
            SCOPED_TRACE("level " + std::to_string(kLevels[i]));
            ASSERT_EQ(got[i].size(), pcm.size());
            EXPECT_TRUE(got[i] == pcm) << "decoded samples differ";
        }
    }

    // Every entry of the work folder (catches leftover temporary files).
    std::vector<std::string> listing() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path root_, dir_, logs_;
};

struct Format {
    int channels;
    int bits;
};

void PrintTo(const Format& f, std::ostream* os) {
    *os << f.channels << "ch/" << f.bits << "bit";
}

class MacFormats : public MacTest, public ::testing::WithParamInterface<Format> {};

TEST_P(MacFormats, RoundTripsMusicAtEveryLevel) {
    const auto [channels, bits] = GetParam();
    // Long enough for the filters' history buffers to wrap many times.
    roundTrip(channels, bits, pcmBytes(tones(channels, bits, 30000), bits));
}

INSTANTIATE_TEST_SUITE_P(AllFormats, MacFormats,
                         ::testing::Values(Format{1, 8}, Format{2, 8}, Format{1, 16}, Format{2, 16},
                                           Format{1, 24}, Format{2, 24}),
                         [](const auto& info) {
                             return std::string(info.param.channels == 1 ? "mono" : "stereo") +
                                    std::to_string(info.param.bits);
                         });

struct SignalCase {
    const char* name;
    Generator gen;
    Format format;
    std::size_t blocks;
};

void PrintTo(const SignalCase& c, std::ostream* os) {
    *os << c.name;
}

class MacSignals : public MacTest, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(MacSignals, RoundTripsAtEveryLevel) {
    const SignalCase& c = GetParam();
    roundTrip(c.format.channels, c.format.bits,
              pcmBytes(c.gen(c.format.channels, c.format.bits, c.blocks), c.format.bits));
}

INSTANTIATE_TEST_SUITE_P(Signals, MacSignals,
                         ::testing::Values(SignalCase{"silence", silence, {2, 16}, 5000},
                                           SignalCase{"noise_stereo24", noise, {2, 24}, 6000},
                                           SignalCase{"noise_mono16", noise, {1, 16}, 6000},
                                           SignalCase{"noise_stereo8", noise, {2, 8}, 6000},
                                           SignalCase{"square_stereo16", square, {2, 16}, 5000},
                                           SignalCase{"square_mono24", square, {1, 24}, 5000},
                                           SignalCase{"single_sample_mono", tones, {1, 16}, 1},
                                           SignalCase{"single_sample_stereo24", noise, {2, 24}, 1},
                                           SignalCase{"pseudo_stereo", dualMono, {2, 16}, 4000},
                                           // Two full frames and a short third, one of them silent.
                                           SignalCase{"three_frames",
                                                      silenceThenTones,
                                                      {1, 8},
                                                      2 * kBlocksPerFrame + 777}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MacTest, AcceptsUnusualButValidWavLayouts) {
    const Bytes pcm = pcmBytes(tones(2, 24, 3000), 24);
    const Bytes list = {'I', 'N', 'F', 'O', 'x'};
    Chunk streamed{"data", pcm};
    streamed.overrideSize = true;
    streamed.size = 0;
    const std::vector<std::pair<const char*, Bytes>> layouts = {
        {"extensible", riff({{"fmt ", fmtBody(2, 24, 48000, true)}, {"data", pcm}})},
        {"data first, odd chunk between",
         riff({{"data", pcm}, {"LIST", list}, {"fmt ", fmtBody(2, 24, 48000)}})},
        {"streamed", riff({{"fmt ", fmtBody(2, 24, 48000)}, streamed})},
    };
    for (const auto& [name, wav] : layouts) {
        SCOPED_TRACE(name);
        writeFile(dir_ / "in.wav", wav);
        const RunResult r = mac(dir_ / "in.wav", dir_ / "out.ape", 2000);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(decode(dir_ / "out.ape", 24) == pcm);
    }
}

TEST_F(MacTest, FfprobeSeesDurationRateAndChannels) {
    const std::size_t blocks = kBlocksPerFrame + 1234; // two frames, short final frame
    writeFile(dir_ / "in.wav", simpleWav(2, 16, 22050, pcmBytes(tones(2, 16, blocks), 16)));
    ASSERT_EQ(mac(dir_ / "in.wav", dir_ / "out.ape", 1000).exitCode, 0);
    const RunResult r =
        run({"ffprobe", "-v", "error", "-show_entries",
             "stream=codec_name,sample_rate,channels,duration_ts,bits_per_raw_sample", "-of",
             "default=noprint_wrappers=1", (dir_ / "out.ape").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("codec_name=ape\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("sample_rate=22050\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("channels=2\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("duration_ts=" + std::to_string(blocks) + "\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("bits_per_raw_sample=16\n"), std::string::npos) << r.out;
}

TEST_F(MacTest, SeeksIntoLaterFrames) {
    const std::size_t blocks = 2 * kBlocksPerFrame + 5000;
    const Bytes pcm = pcmBytes(tones(1, 16, blocks), 16);
    writeFile(dir_ / "in.wav", simpleWav(1, 16, 44100, pcm));
    ASSERT_EQ(mac(dir_ / "in.wav", dir_ / "out.ape", 2000).exitCode, 0);
    // Start inside the third frame; FFmpeg seeks to that frame through the seek table.
    const std::size_t start = 2 * kBlocksPerFrame + 1000;
    const fs::path raw = logs_ / "seek.raw";
    const RunResult r = run({"ffmpeg", "-nostdin", "-v", "error", "-ss",
                             std::to_string(static_cast<double>(start) / 44100.0), "-i",
                             (dir_ / "out.ape").string(), "-f", "s16le", "-y", raw.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string s = slurp(raw.string());
    const Bytes got(s.begin(), s.end());
    ASSERT_EQ(got.size(), (blocks - start) * 2);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), pcm.begin() + 2 * start));
}

TEST_F(MacTest, RefusesBadInputAndLeavesNothingBehind) {
    const Bytes pcm = pcmBytes(tones(2, 16, 100), 16);
    Bytes truncated = simpleWav(2, 16, 44100, pcm);
    truncated.resize(30);
    const std::vector<std::pair<const char*, Bytes>> inputs = {
        {"truncated header", truncated},
        {"not a WAV", Bytes(1000, 'x')},
        {"float", riff({{"fmt ", fmtBody(2, 32, 44100, false, 3)}, {"data", pcm}})},
        {"six channels", riff({{"fmt ", fmtBody(6, 16, 44100)}, {"data", pcm}})},
        {"20 bits", riff({{"fmt ", fmtBody(1, 20, 44100, false, 1, 3)}, {"data", pcm}})},
        {"empty data chunk", simpleWav(2, 16, 44100, {})},
    };
    for (const auto& [name, wav] : inputs) {
        SCOPED_TRACE(name);
        writeFile(dir_ / "bad.wav", wav);
        const RunResult r = mac(dir_ / "bad.wav", dir_ / "out.ape", 2000);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("bad.wav: "), std::string::npos) << r.err;
        EXPECT_EQ(listing(), std::vector<std::string>{"bad.wav"});
        fs::remove(dir_ / "bad.wav");
    }
    // Missing input and an output folder that does not exist.
    RunResult r = mac(dir_ / "missing.wav", dir_ / "out.ape", 2000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("missing.wav"), std::string::npos);
    writeFile(dir_ / "in.wav", simpleWav(2, 16, 44100, pcm));
    r = mac(dir_ / "in.wav", dir_ / "nowhere" / "out.ape", 2000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("nowhere"), std::string::npos);
    EXPECT_EQ(listing(), std::vector<std::string>{"in.wav"});
}

TEST_F(MacTest, ReplacesAnExistingOutput) {
    const Bytes pcm = pcmBytes(tones(1, 16, 2000), 16);
    writeFile(dir_ / "in.wav", simpleWav(1, 16, 44100, pcm));
    writeFile(dir_ / "out.ape", Bytes(10, 'z'));
    ASSERT_EQ(mac(dir_ / "in.wav", dir_ / "out.ape", 3000).exitCode, 0);
    EXPECT_TRUE(decode(dir_ / "out.ape", 16) == pcm);
    EXPECT_EQ(listing(), (std::vector<std::string>{"in.wav", "out.ape"}));
}

TEST_F(MacTest, InterruptedEncodeLeavesNoFile) {
    // Large enough that the encode is still running when the signal arrives.
    writeFile(dir_ / "in.wav",
              simpleWav(2, 24, 48000, pcmBytes(noise(2, 24, 6 * kBlocksPerFrame), 24)));
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        const std::string o = (logs_ / "o").string(), e = (logs_ / "e").string();
        const pid_t pid = spawn(
            {MAC_EXE, (dir_ / "in.wav").string(), (dir_ / "out.ape").string(), "-c4000"}, o, e);
        ASSERT_GT(pid, 0);
        // Wait for the temporary file to appear, then interrupt.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (listing().size() < 2 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(listing().size(), 2u) << "no temporary output appeared";
        ::kill(pid, sig);
        const RunResult r = wait(pid, o, e);
        EXPECT_EQ(r.signal, sig) << "exit code " << r.exitCode;
        EXPECT_EQ(listing(), std::vector<std::string>{"in.wav"});
    }
}

TEST_F(MacTest, CommandLine) {
    RunResult r = run({MAC_EXE, "--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* s :
         {"-c1000", "-c2000", "-c3000", "-c4000", "fast", "normal", "high", "extra high"})
        EXPECT_NE(r.out.find(s), std::string::npos) << s;

    writeFile(dir_ / "in.wav", simpleWav(1, 16, 44100, pcmBytes(tones(1, 16, 100), 16)));
    const std::string in = (dir_ / "in.wav").string(), out = (dir_ / "out.ape").string();
    for (const std::vector<std::string>& args : {std::vector<std::string>{MAC_EXE, in, out},
                                                 {MAC_EXE, in, out, "-c5000"},
                                                 {MAC_EXE, in, out, "-c2500"},
                                                 {MAC_EXE, in, "-c2000"},
                                                 {MAC_EXE, in, out, "-x", "-c2000"}}) {
        r = run(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find("usage"), std::string::npos);
    }
    EXPECT_EQ(listing(), std::vector<std::string>{"in.wav"});
}

} // namespace
