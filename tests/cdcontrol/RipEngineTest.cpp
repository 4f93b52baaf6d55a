// The rip engine with a drive and a stream of the test's own: chunking of
// blocks into the stream's chunks, stop, refusals, data tracks, failures,
// encoder.ini and the door lock; the MP3 configuration record.

#include "RipEngine.h"
#include "ChunkRing.h"
#include "EncoderSettingsFile.h"
#include "EncoderStream.h"
#include "TrakkonIds.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

using namespace trakkon;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Serves 2352-byte blocks (one sector) of a counting pattern.
class FakeDrive final : public RipDrive {
public:
    explicit FakeDrive(int sectors) : sectors_(sectors) {}
    void LockDoor(int lock) override { locks.push_back(lock); }
    int OpenRange(int* blockBytes, int first, int end) override {
        if (failOpen)
            return 7;
        *blockBytes = 2352;
        next_ = first;
        end_ = std::min(end, sectors_);
        first_ = first;
        ++opens;
        return 0;
    }
    int ReadBlock(unsigned char* buffer, int* got, const std::atomic<int>*) override {
        if (next_ >= end_)
            return 4;
        auto* v = reinterpret_cast<std::int16_t*>(buffer);
        for (int i = 0; i < 1176; ++i)
            v[i] = static_cast<std::int16_t>(next_ * 1176 + i);
        *got = 2352;
        ++next_;
        if (readDelayMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(readDelayMs));
        return 0;
    }
    void ReadDetail() override {}
    short Progress() override {
        return static_cast<short>((next_ - first_) * 100 / std::max(1, end_ - first_));
    }
    void CloseRange() override { ++closes; }

    std::vector<int> locks;
    bool failOpen = false;
    int readDelayMs = 0;
    std::atomic<int> opens{0}, closes{0};

private:
    int sectors_, first_ = 0, next_ = 0, end_ = 0;
};

struct Recording {
    std::mutex mutex;
    std::vector<int> chunkSizes;
    std::vector<std::int16_t> values;
    bool closed = false;
    StreamSettings settings;
};

class RecordingStream final : public EncoderStream {
public:
    RecordingStream(std::shared_ptr<Recording> rec, int chunk, bool loads, int encodeDelayMs)
        : rec_(std::move(rec)), chunk_(chunk), loads_(loads), delay_(encodeDelayMs) {}
    bool Load() override { return loads_; }
    int Open() override { return chunk_; }
    void Encode(const std::int16_t* v, int n) override {
        if (delay_)
            std::this_thread::sleep_for(std::chrono::milliseconds(delay_));
        std::lock_guard lock(rec_->mutex);
        rec_->chunkSizes.push_back(n);
        rec_->values.insert(rec_->values.end(), v, v + n);
    }
    void Close() override {
        std::lock_guard lock(rec_->mutex);
        rec_->closed = true;
    }

private:
    std::shared_ptr<Recording> rec_;
    int chunk_;
    bool loads_;
    int delay_;
};

class RipEngineTest : public ::testing::Test {
protected:
    void SetUp() override { dir_ = dir.path().toStdString() + "/"; }

    std::unique_ptr<RipEngine> MakeEngine(FakeDrive& drive, int chunk = 1000, bool loads = true,
                                          int encodeDelayMs = 0) {
        RipEngine::Events events;
        events.ripping = [this](short p) {
            std::lock_guard lock(mutex_);
            progress.push_back(p);
        };
        events.endRip = [this] {
            std::lock_guard lock(mutex_);
            ++endRips;
        };
        events.failed = [this](int why) {
            std::lock_guard lock(mutex_);
            failures.push_back(why);
        };
        auto rec = recording;
        return std::make_unique<RipEngine>(
            dir_, drive, events,
            [rec, chunk, loads, encodeDelayMs](const StreamSettings& s, const std::string&) {
                rec->settings = s;
                return std::make_unique<RecordingStream>(rec, chunk, loads, encodeDelayMs);
            });
    }

    QTemporaryDir dir;
    std::string dir_;
    std::shared_ptr<Recording> recording = std::make_shared<Recording>();
    std::mutex mutex_;
    std::vector<short> progress;
    int endRips = 0;
    std::vector<int> failures;
};

TEST_F(RipEngineTest, BlocksOf1176ValuesBecomeChunksOf1000WithAShortLastChunk) {
    FakeDrive drive(10);
    auto engine = MakeEngine(drive);
    RipTrack track{0, 10, true, {}};
    ASSERT_TRUE(engine->RipMP3(track, dir_ + "a.mp3", 11, 0, 0, 0, 0, 44100));
    ASSERT_TRUE(engine->WaitIdle(10000));
    EXPECT_FALSE(engine->Busy());
    std::vector<int> expected(11, 1000);
    expected.push_back(760); // 10 * 1176 = 11 760
    EXPECT_EQ(expected, recording->chunkSizes);
    ASSERT_EQ(11760u, recording->values.size());
    for (size_t i = 0; i < recording->values.size(); ++i)
        ASSERT_EQ(static_cast<std::int16_t>(i), recording->values[i]) << i;
    EXPECT_TRUE(recording->closed);
    EXPECT_EQ(1, endRips);
    ASSERT_EQ(10u, progress.size());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(100, progress.back());
    EXPECT_EQ(1, drive.closes.load());
    EXPECT_EQ(11, recording->settings.bitrateIndex);
}

TEST_F(RipEngineTest, RefusesASecondRipAndEmptyNamesAndStopEndsWithoutEndRip) {
    FakeDrive drive(400);
    drive.readDelayMs = 5;
    auto engine = MakeEngine(drive);
    RipTrack track{0, 400, true, {}};
    EXPECT_FALSE(engine->RipMP3(track, "", 11, 0, 0, 0, 0, 44100));
    EXPECT_FALSE(engine->Busy());
    ASSERT_TRUE(engine->RipMP3(track, dir_ + "a.mp3", 11, 0, 0, 0, 0, 44100));
    EXPECT_FALSE(engine->RipOgg(track, dir_ + "b.ogg", 1, 2, 3, false, 44100));
    EXPECT_FALSE(engine->RipMP3(track, dir_ + "b.mp3", 11, 0, 0, 0, 0, 44100));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    engine->Stop();
    ASSERT_TRUE(engine->WaitIdle(10000));
    EXPECT_EQ(0, endRips);
    EXPECT_TRUE(recording->closed); // the file keeps what was encoded
    EXPECT_LT(recording->values.size(), 400u * 1176u);
    // Accepted again once the thread has ended.
    drive.readDelayMs = 0;
    EXPECT_TRUE(engine->RipMP3(RipTrack{0, 3, true, {}}, dir_ + "c.mp3", 11, 0, 0, 0, 0, 44100));
    ASSERT_TRUE(engine->WaitIdle(10000));
    EXPECT_EQ(1, endRips);
}

TEST_F(RipEngineTest, StopWhileTheRingIsFullEndsPromptly) {
    FakeDrive drive(2000);
    auto engine = MakeEngine(drive, 1000, true, 20); // a slow encoder fills the ring
    ASSERT_TRUE(engine->RipMP3(RipTrack{0, 2000, true, {}}, dir_ + "a.mp3", 11, 0, 0, 0, 0, 44100));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto t0 = std::chrono::steady_clock::now();
    engine->Stop();
    ASSERT_TRUE(engine->WaitIdle(10000));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    EXPECT_EQ(0, endRips);
}

TEST_F(RipEngineTest, DataTrackIsSkippedWithEndRipAndFailuresReportNoEndRip) {
    FakeDrive drive(10);
    auto engine = MakeEngine(drive);
    ASSERT_TRUE(engine->RipMP3(RipTrack{0, 10, false, {}}, dir_ + "d.mp3", 11, 0, 0, 0, 0, 44100));
    ASSERT_TRUE(engine->WaitIdle(10000));
    EXPECT_EQ(1, endRips);
    EXPECT_EQ(0, drive.opens.load());
    EXPECT_TRUE(recording->chunkSizes.empty());

    drive.failOpen = true;
    ASSERT_TRUE(engine->RipMP3(RipTrack{0, 10, true, {}}, dir_ + "e.mp3", 11, 0, 0, 0, 0, 44100));
    ASSERT_TRUE(engine->WaitIdle(10000));
    EXPECT_FALSE(engine->Busy());
    EXPECT_EQ(1, endRips);
    EXPECT_EQ(std::vector<int>{kRipFailRange}, failures);

    FakeDrive drive2(10);
    auto noEncoder = MakeEngine(drive2, 1000, false);
    ASSERT_TRUE(
        noEncoder->RipOgg(RipTrack{0, 10, true, {}}, dir_ + "f.ogg", 4, 7, 10, false, 44100));
    ASSERT_TRUE(noEncoder->WaitIdle(10000));
    EXPECT_FALSE(noEncoder->Busy());
    EXPECT_EQ(1, endRips);
    EXPECT_EQ((std::vector<int>{kRipFailRange, kRipFailEncoderLoad}), failures);
}

TEST_F(RipEngineTest, EncoderIniIsCreatedCleanedAndItsLockKeyHonoured) {
    const std::string ini = dir_ + "encoder.ini";
    struct Case {
        const char* before; // nullptr: no file
        std::vector<int> locks;
        const char* after;
    };
    const Case cases[] = {
        {nullptr, {1}, "\n[setup]\nOggminbitrate=4\nOggmaxbitrate=10\nOggnombitrate=7\n"},
        {"[setup]\n# a comment\nlock=0\n\n#another\nvbrmethod=1\n",
         {},
         "\n[setup]\nlock=0\nvbrmethod=1\nOggminbitrate=4\nOggmaxbitrate=10\nOggnombitrate=7\n"},
        {"[setup]\nOggnombitrate=1\nlock=2\nlock=0\n",
         {1},
         "\n[setup]\nOggnombitrate=7\nlock=2\nlock=0\nOggminbitrate=4\nOggmaxbitrate=10\n"},
    };
    for (const Case& c : cases) {
        std::remove(ini.c_str());
        if (c.before)
            std::ofstream(ini) << c.before;
        FakeDrive drive(2);
        auto engine = MakeEngine(drive);
        ASSERT_TRUE(
            engine->RipOgg(RipTrack{0, 2, true, {}}, dir_ + "x.ogg", 4, 7, 10, false, 44100));
        ASSERT_TRUE(engine->WaitIdle(10000));
        EXPECT_EQ(c.locks, drive.locks) << (c.before ? c.before : "(none)");
        EXPECT_EQ(c.after, ReadFile(ini)) << (c.before ? c.before : "(none)");
    }
}

TEST(EncoderSettingsFileTest, GetReadsTheLeadingNumberOfTheFirstExactKey) {
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/encoder.ini";
    std::ofstream(path) << "[setup]\nLock=5\nlock=12abc\nlock=3\nempty=\nvbrmethod=-2\n";
    EncoderSettingsFile f(path);
    f.Load();
    EXPECT_EQ(12, f.Get("lock"));
    EXPECT_EQ(5, f.Get("Lock"));
    EXPECT_EQ(-1, f.Get("empty"));
    EXPECT_EQ(-1, f.Get("missing"));
    EXPECT_EQ(-2, f.Get("vbrmethod"));
}

TEST(Mp3ConfigTest, RecordFollowsTheRequest) {
    EXPECT_EQ(128, BitrateKbps(11));
    EXPECT_EQ(192, BitrateKbps(18));
    EXPECT_EQ(192, BitrateKbps(-1));
    EXPECT_EQ(8, BitrateKbps(0));
    EXPECT_EQ(320, BitrateKbps(17));

    struct Case {
        int vbrMode, rate;
        int enableVbr, method, mpegVersion;
    };
    for (const Case& c : {Case{0, 44100, 0, 0, 1}, Case{3, 44100, 1, 2, 1}, Case{1, 22050, 1, 0, 0},
                          Case{0, 32000, 0, 0, 1}}) {
        StreamSettings s;
        s.bitrateIndex = 11;
        s.vbrMode = c.vbrMode;
        s.vbrQuality = 2;
        s.mp3SampleRate = c.rate;
        s.channelMode = 3;
        s.preset = 5;
        const bladeenc::BE_CONFIG config = MakeMp3Config(s);
        const auto& l = config.format.LHV1;
        EXPECT_EQ(256u, config.dwConfig);
        EXPECT_EQ(1u, l.dwStructVersion);
        EXPECT_EQ(331u, l.dwStructSize);
        EXPECT_EQ(44100u, l.dwSampleRate);
        EXPECT_EQ(static_cast<unsigned>(c.rate), l.dwReSampleRate);
        EXPECT_EQ(3, l.nMode);
        EXPECT_EQ(128u, l.dwBitrate);
        EXPECT_EQ(256u, l.dwMaxBitrate);
        EXPECT_EQ(5, l.nPreset);
        EXPECT_EQ(static_cast<unsigned>(c.mpegVersion), l.dwMpegVersion);
        EXPECT_EQ(1, l.bCRC);
        EXPECT_EQ(1, l.bOriginal);
        EXPECT_EQ(0, l.bCopyright);
        EXPECT_EQ(c.enableVbr, l.bEnableVBR);
        EXPECT_EQ(c.method, l.nVbrMethod);
        EXPECT_EQ(c.enableVbr ? 2 : 0, l.nVBRQuality);
        EXPECT_EQ(0, l.bWriteVBRHeader);
        EXPECT_EQ(1, l.bNoRes);
        EXPECT_EQ(0, l.nQuality);
    }
}

} // namespace
