// The control as a host sees it, created by class id over an image drive:
// collections and enumerators, disc status, tags, and rips to MP3 and Ogg
// checked with FFmpeg against the image's own samples.

#include "CdImage.h"
#include "TrakkonIds.h"

#include "ComponentRegistry.h"
#include "ControlDialogs.h"
#include "ControlHost.h"
#include "Services.h"

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

using namespace automation;
using namespace trakkon;

namespace {

std::string Run(const std::string& cmd) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
    char buf[4096];
    size_t n;
    while (pipe && (n = fread(buf, 1, sizeof buf, pipe.get())) > 0)
        out.append(buf, n);
    return out;
}

std::vector<std::int16_t> Decode(const std::string& file) {
    const std::string raw =
        Run("ffmpeg -v error -i '" + file + "' -f s16le -ac 2 -ar 44100 - 2>/dev/null");
    std::vector<std::int16_t> v(raw.size() / 2);
    std::memcpy(v.data(), raw.data(), v.size() * 2);
    return v;
}

std::string Probe(const std::string& file, const std::string& entries) {
    return Run("ffprobe -v error -show_entries " + entries + " -of default=noprint_wrappers=1 '" +
               file + "'");
}

double Correlation(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b) {
    const size_t n = std::min(a.size(), b.size());
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i) {
        ab += double(a[i]) * b[i];
        aa += double(a[i]) * a[i];
        bb += double(b[i]) * b[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

class TrakkonControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        image = cdtest::WriteImage(dir.path().toStdString(), cdtest::MixedDisc());
        setenv("QUINTREL_CD_IMAGES", image.cue.c_str(), 1);
        HRESULT hr = E_FAIL;
        ASSERT_EQ(SelfRegistration::Called, RegisterServer(QUINTREL_TRAKKON_LIBRARY, &hr));
        ASSERT_EQ(S_OK, hr);
        ASSERT_EQ(S_OK, host.Create(CLSID_Trakkon, [this](DISPID id, std::vector<Variant>& args) {
            std::lock_guard lock(mutex);
            events.emplace_back(id, args);
            cv.notify_all();
        }));
        // The image is the last drive; real drives come first.
        drive = static_cast<short>(Call(DispatchOn(DISPID_CDRoms), DISPID_CDRoms_Count).AsI2() - 1);
        ASSERT_GE(drive, 0);
        ASSERT_TRUE(Method(DISPID_RefreshCDRom, {Variant::I2(drive)}).AsBool());
    }
    void TearDown() override {
        host.Release();
        unsetenv("QUINTREL_CD_IMAGES");
    }

    Variant Method(DISPID id, std::vector<Variant> args = {}) {
        Variant r;
        EXPECT_EQ(S_OK, host.Call(id, std::move(args), &r)) << id;
        return r;
    }
    ComPtr<IDispatch> DispatchOn(DISPID id) {
        Variant r;
        EXPECT_EQ(S_OK, host.Get(id, &r));
        return ComPtr<IDispatch>(r.AsDispatch());
    }
    static Variant Call(const ComPtr<IDispatch>& d, DISPID id, std::vector<Variant> args = {},
                        HRESULT expect = S_OK) {
        Variant r;
        EXPECT_EQ(expect, d->Invoke(id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, &r)) << id;
        return r;
    }
    int Count(DISPID id) {
        std::lock_guard lock(mutex);
        int n = 0;
        for (auto& e : events)
            n += e.first == id;
        return n;
    }
    bool WaitFor(DISPID id, int count, int ms) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, std::chrono::milliseconds(ms), [&] {
            int n = 0;
            for (auto& e : events)
                n += e.first == id;
            return n >= count;
        });
    }
    // Runs the event loop (the control's timers) for a while.
    void Pump(int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    bool RipMp3(short pos, const std::string& path, Variant channel = Variant::Missing(),
                Variant rate = Variant::Missing()) {
        return Method(DISPID_Rip2MP3,
                      {Variant::I2(pos), Variant::Str(path), Variant::I2(11), Variant::I2(0),
                       Variant::I2(0), Variant::I2(0), channel, rate})
            .AsBool();
    }
    bool RipOgg(short pos, const std::string& path, Variant channel = Variant::Missing(),
                Variant rate = Variant::Missing()) {
        return Method(DISPID_Rip2Ogg, {Variant::I2(pos), Variant::Str(path), Variant::I2(4),
                                       Variant::I2(7), Variant::I2(10), channel, rate})
            .AsBool();
    }
    std::string Out(const std::string& name) { return dir.path().toStdString() + "/" + name; }

    QTemporaryDir dir;
    cdtest::CdImage image;
    platform::ControlHost host;
    short drive = 0;
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<std::pair<DISPID, std::vector<Variant>>> events;
};

TEST_F(TrakkonControlTest, DrivesAndTracksCollections) {
    auto drives = DispatchOn(DISPID_CDRoms);
    EXPECT_EQ("CD: disc.cue (image)",
              Call(drives, DISPID_CDRoms_FindCDRomName, {Variant::I2(drive)}).AsStr());
    EXPECT_EQ("", Call(drives, DISPID_CDRoms_FindCDRomName, {Variant::I2(drive + 1)}).AsStr());
    Variant v;
    EXPECT_EQ(CTL_E_SETNOTSUPPORTED, host.Put(DISPID_CDRoms, Variant::I2(0)));
    EXPECT_EQ(CTL_E_SETNOTSUPPORTED, host.Put(DISPID_Tracks, Variant::I2(0)));

    auto tracks = DispatchOn(DISPID_Tracks);
    ASSERT_EQ(3, Call(tracks, DISPID_Tracks_Count).AsI2());
    const bool audio[] = {true, false, true};
    for (short i = 0; i < 3; ++i) {
        EXPECT_EQ(audio[i], Call(tracks, DISPID_Tracks_FindIsAudio, {Variant::I2(i)}).AsBool());
        EXPECT_EQ(image.starts[i],
                  Call(tracks, DISPID_Tracks_FindStartSector, {Variant::I2(i)}).AsI4());
    }
    EXPECT_FALSE(Call(tracks, DISPID_Tracks_FindIsAudio, {Variant::I2(3)}).AsBool());
    EXPECT_EQ(-1, Call(tracks, DISPID_Tracks_FindStartSector, {Variant::I2(3)}).AsI4());
    EXPECT_EQ(0, Call(tracks, DISPID_Tracks_FindYear, {Variant::I2(3)}).AsI2());
    EXPECT_EQ("", Call(tracks, DISPID_Tracks_FindSong, {Variant::I2(-1)}).AsStr());

    // Item by name (exact bytes) or by 1-based position.
    auto item = [&](Variant key) {
        return ComPtr<IDispatch>(Call(tracks, DISPID_Tracks_Item, {key}).AsDispatch());
    };
    ASSERT_TRUE(item(Variant::Str("03")));
    EXPECT_EQ(image.starts[2], Call(item(Variant::Str("03")), DISPID_Track_StartSector).AsI4());
    EXPECT_EQ(item(Variant::Str("03")).Get(), item(Variant::I4(3)).Get());
    EXPECT_EQ("02", Call(item(Variant::I2(2)), DISPID_Track_Name).AsStr());
    EXPECT_FALSE(Call(item(Variant::I2(2)), DISPID_Track_IsAudio).AsBool());
    EXPECT_FALSE(item(Variant::I4(0)));
    EXPECT_FALSE(item(Variant::Str("3")));
    EXPECT_FALSE(item(Variant::I4(4)));
    EXPECT_FALSE(item(Variant::Str("x")));
    auto firstDrive = ComPtr<IDispatch>(
        Call(drives, DISPID_CDRoms_Item, {Variant::Str("CD: disc.cue (image)")}).AsDispatch());
    ASSERT_TRUE(firstDrive);
    EXPECT_EQ("CD: disc.cue (image)", Call(firstDrive, DISPID_CDRom_Name).AsStr());

    // Tags: SetID3Tag takes the track number.
    auto set = [&](short track) {
        return Method(DISPID_SetID3Tag,
                      {Variant::I2(track), Variant::Str("Artist"), Variant::Str("Album"),
                       Variant::Str("Song"), Variant::Str("Comment"), Variant::Str("Genre"),
                       Variant::I2(9), Variant::I2(1999)})
            .AsBool();
    };
    EXPECT_FALSE(set(0));
    EXPECT_FALSE(set(5));
    EXPECT_TRUE(set(1));
    EXPECT_EQ("Song", Call(tracks, DISPID_Tracks_FindSong, {Variant::I2(0)}).AsStr());
    EXPECT_EQ("Artist", Call(item(Variant::Str("01")), DISPID_Track_Artist).AsStr());
    EXPECT_EQ(1999, Call(tracks, DISPID_Tracks_FindYear, {Variant::I2(0)}).AsI2());
    EXPECT_EQ("", Call(tracks, DISPID_Tracks_FindSong, {Variant::I2(1)}).AsStr());
}

TEST_F(TrakkonControlTest, TrackEnumerator) {
    auto tracks = DispatchOn(DISPID_Tracks);
    Variant r = Call(tracks, DISPID_NEWENUM);
    ASSERT_EQ(VT_UNKNOWN, r.Type());
    ComPtr<IEnumVARIANT> e;
    ASSERT_EQ(S_OK, r.AsUnknown()->QueryInterface(IID_IEnumVARIANT, e.PutVoid()));
    ComPtr<IUnknown> own;
    EXPECT_EQ(S_OK, e->QueryInterface(IID_IEnumTracks, own.PutVoid()));

    auto name = [](const Variant& v) {
        std::vector<Variant> none;
        Variant n;
        v.AsDispatch()->Invoke(DISPID_Track_Name, DISPATCH_PROPERTYGET, none, &n);
        return n.AsStr();
    };
    Variant out[2];
    std::uint32_t fetched = 99;
    EXPECT_EQ(E_INVALIDARG, e->Next(2, out, nullptr));
    EXPECT_EQ(S_OK, e->Next(2, out, &fetched));
    EXPECT_EQ(2u, fetched);
    EXPECT_EQ(VT_DISPATCH, out[0].Type());
    EXPECT_EQ("01", name(out[0]));
    EXPECT_EQ("02", name(out[1]));
    EXPECT_EQ(S_FALSE, e->Next(2, out, &fetched));
    EXPECT_EQ(1u, fetched);
    EXPECT_EQ("03", name(out[0]));
    EXPECT_EQ(S_FALSE, e->Next(1, out, &fetched));
    EXPECT_EQ(0u, fetched);

    EXPECT_EQ(S_OK, e->Reset());
    EXPECT_EQ(S_OK, e->Skip(1));
    EXPECT_EQ(S_OK, e->Next(1, out, nullptr));
    EXPECT_EQ("02", name(out[0]));
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(S_OK, e->Clone(clone.Put()));
    EXPECT_EQ(S_OK, clone->Next(1, out, &fetched));
    EXPECT_EQ("03", name(out[0]));
    EXPECT_EQ(S_OK, e->Next(1, out, &fetched)); // the original moved on its own
    EXPECT_EQ("03", name(out[0]));
    EXPECT_EQ(S_FALSE, e->Skip(1));

    // The enumerator holds no reference to the collection: once the control
    // and its collections are gone it answers E_UNEXPECTED.
    tracks.Reset();
    host.Release();
    EXPECT_EQ(E_UNEXPECTED, clone->Skip(1));
    EXPECT_EQ(E_UNEXPECTED, clone->Next(1, out, &fetched));
}

TEST_F(TrakkonControlTest, AboutBoxIsShownByTheHost) {
    QStringList shown;
    const platform::DialogRunner previous = platform::InstallDialogRunner([&](QDialog& d) {
        shown
            << d.windowTitle()
            << d.findChild<QLabel*>(QString::number(platform::CControlAboutDlg::IDC_TEXT))->text();
        return QDialog::Accepted;
    });
    std::vector<Variant> none;
    EXPECT_EQ(S_OK, host.Dispatch()->Invoke(DISPID_ABOUTBOX, DISPATCH_METHOD, none, nullptr));
    platform::InstallDialogRunner(previous);
    EXPECT_EQ(shown, QStringList({"About Trakkon", "Trakkon Version 1.0"}));
}

TEST_F(TrakkonControlTest, DiscStatusAndRefreshWithoutADisc) {
    Pump(1100);
    ASSERT_GE(Count(EVENTID_CDRomStatus), 1);
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(events.back().second.at(0).AsBool());
    }
    std::filesystem::rename(image.cue, image.cue + ".away");
    EXPECT_TRUE(Method(DISPID_RefreshCDRom, {Variant::I2(drive)}).AsBool());
    EXPECT_EQ(0, Call(DispatchOn(DISPID_Tracks), DISPID_Tracks_Count).AsI2());
    {
        std::lock_guard lock(mutex);
        events.clear();
    }
    Pump(1100);
    {
        std::lock_guard lock(mutex);
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(EVENTID_CDRomStatus, events.back().first);
        EXPECT_FALSE(events.back().second.at(0).AsBool());
    }
    // DiscTable keeps the last disc read, so the request is accepted, but the
    // drive cannot read the range: the rip ends with RipFailed, not EndRip.
    ASSERT_TRUE(RipMp3(0, Out("none.mp3")));
    ASSERT_TRUE(WaitFor(EVENTID_RipFailed, 1, 30000));
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(kRipFailRange, events.back().second.at(0).AsI4());
    }
    EXPECT_EQ(0, Count(EVENTID_EndRip));
    // Image drives answer that play did not start, without events.
    EXPECT_FALSE(Method(DISPID_PlayTrack, {Variant::I2(1)}).AsBool());
    EXPECT_EQ(0, Count(EVENTID_PlayingTrack) + Count(EVENTID_EndPlayTrack));
}

struct RipCase {
    const char* name;
    bool ogg;
    short pos;
    int channel; // -1: left out
    int rate;    // 0: left out
    int channelsOut, rateOut;
};

class RipTest : public TrakkonControlTest, public ::testing::WithParamInterface<RipCase> {};

TEST_P(RipTest, DecodesToTheTrack) {
    const RipCase& c = GetParam();
    const std::string path = Out(std::string(c.name) + (c.ogg ? ".ogg" : ".mp3"));
    const Variant channel = c.channel < 0 ? Variant::Missing() : Variant::I4(c.channel);
    const Variant rate = c.rate == 0 ? Variant::Missing() : Variant::I4(c.rate);
    ASSERT_TRUE(c.ogg ? RipOgg(c.pos, path, channel, rate) : RipMp3(c.pos, path, channel, rate));
    ASSERT_TRUE(WaitFor(EVENTID_EndRip, 1, 60000));
    EXPECT_EQ(0, Count(EVENTID_RipFailed));
    EXPECT_GT(Count(EVENTID_Ripping), 1);
    {
        std::lock_guard lock(mutex);
        short last = 0;
        for (auto& e : events)
            if (e.first == EVENTID_Ripping) {
                EXPECT_GE(e.second.at(0).AsI2(), last);
                last = e.second.at(0).AsI2();
            }
        EXPECT_EQ(100, last);
    }
    const std::string stream = Probe(path, "stream=codec_name,channels,sample_rate");
    EXPECT_NE(std::string::npos, stream.find(c.ogg ? "codec_name=vorbis" : "codec_name=mp3"))
        << stream;
    EXPECT_NE(std::string::npos, stream.find("channels=" + std::to_string(c.channelsOut)))
        << stream;
    EXPECT_NE(std::string::npos, stream.find("sample_rate=" + std::to_string(c.rateOut))) << stream;
    if (c.channelsOut == 2 && c.rateOut == 44100) {
        const std::vector<std::int16_t> want = image.RangeValues(c.pos);
        const std::vector<std::int16_t> got = Decode(path);
        const long frames = static_cast<long>(got.size() / 2), expected = long(want.size() / 2);
        EXPECT_LE(std::labs(frames - expected), 1152) << frames << " vs " << expected;
        EXPECT_GT(Correlation(want, got), 0.95);
    }
}

INSTANTIATE_TEST_SUITE_P(Tracks, RipTest,
                         ::testing::Values(RipCase{"mp3_first", false, 0, -1, 0, 2, 44100},
                                           RipCase{"mp3_third", false, 2, -1, 0, 2, 44100},
                                           RipCase{"ogg_first", true, 0, -1, 0, 2, 44100},
                                           RipCase{"ogg_third", true, 2, 0, 44100, 2, 44100},
                                           RipCase{"mp3_mono_22k", false, 0, 3, 22050, 1, 22050},
                                           RipCase{"ogg_mono_22k", true, 2, 1, 22050, 1, 22050}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TrakkonControlTest, TagsReadBackByFfprobe) {
    ASSERT_TRUE(Method(DISPID_SetID3Tag,
                       {Variant::I2(3), Variant::Str("The Artist"), Variant::Str("An Album"),
                        Variant::Str("A Song"), Variant::Str("Some words"), Variant::Str("Rock"),
                        Variant::I2(7), Variant::I2(1999)})
                    .AsBool());
    ASSERT_TRUE(RipMp3(2, Out("tagged.mp3")));
    ASSERT_TRUE(RipMp3(0, Out("untagged.mp3")) == false); // busy
    ASSERT_TRUE(WaitFor(EVENTID_EndRip, 1, 60000));
    const std::string tags = Probe(Out("tagged.mp3"), "format_tags");
    for (const char* want : {"title=A Song", "artist=The Artist", "album=An Album", "genre=Rock",
                             "track=7", "date=1999", "comment=Some words"})
        EXPECT_NE(std::string::npos, tags.find(want)) << want << "\n" << tags;
    // ID3v2.3 at the start, ID3v1 at the end.
    std::FILE* f = std::fopen(Out("tagged.mp3").c_str(), "rb");
    ASSERT_TRUE(f);
    unsigned char head[4] = {};
    ASSERT_EQ(4u, std::fread(head, 1, 4, f));
    EXPECT_EQ(0, std::memcmp(head, "ID3\x03", 4));
    std::fseek(f, -128, SEEK_END);
    char tail[3] = {};
    ASSERT_EQ(3u, std::fread(tail, 1, 3, f));
    EXPECT_EQ(0, std::memcmp(tail, "TAG", 3));
    std::fclose(f);

    // Untouched tag records write "0" for the year and the track number.
    ASSERT_TRUE(RipMp3(0, Out("plain.mp3")));
    ASSERT_TRUE(WaitFor(EVENTID_EndRip, 2, 60000));
    const std::string plain = Probe(Out("plain.mp3"), "format_tags");
    EXPECT_NE(std::string::npos, plain.find("track=0")) << plain;
    // FFmpeg names a year frame "date" only when it looks like a year.
    EXPECT_TRUE(plain.find("date=0") != std::string::npos ||
                plain.find("TYER=0") != std::string::npos)
        << plain;
}

TEST_F(TrakkonControlTest, RefusalsDataTrackAndStop) {
    EXPECT_FALSE(RipMp3(0, ""));
    EXPECT_FALSE(RipMp3(3, Out("leadout.mp3")));
    EXPECT_FALSE(RipMp3(-1, Out("neg.mp3")));
    EXPECT_FALSE(RipOgg(7, Out("far.ogg")));

    // The data track: no file, EndRip.
    ASSERT_TRUE(RipMp3(1, Out("data.mp3")));
    ASSERT_TRUE(WaitFor(EVENTID_EndRip, 1, 30000));
    EXPECT_FALSE(std::filesystem::exists(Out("data.mp3")));

    // A long track stopped early: no EndRip, the file holds what was encoded.
    QTemporaryDir longDir;
    cdtest::CdImage longImage =
        cdtest::WriteImage(longDir.path().toStdString(), {{true, 75 * 120, 0, 500}});
    setenv("QUINTREL_CD_IMAGES", (image.cue + ":" + longImage.cue).c_str(), 1);
    host.Release();
    ASSERT_EQ(S_OK, host.Create(CLSID_Trakkon, [this](DISPID id, std::vector<Variant>& args) {
        std::lock_guard lock(mutex);
        events.emplace_back(id, args);
        cv.notify_all();
    }));
    const short longDrive =
        static_cast<short>(Call(DispatchOn(DISPID_CDRoms), DISPID_CDRoms_Count).AsI2() - 1);
    ASSERT_TRUE(Method(DISPID_RefreshCDRom, {Variant::I2(longDrive)}).AsBool());
    {
        std::lock_guard lock(mutex);
        events.clear();
    }
    ASSERT_TRUE(RipMp3(0, Out("stopped.mp3")));
    EXPECT_FALSE(RipOgg(0, Out("second.ogg")));
    EXPECT_FALSE(Method(DISPID_EjectCD, {Variant::Bool(true)}).AsBool());
    // Stopped once a fifth of the track has been read.
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(60), [&] {
            return !events.empty() && events.back().first == EVENTID_Ripping &&
                   events.back().second.at(0).AsI2() >= 20;
        }));
    }
    Method(DISPID_StopRip);
    // EjectCD is refused exactly while a rip runs (image drives have no door).
    QElapsedTimer t;
    t.start();
    while (!Method(DISPID_EjectCD, {Variant::Bool(false)}).AsBool() && t.elapsed() < 30000)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_LT(t.elapsed(), 30000);
    Pump(300);
    EXPECT_EQ(0, Count(EVENTID_EndRip));
    const std::vector<std::int16_t> got = Decode(Out("stopped.mp3"));
    EXPECT_GT(got.size(), 0u);
    EXPECT_LT(got.size(), longImage.RangeValues(0).size());
    // A new rip is accepted once the stopped one has ended.
    EXPECT_TRUE(RipMp3(0, Out("again.mp3")));
    Method(DISPID_StopRip);
}

TEST_F(TrakkonControlTest, DestroyDuringARipWaitsForTheThreadWithoutEndRip) {
    ASSERT_TRUE(RipMp3(0, Out("gone.mp3")));
    host.Release();
    EXPECT_EQ(0, Count(EVENTID_EndRip));
}

} // namespace
