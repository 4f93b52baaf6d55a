// The media control through its wrapper, created by class id as the pages
// create it; every output is read back with ffprobe and ffmpeg.

#include "FennickTestSupport.h"

#include "ControlDialogs.h"
#include "FennickIds.h"
#include "PrxProfile.h"
#include "RunProgram.h"
#include "Services.h"

#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <unistd.h>

using namespace fennick_test;

namespace {

QString AvFile() {
    return Fixture(QStringLiteral("av.avi"),
                   {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=4", "-f", "lavfi",
                    "-i", "sine=frequency=440:sample_rate=48000:duration=4", "-c:v", "mpeg4",
                    "-q:v", "5", "-c:a", "libmp3lame", "-shortest"});
}

QString ToneMp3() {
    return Fixture(
        QStringLiteral("tone.mp3"),
        {"-f", "lavfi", "-i", "sine=frequency=1000:sample_rate=44100:duration=3", "-ac", "2"});
}

QString LongVideo() {
    return Fixture(QStringLiteral("long.avi"),
                   {"-f", "lavfi", "-i", "testsrc=size=640x480:rate=25:duration=20", "-f", "lavfi",
                    "-i", "sine=sample_rate=44100:duration=20", "-c:v", "mpeg4", "-q:v", "12",
                    "-c:a", "pcm_s16le"});
}

double Num(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isString() ? v.toString().toDouble() : v.toDouble();
}

// Nothing but the listed files in the folder: no output and no temporary
// file left behind.
QStringList FilesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

// ---- probing -----------------------------------------------------------------

TEST(FennickProbe, AnswersForMediaFiles) {
    ControlFixture f;
    const QString av = AvFile();
    EXPECT_NEAR(f.control.QueryDuration(av), 4.0, 0.1);
    EXPECT_EQ(f.control.QueryVideoWidth(av), 320);
    EXPECT_EQ(f.control.QueryVideoHeight(av), 240);
    EXPECT_NEAR(f.control.QueryFrameRate(av), 25.0, 0.01);

    const QString tone = ToneMp3();
    EXPECT_NEAR(f.control.QueryDuration(tone), 3.0, 0.1);
    EXPECT_EQ(f.control.QueryVideoWidth(tone), 0);
    EXPECT_EQ(f.control.QueryVideoHeight(tone), 0);
    EXPECT_EQ(f.control.QueryFrameRate(tone), 0.0);
}

TEST(FennickProbe, BadFilesAnswerZero) {
    ControlFixture f;
    QTemporaryDir dir;
    const auto write = [&](const char* name, const QByteArray& data) {
        QFile file(dir.filePath(QLatin1String(name)));
        file.open(QIODevice::WriteOnly);
        file.write(data);
        return file.fileName();
    };
    QFile source(AvFile());
    source.open(QIODevice::ReadOnly);
    const QByteArray head = source.read(600);
    QByteArray noise(200000, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919) ^ (i >> 3));
    const QStringList bad = {
        write("empty.mp3", {}),
        write("text.wav", "this is not a sound\n"),
        write("noise.avi", noise),
        write("truncated.avi", head),
        dir.filePath(QStringLiteral("missing.mp3")),
        dir.path(),
        QString(),
    };
    for (const QString& file : bad) {
        SCOPED_TRACE(file.toStdString());
        EXPECT_EQ(f.control.QueryDuration(file), 0.0);
        EXPECT_EQ(f.control.QueryVideoWidth(file), 0);
        EXPECT_EQ(f.control.QueryVideoHeight(file), 0);
        EXPECT_EQ(f.control.QueryFrameRate(file), 0.0);
    }
}

// ---- lists -------------------------------------------------------------------

TEST(FennickLists, ProfilesAndCompressors) {
    ControlFixture f;
    const CFennickProfiles profiles = f.control.GetMediaProfiles();
    QStringList audio, video;
    for (short i = 0; i < profiles.GetCount(); ++i) {
        const QString name = profiles.NameAt(i);
        (name.contains(QStringLiteral("Audio")) ? audio : video) << name;
    }
    EXPECT_GE(audio.size(), 6);
    EXPECT_GE(video.size(), 6);
    EXPECT_TRUE(audio.join(' ').contains(QStringLiteral("32 Kbps")));
    EXPECT_TRUE(audio.join(' ').contains(QStringLiteral("192 Kbps")));
    EXPECT_TRUE(audio.join(' ').contains(QStringLiteral("Mono")));
    EXPECT_TRUE(audio.join(' ').contains(QStringLiteral("Stereo")));
    EXPECT_TRUE(profiles.NameAt(-1).isEmpty());
    EXPECT_TRUE(profiles.NameAt(profiles.GetCount()).isEmpty());

    const CFennickCompressors vc = f.control.GetVideoCompressors();
    const CFennickCompressors ac = f.control.GetAudioCompressors();
    QStringList vnames, anames;
    for (short i = 0; i < vc.GetCount(); ++i) {
        vnames << vc.NameAt(i);
        EXPECT_EQ(vc.IndexOfName(vc.NameAt(i)), i);
    }
    for (short i = 0; i < ac.GetCount(); ++i)
        anames << ac.NameAt(i);
    for (const char* want :
         {"MPEG-4 Part 2", "Microsoft MPEG-4 v2", "Motion JPEG", "HuffYUV", "FFV1"})
        EXPECT_TRUE(vnames.contains(QLatin1String(want))) << want;
    for (const char* want : {"PCM", "MP3", "MP2", "AC-3", "Microsoft ADPCM", "IMA ADPCM"})
        EXPECT_TRUE(anames.contains(QLatin1String(want))) << want;
    EXPECT_EQ(vc.IndexOfName(QStringLiteral("no such codec")), -1);
}

TEST(FennickLists, PropertiesKeepTheirValues) {
    ControlFixture f;
    CFennick& c = f.control;
    c.SetOutputKind(5);
    c.SetOutputWidth(400);
    c.SetOutputHeight(300);
    c.SetOutputFrameRate(12.5f);
    c.SetMpegVbrOn(true);
    c.SetMediaProfileFile(QStringLiteral("/x/y.prx"));
    EXPECT_EQ(c.GetOutputKind(), 5);
    EXPECT_EQ(c.GetOutputWidth(), 400);
    EXPECT_EQ(c.GetOutputHeight(), 300);
    EXPECT_FLOAT_EQ(c.GetOutputFrameRate(), 12.5f);
    EXPECT_TRUE(c.GetMpegVbrOn());
    EXPECT_EQ(c.GetMediaProfileFile(), QStringLiteral("/x/y.prx"));
    EXPECT_TRUE(c.GetLastError().isEmpty());
}

// ---- WAV ---------------------------------------------------------------------

TEST(FennickWave, FormatsAndExactClipLength) {
    struct Case {
        short channels;
        long rate;
        short bytes;
        double start, stop;
        const char* codec;
    };
    const Case cases[] = {
        {2, 44100, 2, 0.5, 2.25, "pcm_s16le"},
        {1, 22050, 1, 1.0, 1.5, "pcm_u8"},
        {2, 48000, 1, 0, 0, "pcm_u8"},
        {1, 8000, 2, 0.123, 2.877, "pcm_s16le"},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        ControlFixture f;
        const QString out = dir.filePath(QStringLiteral("out.wav"));
        QFile::remove(out);
        f.control.ClearInputs();
        f.control.SetAudioInput(ToneMp3(), c.start, c.stop);
        ASSERT_TRUE(f.control.WriteWaveFile(out, c.channels, c.rate, c.bytes));
        ASSERT_TRUE(f.WaitFinished());
        f.Pump(50);
        EXPECT_EQ(f.finished, 1);
        EXPECT_TRUE(f.control.GetLastError().isEmpty()) << f.control.GetLastError().toStdString();
        const double length = c.stop > 0 ? c.stop - c.start : f.control.QueryDuration(ToneMp3());
        EXPECT_GE(f.progressCount, 1);
        EXPECT_DOUBLE_EQ(f.lastPosition, f.lastTotal);
        EXPECT_NEAR(f.lastTotal, length, 1e-9);

        const QJsonObject a = StreamOf(ProbeFile(out), QStringLiteral("audio"));
        EXPECT_EQ(a.value(QStringLiteral("codec_name")).toString(), QLatin1String(c.codec));
        EXPECT_EQ(Num(a, "sample_rate"), c.rate);
        EXPECT_EQ(Num(a, "channels"), c.channels);
        EXPECT_NEAR(Num(a, "duration_ts"), std::llround(length * c.rate), 0.5);
        EXPECT_EQ(FilesIn(dir.path()), QStringList{QStringLiteral("out.wav")});
    }
}

TEST(FennickWave, CutIsSampleAccurate) {
    // A sawtooth whose every sample tells its own position.
    const QString saw = SawtoothWav(44100, 3.0);
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("cut.wav"));
    ControlFixture f;
    f.control.SetAudioInput(saw, 1.0, 2.0);
    ASSERT_TRUE(f.control.WriteWaveFile(out, 1, 44100, 2));
    ASSERT_TRUE(f.WaitFinished());
    const QByteArray pcm = DecodeAudio(out);
    ASSERT_EQ(pcm.size(), 44100 * 2);
    const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
    for (int i : {0, 1, 12345, 44099})
        EXPECT_EQ(s[i], ((44100 + i) % 20000) - 10000) << i;
}

TEST(FennickWave, SoundOfAVideoFile) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("v.wav"));
    ControlFixture f;
    // No audio input: the video input's own sound.
    f.control.SetVideoInput(AvFile(), 1, 3, 0);
    ASSERT_TRUE(f.control.WriteWaveFile(out, 2, 44100, 2));
    ASSERT_TRUE(f.WaitFinished());
    const QJsonObject a = StreamOf(ProbeFile(out), QStringLiteral("audio"));
    EXPECT_EQ(Num(a, "duration_ts"), 88200);
}

// ---- failures ----------------------------------------------------------------

TEST(FennickFailures, RefusedBeforeStarting) {
    QTemporaryDir dir;
    ControlFixture f;
    // No input at all.
    EXPECT_FALSE(f.control.WriteWaveFile(dir.filePath(QStringLiteral("a.wav")), 2, 44100, 2));
    EXPECT_FALSE(f.control.GetLastError().isEmpty());
    f.control.SetAudioInput(ToneMp3(), 0, 0);
    // Missing folder, bad formats, a profile that does not exist.
    EXPECT_FALSE(
        f.control.WriteWaveFile(dir.filePath(QStringLiteral("no/such/a.wav")), 2, 44100, 2));
    EXPECT_TRUE(f.control.GetLastError().contains(QStringLiteral("does not exist")));
    EXPECT_FALSE(f.control.WriteWaveFile(dir.filePath(QStringLiteral("a.wav")), 3, 44100, 2));
    EXPECT_FALSE(f.control.WriteWaveFile(dir.filePath(QStringLiteral("a.wav")), 2, 44100, 3));
    f.control.SetMediaProfileIndex(999);
    EXPECT_FALSE(f.control.WriteMediaAudioFile(dir.filePath(QStringLiteral("a.wma"))));
    if (::geteuid() != 0) {
        const QString ro = dir.filePath(QStringLiteral("ro"));
        QDir().mkdir(ro);
        QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EXPECT_FALSE(f.control.WriteWaveFile(ro + QStringLiteral("/a.wav"), 2, 44100, 2));
        EXPECT_TRUE(f.control.GetLastError().contains(QStringLiteral("read-only")));
    }
    f.Pump(100);
    EXPECT_EQ(f.finished, 0);
    EXPECT_TRUE(FilesIn(dir.path()).isEmpty());
}

TEST(FennickFailures, UnreadableInputFinishesWithReasonAndNoFile) {
    QTemporaryDir dir;
    QFile text(dir.filePath(QStringLiteral("notes.mp3")));
    text.open(QIODevice::WriteOnly);
    text.write("not a sound at all\n");
    text.close();
    const QString kinds[] = {QStringLiteral("wav"), QStringLiteral("wma"), QStringLiteral("avi")};
    for (const QString& kind : kinds) {
        SCOPED_TRACE(kind.toStdString());
        ControlFixture f;
        const QString out = dir.filePath(QStringLiteral("out.") + kind);
        bool started = false;
        if (kind == QLatin1String("wav")) {
            f.control.SetAudioInput(text.fileName(), 0, 0);
            started = f.control.WriteWaveFile(out, 2, 44100, 2);
        } else if (kind == QLatin1String("wma")) {
            f.control.SetAudioInput(text.fileName(), 0, 0);
            started = f.control.WriteMediaAudioFile(out);
        } else {
            f.control.SetVideoInput(text.fileName(), 0, 0, 2);
            f.control.SetOutputKind(fennick::kAvi);
            started = f.control.WriteVideoFile(out);
        }
        ASSERT_TRUE(started);
        ASSERT_TRUE(f.WaitFinished());
        f.Pump(50);
        EXPECT_EQ(f.finished, 1);
        EXPECT_FALSE(f.control.GetLastError().isEmpty());
        EXPECT_EQ(FilesIn(dir.path()), QStringList{QStringLiteral("notes.mp3")});
    }
}

TEST(FennickFailures, AbortStopsQuicklyWithoutFinishedOrFile) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("dvd.mpg"));
    ControlFixture f;
    f.control.SetVideoInput(LongVideo(), 0, 0, 2);
    f.control.SetOutputKind(fennick::kDvdPal);
    ASSERT_TRUE(f.control.WriteVideoFile(out));
    // A second write while one runs is refused.
    EXPECT_FALSE(f.control.WriteWaveFile(dir.filePath(QStringLiteral("x.wav")), 2, 44100, 2));
    QElapsedTimer wait;
    wait.start();
    while (f.progressCount == 0 && wait.elapsed() < 20000)
        f.Pump(10);
    ASSERT_GT(f.progressCount, 0);
    ASSERT_EQ(f.finished, 0) << "the write ended before it could be aborted";
    QElapsedTimer t;
    t.start();
    f.control.AbortWrite();
    EXPECT_LT(t.elapsed(), 200);
    const int progressAtAbort = f.progressCount;
    f.Pump(400);
    EXPECT_EQ(f.finished, 0);
    EXPECT_EQ(f.progressCount, progressAtAbort);
    EXPECT_TRUE(FilesIn(dir.path()).isEmpty());

    // The control takes the next write as usual.
    f.control.ClearInputs();
    f.control.SetAudioInput(ToneMp3(), 0, 1);
    ASSERT_TRUE(f.control.WriteWaveFile(dir.filePath(QStringLiteral("next.wav")), 2, 44100, 2));
    ASSERT_TRUE(f.WaitFinished());
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("next.wav"))));
}

// ---- WMA ---------------------------------------------------------------------

TEST(FennickWma, ProfilesGiveTheirFormat) {
    QTemporaryDir dir;
    ControlFixture probe;
    const CFennickProfiles profiles = probe.control.GetMediaProfiles();
    struct Case {
        short index;
        int rate, channels;
    };
    // -1: the documented default, the last audio profile (128 kbit/s stereo).
    for (const Case& c : {Case{-1, 44100, 2}, Case{0, 22050, 1}, Case{5, 48000, 2}}) {
        SCOPED_TRACE(c.index);
        ControlFixture f;
        const QString out = dir.filePath(QStringLiteral("o%1.wma").arg(c.index));
        f.control.SetAudioInput(ToneMp3(), 0.5, 2.5);
        f.control.SetMediaProfileIndex(c.index);
        ASSERT_TRUE(f.control.WriteMediaAudioFile(out));
        ASSERT_TRUE(f.WaitFinished());
        EXPECT_TRUE(f.control.GetLastError().isEmpty()) << f.control.GetLastError().toStdString();
        const QJsonObject p = ProbeFile(out);
        EXPECT_EQ(p.value(QStringLiteral("format"))
                      .toObject()
                      .value(QStringLiteral("format_name"))
                      .toString(),
                  QStringLiteral("asf"));
        const QJsonObject a = StreamOf(p, QStringLiteral("audio"));
        EXPECT_EQ(a.value(QStringLiteral("codec_name")).toString(), QStringLiteral("wmav2"));
        EXPECT_EQ(Num(a, "sample_rate"), c.rate);
        EXPECT_EQ(Num(a, "channels"), c.channels);
        // Decoded length: the clip, within one codec frame of padding.
        const double seconds = DecodeAudio(out).size() / (2.0 * c.channels * c.rate);
        EXPECT_NEAR(seconds, 2.0, 2048.0 / c.rate + 0.001);
    }
    EXPECT_TRUE(profiles.NameAt(6).contains(QStringLiteral("128")));
}

// ---- video -------------------------------------------------------------------

TEST(FennickVideo, EveryOutputKind) {
    struct Case {
        int kind;
        int extra; // custom MPEG type, or the AVI video compressor (-1 off)
        const char* format;
        const char* vcodec;
        const char* acodec;
        int width, height;
        double fps;
    };
    const Case cases[] = {
        {0, 0, "mpeg", "mpeg1video", "mp2", 352, 288, 25},
        {1, 0, "mpeg", "mpeg1video", "mp2", 352, 240, 30000.0 / 1001},
        {2, 0, "mpeg", "mpeg2video", "mp2", 480, 576, 25},
        {3, 0, "mpeg", "mpeg2video", "mp2", 480, 480, 30000.0 / 1001},
        {4, 0, "mpeg", "mpeg2video", "ac3", 720, 576, 25},
        {5, 0, "mpeg", "mpeg2video", "ac3", 720, 480, 30000.0 / 1001},
        {6, 0, "mpeg", "mpeg1video", "mp2", 320, 240, 25},
        {6, 1, "mpeg", "mpeg2video", "mp2", 320, 240, 25},
        {7, -1, "avi", "rawvideo", "pcm_s16le", 160, 120, 10},
        {7, 0, "avi", "mpeg4", "pcm_s16le", 160, 120, 10},
        {7, 1, "avi", "msmpeg4v2", "pcm_s16le", 160, 120, 10},
        {7, 2, "avi", "mjpeg", "pcm_s16le", 160, 120, 10},
        {7, 3, "avi", "huffyuv", "pcm_s16le", 160, 120, 10},
        {7, 4, "avi", "ffv1", "pcm_s16le", 160, 120, 10},
        {8, -1, "asf", "wmv2", "wmav2", 320, 240, 30},
    };
    QTemporaryDir dir;
    const double start = 1.0, stop = 2.0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " extra " << c.extra);
        ControlFixture f;
        CFennick& ctl = f.control;
        const QString out = dir.filePath(QStringLiteral("k%1_%2.out").arg(c.kind).arg(c.extra));
        ctl.SetOutputKind(c.kind);
        if (c.kind == 6) {
            ctl.SetCustomMpegType(c.extra);
            ctl.SetOutputWidth(static_cast<short>(c.width));
            ctl.SetOutputHeight(static_cast<short>(c.height));
            ctl.SetMpegVideoKbps(1500);
            ctl.SetMpegAudioKbps(224);
            ctl.SetMpegVbrOn(c.extra == 1);
            ctl.SetMpegVbrLevel(90);
        } else if (c.kind == 7) {
            ctl.SetOutputWidth(static_cast<short>(c.width));
            ctl.SetOutputHeight(static_cast<short>(c.height));
            ctl.SetOutputFrameRate(static_cast<float>(c.fps));
            ctl.SetVideoCompressorOn(c.extra >= 0);
            ctl.SetVideoCompressorIndex(static_cast<short>(std::max(0, c.extra)));
            ctl.SetAudioCompressorOn(false);
        }
        ctl.SetVideoInput(AvFile(), start, stop, 2);
        ASSERT_TRUE(ctl.WriteVideoFile(out)) << ctl.GetLastError().toStdString();
        ASSERT_TRUE(f.WaitFinished());
        EXPECT_TRUE(ctl.GetLastError().isEmpty()) << ctl.GetLastError().toStdString();
        EXPECT_NEAR(f.lastTotal, stop - start, 1e-9);

        const QJsonObject p = ProbeFile(out, true);
        EXPECT_TRUE(p.value(QStringLiteral("format"))
                        .toObject()
                        .value(QStringLiteral("format_name"))
                        .toString()
                        .contains(QLatin1String(c.format)));
        const QJsonObject v = StreamOf(p, QStringLiteral("video"));
        const QJsonObject a = StreamOf(p, QStringLiteral("audio"));
        EXPECT_EQ(v.value(QStringLiteral("codec_name")).toString(), QLatin1String(c.vcodec));
        EXPECT_EQ(a.value(QStringLiteral("codec_name")).toString(), QLatin1String(c.acodec));
        EXPECT_EQ(Num(v, "width"), c.width);
        EXPECT_EQ(Num(v, "height"), c.height);
        const QStringList rate = v.value(QStringLiteral("r_frame_rate")).toString().split('/');
        ASSERT_EQ(rate.size(), 2);
        EXPECT_NEAR(rate[0].toDouble() / rate[1].toDouble(), c.fps, 0.01);
        if (c.kind <= fennick::kDvdNtsc) {
            // Disc pictures are shown at 4:3 whatever their frame size.
            const QStringList sar =
                v.value(QStringLiteral("sample_aspect_ratio")).toString().split(':');
            ASSERT_EQ(sar.size(), 2);
            EXPECT_NEAR(c.width * sar[0].toDouble() / sar[1].toDouble() / c.height, 4.0 / 3, 0.01);
        }
        // Frame-accurate: as many frames as the clip holds, within one.
        EXPECT_NEAR(Num(v, "nb_read_frames"), (stop - start) * c.fps, 1.0);
    }
}

TEST(FennickVideo, AviCompressedSoundAndSeparateAudioInput) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("a.avi"));
    ControlFixture f;
    f.control.SetOutputKind(fennick::kAvi);
    f.control.SetOutputWidth(160);
    f.control.SetOutputHeight(120);
    f.control.SetOutputFrameRate(25);
    f.control.SetVideoCompressorOn(true);
    f.control.SetVideoCompressorIndex(0);
    f.control.SetAudioCompressorOn(true);
    f.control.SetAudioCompressorIndex(
        f.control.GetAudioCompressors().IndexOfName(QStringLiteral("MP3")));
    f.control.SetVideoInput(AvFile(), 0, 2, 0);
    f.control.SetAudioInput(ToneMp3(), 0.5, 2.5);
    ASSERT_TRUE(f.control.WriteVideoFile(out));
    ASSERT_TRUE(f.WaitFinished());
    const QJsonObject p = ProbeFile(out);
    const QJsonObject a = StreamOf(p, QStringLiteral("audio"));
    EXPECT_EQ(a.value(QStringLiteral("codec_name")).toString(), QStringLiteral("mp3"));
    // The separate sound: the tone's rate and channels, not the video's.
    EXPECT_EQ(Num(a, "sample_rate"), 44100);
    EXPECT_EQ(Num(a, "channels"), 2);
}

TEST(FennickVideo, CompressorPagesKeepTheirSettingForTheNextWrites) {
    ControlFixture f;
    const CFennickCompressors vc = f.control.GetVideoCompressors();
    const short mpeg4 = vc.IndexOfName(QStringLiteral("MPEG-4 Part 2"));
    ASSERT_GE(mpeg4, 0);
    // The page's answer: the value typed, then OK or Cancel.
    QStringList captions;
    int typed = 0;
    bool confirm = true;
    const platform::DialogRunner previous = platform::InstallDialogRunner([&](QDialog& d) {
        captions << d.windowTitle();
        auto& page = dynamic_cast<platform::CPropertyPageDlg&>(d);
        page.Field(0)->setValue(typed);
        return confirm ? QDialog::Accepted : QDialog::Rejected;
    });
    // Lossless compressors have nothing to set.
    for (const char* none : {"HuffYUV", "FFV1"})
        EXPECT_FALSE(vc.ShowPropertyPage(vc.IndexOfName(QLatin1String(none)))) << none;
    EXPECT_FALSE(vc.ShowPropertyPage(-1));
    EXPECT_FALSE(vc.ShowPropertyPage(vc.GetCount()));
    EXPECT_TRUE(captions.isEmpty());

    QTemporaryDir dir;
    auto write = [&](const QString& name) {
        const QString out = dir.filePath(name);
        f.control.ClearInputs();
        f.control.SetOutputKind(fennick::kAvi);
        f.control.SetOutputWidth(320);
        f.control.SetOutputHeight(240);
        f.control.SetOutputFrameRate(25);
        f.control.SetVideoCompressorOn(true);
        f.control.SetVideoCompressorIndex(mpeg4);
        f.control.SetAudioCompressorOn(false);
        f.control.SetVideoInput(AvFile(), 0, 2, 0);
        f.finished = 0;
        EXPECT_TRUE(f.control.WriteVideoFile(out)) << f.control.GetLastError().toStdString();
        EXPECT_TRUE(f.WaitFinished());
        // The picture's share of the file: the sum of its packets.
        QByteArray sizes;
        testsupport::RunProgram(QStringLiteral("ffprobe"),
                                {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                 "packet=size", "-of", "csv=p=0", out},
                                &sizes);
        qint64 bytes = 0;
        for (const QByteArray& line : sizes.split('\n'))
            bytes += line.trimmed().toLongLong();
        return bytes;
    };
    typed = 2;
    EXPECT_TRUE(vc.ShowPropertyPage(mpeg4));
    const qint64 fine = write(QStringLiteral("fine.avi"));
    typed = 31;
    EXPECT_TRUE(vc.ShowPropertyPage(mpeg4));
    const qint64 coarse = write(QStringLiteral("coarse.avi"));
    // Cancel keeps the coarse setting.
    typed = 2;
    confirm = false;
    EXPECT_TRUE(vc.ShowPropertyPage(mpeg4));
    const qint64 again = write(QStringLiteral("again.avi"));
    platform::InstallDialogRunner(previous);

    EXPECT_EQ(captions.value(0), QStringLiteral("MPEG-4 Part 2 Properties"));
    EXPECT_LT(coarse * 2, fine);
    EXPECT_EQ(again, coarse);
}

TEST(FennickVideo, FitModesOnATestPattern) {
    // 320x120 black with a white 120x120 square in the middle, to 160x120.
    const QString box =
        Fixture(QStringLiteral("box.avi"),
                {"-f", "lavfi", "-i",
                 "color=black:s=320x120:r=25:d=1,drawbox=x=100:y=0:w=120:h=120:color=white:t=fill",
                 "-c:v", "ffv1"});
    struct Case {
        short fit;
        int whiteWidth; // of the middle row
        bool topRowBlack;
    };
    // Stretch halves the square's width only; keeping the aspect halves
    // both and adds bars above and below; cropping keeps its full size.
    const Case cases[] = {{0, 60, false}, {2, 60, true}, {3, 120, false}};
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fit);
        ControlFixture f;
        const QString out = dir.filePath(QStringLiteral("fit%1.avi").arg(c.fit));
        f.control.SetOutputKind(fennick::kAvi);
        f.control.SetOutputWidth(160);
        f.control.SetOutputHeight(120);
        f.control.SetOutputFrameRate(25);
        f.control.SetVideoInput(box, 0, 0, c.fit);
        ASSERT_TRUE(f.control.WriteVideoFile(out));
        ASSERT_TRUE(f.WaitFinished());
        const QByteArray gray = DecodeFrame(out, QStringLiteral("gray"));
        ASSERT_EQ(gray.size(), 160 * 120);
        const auto at = [&](int x, int y) { return static_cast<unsigned char>(gray[y * 160 + x]); };
        int white = 0;
        for (int x = 0; x < 160; ++x)
            white += at(x, 60) > 128 ? 1 : 0;
        EXPECT_NEAR(white, c.whiteWidth, 3);
        EXPECT_EQ(at(80, 2) < 40, c.topRowBlack) << int(at(80, 2));
    }
}

namespace {

// A 24-bit BMP: left half red, right half the colour key white.
QString WriteLogo(const QString& path, int w, int h) {
    QByteArray data;
    const int stride = (w * 3 + 3) & ~3;
    const auto u32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            data.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    const auto u16 = [&](quint16 v) {
        data.append(static_cast<char>(v & 0xFF));
        data.append(static_cast<char>(v >> 8));
    };
    data.append("BM");
    u32(54 + stride * h);
    u32(0);
    u32(54);
    u32(40);
    u32(w);
    u32(h);
    u16(1);
    u16(24);
    u32(0);
    u32(stride * h);
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    for (int y = 0; y < h; ++y) {
        QByteArray row(stride, '\0');
        for (int x = 0; x < w; ++x) {
            const bool red = x < w / 2;
            row[x * 3 + 0] = static_cast<char>(red ? 0 : 255);
            row[x * 3 + 1] = static_cast<char>(red ? 0 : 255);
            row[x * 3 + 2] = static_cast<char>(255);
        }
        data.append(row);
    }
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(data);
    return path;
}

} // namespace

TEST(FennickVideo, OverlayBlendsWithColourKeyAndLevel) {
    const QString black =
        Fixture(QStringLiteral("black.avi"),
                {"-f", "lavfi", "-i", "color=black:s=160x120:r=25:d=1", "-c:v", "ffv1"});
    QTemporaryDir dir;
    const QString logo = WriteLogo(dir.filePath(QStringLiteral("logo.bmp")), 40, 20);
    const QString out = dir.filePath(QStringLiteral("o.avi"));
    ControlFixture f;
    f.control.SetOutputKind(fennick::kAvi);
    f.control.SetOutputWidth(160);
    f.control.SetOutputHeight(120);
    f.control.SetOutputFrameRate(25);
    f.control.SetVideoInput(black, 0, 0, 0);
    f.control.OverlayPicture(logo, 5, 5, 0xFFFFFF, 80);
    EXPECT_TRUE(f.control.GetLastError().isEmpty());
    ASSERT_TRUE(f.control.WriteVideoFile(out));
    // The pages repeat the call at every progress report: harmless.
    f.control.OverlayPicture(logo, 5, 5, 0xFFFFFF, 80);
    ASSERT_TRUE(f.WaitFinished());
    for (int frame : {0, 20}) {
        const QByteArray rgb = DecodeFrame(out, QStringLiteral("rgb24"), frame);
        ASSERT_EQ(rgb.size(), 160 * 120 * 3);
        const auto px = [&](int x, int y, int c) {
            return static_cast<unsigned char>(rgb[(y * 160 + x) * 3 + c]);
        };
        // Red at 80 % over black where the picture is red...
        EXPECT_NEAR(px(12, 12, 0), 204, 25);
        EXPECT_LT(px(12, 12, 1), 40);
        // ...nothing where it has the key colour, or outside it.
        EXPECT_LT(px(35, 15, 0), 20);
        EXPECT_LT(px(35, 15, 1), 20);
        EXPECT_LT(px(100, 100, 0), 20);
    }

    // A picture that is not a BMP is reported and not drawn.
    f.control.OverlayPicture(AvFile(), 5, 5, 0xFFFFFF, 80);
    EXPECT_FALSE(f.control.GetLastError().isEmpty());
}

// ---- WMV profiles ------------------------------------------------------------

TEST(FennickPrx, RoundTripAndWmvFromAProfileFile) {
    QTemporaryDir dir;
    fennick::PrxProfile p;
    p.name = "Tiny <&> \"one\"";
    p.description = "for tests";
    p.video = fennick::PrxVideoStream{};
    p.video->width = 200;
    p.video->height = 150;
    p.video->frameRate = 12;
    p.video->bitrate = 300000;
    p.audio = fennick::PrxAudioStream{};
    p.audio->sampleRate = 32000;
    p.audio->channels = 1;
    p.audio->bitrate = 48000;
    const std::string path = dir.filePath(QStringLiteral("tiny.prx")).toStdString();
    std::string error;
    ASSERT_TRUE(fennick::WritePrx(path, p, error)) << error;
    fennick::PrxProfile back;
    ASSERT_TRUE(fennick::ReadPrx(path, back, error)) << error;
    EXPECT_EQ(back.name, p.name);
    EXPECT_EQ(back.description, p.description);
    ASSERT_TRUE(back.video && back.audio);
    EXPECT_EQ(back.video->width, 200);
    EXPECT_EQ(back.audio->sampleRate, 32000);

    // Damaged or out-of-range profiles are refused.
    const auto writeText = [&](const char* name, const char* text) {
        QFile f(dir.filePath(QLatin1String(name)));
        f.open(QIODevice::WriteOnly);
        f.write(text);
        return f.fileName().toStdString();
    };
    for (const std::string& bad : {writeText("a.prx", "garbage"),
                                   writeText("b.prx", "<profile><video width=\"5000\"/></profile>"),
                                   writeText("c.prx", "<profile name=\"x\"></profile>"),
                                   writeText("d.prx", "<profile><audio channels=\"x\"/>")})
        EXPECT_FALSE(fennick::ReadPrx(bad, back, error)) << bad;

    ControlFixture f;
    const QString out = dir.filePath(QStringLiteral("p.wmv"));
    f.control.SetOutputKind(fennick::kWmv);
    f.control.SetMediaProfileFile(QString::fromStdString(path));
    f.control.SetVideoInput(AvFile(), 0, 1, 2);
    ASSERT_TRUE(f.control.WriteVideoFile(out));
    ASSERT_TRUE(f.WaitFinished());
    const QJsonObject probe = ProbeFile(out);
    const QJsonObject v = StreamOf(probe, QStringLiteral("video"));
    const QJsonObject a = StreamOf(probe, QStringLiteral("audio"));
    EXPECT_EQ(v.value(QStringLiteral("codec_name")).toString(), QStringLiteral("wmv2"));
    EXPECT_EQ(Num(v, "width"), 200);
    EXPECT_EQ(Num(v, "height"), 150);
    EXPECT_EQ(v.value(QStringLiteral("r_frame_rate")).toString(), QStringLiteral("12/1"));
    EXPECT_EQ(Num(a, "sample_rate"), 32000);
    EXPECT_EQ(Num(a, "channels"), 1);

    // A missing profile file refuses the write.
    ControlFixture g;
    g.control.SetOutputKind(fennick::kWmv);
    g.control.SetMediaProfileFile(dir.filePath(QStringLiteral("missing.prx")));
    g.control.SetVideoInput(AvFile(), 0, 1, 2);
    EXPECT_FALSE(g.control.WriteVideoFile(dir.filePath(QStringLiteral("q.wmv"))));
    EXPECT_FALSE(g.control.GetLastError().isEmpty());
}
