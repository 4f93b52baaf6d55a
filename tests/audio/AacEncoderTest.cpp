// The AAC encoder program, run as the conversion run starts it, its output
// read back with ffprobe and ffmpeg.

#include "AudioTestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace audiotest;

namespace {

QString Aacenc() {
    return BinDir() + QStringLiteral("/aacenc32");
}

class AacEncoder : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString P(const char* name) const { return dir.path() + QLatin1Char('/') + name; }
};

TEST_F(AacEncoder, WritesAacLcInAdtsForCbrAndEveryPreset) {
    MakeTone(P("in.wav"), 1.0);
    MakeTone(P("mono22.wav"), 1.0, 22050, 1);
    struct Case {
        QStringList mode;
        const char* input;
        int rate, channels;
    } cases[] = {
        {{"-cbr", "128"}, "in.wav", 44100, 2},         {{"-cbr", "32"}, "in.wav", 44100, 2},
        {{"-cbr", "448"}, "in.wav", 44100, 2},         {{"-cbr", "64"}, "mono22.wav", 22050, 1},
        {{"-vbr", "tape"}, "in.wav", 44100, 2},        {{"-vbr", "normal"}, "in.wav", 44100, 2},
        {{"-vbr", "transcoding"}, "in.wav", 44100, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode.join(' ').toStdString());
        QFile::remove(P("out.aac"));
        QString err;
        ASSERT_EQ(
            RunProgram(Aacenc(), c.mode + QStringList{P(c.input), P("out.aac")}, nullptr, &err), 0)
            << err.toStdString();
        const Probe p = ProbeAudio(P("out.aac"));
        ASSERT_TRUE(p.ok);
        EXPECT_EQ(p.format, "aac"); // ADTS
        EXPECT_EQ(p.codec, "aac");
        EXPECT_EQ(p.sampleRate, c.rate);
        EXPECT_EQ(p.channels, c.channels);
        QString profile;
        RunProgram(
            "ffprobe",
            {"-v", "error", "-show_entries", "stream=profile", "-of", "csv=p=0", P("out.aac")},
            &profile);
        EXPECT_EQ(profile.trimmed(), "LC");
        // ADTS carries no delay information: the priming frame and the
        // padding of the last frame show up, at most two frames.
        EXPECT_GE(p.duration, 1.0);
        EXPECT_LE(p.duration, 1.0 + 2048.0 / c.rate);
    }
}

TEST_F(AacEncoder, PresetsRiseInBitrate) {
    // Noise, so the encoder has something to spend bits on.
    ASSERT_EQ(
        RunProgram("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                              "anoisesrc=d=1:c=pink:r=44100:a=0.3", "-ac", "2", P("noise.wav")}),
        0);
    qint64 previous = 0;
    for (const char* preset : {"tape", "radio", "internet", "streaming", "normal", "extreme",
                               "audiophile", "transcoding"}) {
        ASSERT_EQ(RunProgram(Aacenc(), {"-vbr", preset, P("noise.wav"), P("n.aac")}), 0) << preset;
        const qint64 size = QFileInfo(P("n.aac")).size();
        EXPECT_GT(size, previous) << preset;
        previous = size;
    }
}

TEST_F(AacEncoder, BadInputsFailWithAMessageAndNoOutput) {
    MakeTone(P("in.wav"), 1.0);
    QFile good(P("in.wav"));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray wav = good.readAll();
    auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(P(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write("text.wav", "this is not a wave file at all");
    write("short.wav", wav.left(20));
    QByteArray floatWav = wav;
    floatWav[20] = 3; // IEEE float format tag
    write("float.wav", floatWav);
    QByteArray noData = wav.left(36);
    noData[4] = 28;
    write("nodata.wav", noData);
    ASSERT_EQ(RunProgram("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=d=1", "-c:a",
                                    "pcm_f32le", P("realfloat.wav")}),
              0);
    for (const char* bad :
         {"text.wav", "short.wav", "float.wav", "nodata.wav", "realfloat.wav", "missing.wav"}) {
        SCOPED_TRACE(bad);
        QString err;
        EXPECT_EQ(RunProgram(Aacenc(), {"-cbr", "128", P(bad), P("out.aac")}, nullptr, &err), 1);
        EXPECT_TRUE(err.startsWith("aacenc32: ")) << err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(P("out.aac")));
    }
    // An output folder that does not exist.
    QString err;
    EXPECT_EQ(RunProgram(Aacenc(), {"-cbr", "128", P("in.wav"), P("none/out.aac")}, nullptr, &err),
              1);
    EXPECT_FALSE(err.isEmpty());
}

TEST_F(AacEncoder, UsageErrors) {
    MakeTone(P("in.wav"), 0.5);
    const QStringList bad[] = {
        {"-cbr", "abc", P("in.wav"), P("o.aac")},
        {"-cbr", "0", P("in.wav"), P("o.aac")},
        {"-vbr", "loud", P("in.wav"), P("o.aac")},
        {"-abr", "128", P("in.wav"), P("o.aac")},
        {"-cbr", "128", P("in.wav")},
    };
    for (const QStringList& args : bad) {
        EXPECT_EQ(RunProgram(Aacenc(), args), 2) << args.join(' ').toStdString();
        EXPECT_FALSE(QFileInfo::exists(P("o.aac")));
    }
    QString out;
    EXPECT_EQ(RunProgram(Aacenc(), {"--help"}, &out), 0);
    EXPECT_TRUE(out.contains("transcoding")) << out.toStdString();
}

} // namespace
