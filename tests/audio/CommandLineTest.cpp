// Encoder command lines, output names and typed numbers.

#include "AudioTask.h"
#include "EncoderCommand.h"
#include "Numbers.h"
#include "Paths.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kWav = QStringLiteral("C:\\cstmp.WAV");

struct CommandCase {
    const char* name;
    EncoderCommand command;
    const char* text;
    QStringList args;
};

TEST(EncoderCommand, TextAndArgumentsFollowTheDocumentedForms) {
    const CommandCase cases[] = {
        {"mp3 cbr joint",
         Mp3Command("C:\\WINDOWS\\lame.exe", kWav, "C:\\cstmp.MP3", 128, 44100, 1, 0),
         "C:\\WINDOWS\\lame.exe -b 128 -m joint --resample 44100 C:\\cstmp.WAV C:\\cstmp.MP3",
         {"-b", "128", "-m", "joint", "--resample", "44100", kWav, "C:\\cstmp.MP3"}},
        {"mp3 vbr mono",
         Mp3Command("C:\\WINDOWS\\lame.exe", kWav, "C:\\cstmp.MP3", 320, 22050, 2, 1),
         "C:\\WINDOWS\\lame.exe -v -m mono --resample 22050 C:\\cstmp.WAV C:\\cstmp.MP3",
         {"-v", "-m", "mono", "--resample", "22050", kWav, "C:\\cstmp.MP3"}},
        {"mp3 stereo",
         Mp3Command("/usr/bin/lame", "/t/cstmp.WAV", "/t/cstmp.MP3", 8, 24000, 0, 0),
         "/usr/bin/lame -b 8 -m stereo --resample 24000 /t/cstmp.WAV /t/cstmp.MP3",
         {"-b", "8", "-m", "stereo", "--resample", "24000", "/t/cstmp.WAV", "/t/cstmp.MP3"}},
        {"ogg best",
         OggCommand("C:\\WINDOWS\\oggenc.exe", kWav, "C:\\cstmp.OGG", 5, 0, 44100),
         "C:\\WINDOWS\\oggenc.exe -q 10 -o C:\\cstmp.OGG --resample 44100 C:\\cstmp.WAV",
         {"-q", "10", "-o", "C:\\cstmp.OGG", "--resample", "44100", kWav}},
        {"ogg low",
         OggCommand("oggenc", kWav, "o.OGG", 0, 1, 8000),
         "oggenc -q 1 -o o.OGG --resample 8000 C:\\cstmp.WAV",
         {"-q", "1", "-o", "o.OGG", "--resample", "8000", kWav}},
        {"ape slowest",
         ApeCommand("C:\\WINDOWS\\mac.exe", kWav, "C:\\cstmp.APE", 3),
         "C:\\WINDOWS\\mac.exe C:\\cstmp.WAV C:\\cstmp.APE -c4000",
         {kWav, "C:\\cstmp.APE", "-c4000"}},
        {"ape fast",
         ApeCommand("mac", kWav, "o.APE", 0),
         "mac C:\\cstmp.WAV o.APE -c1000",
         {kWav, "o.APE", "-c1000"}},
        {"aac cbr",
         AacCommand("C:\\WINDOWS\\aacenc32.exe", kWav, "C:\\cstmp.AAC", 128),
         "C:\\WINDOWS\\aacenc32.exe -cbr 128 C:\\cstmp.WAV C:\\cstmp.AAC",
         {"-cbr", "128", kWav, "C:\\cstmp.AAC"}},
        {"aac vbr normal",
         AacCommand("C:\\WINDOWS\\aacenc32.exe", kWav, "C:\\cstmp.AAC", 20),
         "C:\\WINDOWS\\aacenc32.exe -vbr normal C:\\cstmp.WAV C:\\cstmp.AAC",
         {"-vbr", "normal", kWav, "C:\\cstmp.AAC"}},
        {"aac vbr tape",
         AacCommand("a", "i", "o", 16),
         "a -vbr tape i o",
         {"-vbr", "tape", "i", "o"}},
        {"aac vbr transcoding",
         AacCommand("a", "i", "o", 23),
         "a -vbr transcoding i o",
         {"-vbr", "transcoding", "i", "o"}},
        {"aac 448", AacCommand("a", "i", "o", 448), "a -cbr 448 i o", {"-cbr", "448", "i", "o"}},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.command.text, QString::fromLatin1(c.text));
        EXPECT_EQ(c.command.args, c.args);
    }
}

TEST(EncoderCommand, OggQualityPositions) {
    const int expected[] = {1, 3, 5, 7, 9, 10, 10};
    for (int pos = 0; pos < 7; ++pos)
        EXPECT_EQ(OggCommand("o", "i", "x", pos, 0, 44100).args[1], QString::number(expected[pos]));
}

TEST(EncoderCommand, TemporaryFilesLieInThePrivateFolderWhateverTheInstallDir) {
    QTemporaryDir dir;
    platform::SetInstallDirForTesting(dir.path());
    const QString tmp = platform::TempDir();
    ASSERT_FALSE(tmp.isEmpty());
    EXPECT_EQ(TemporaryFile("WAV"), tmp + "/cstmp.WAV");
    EXPECT_EQ(TemporaryFile("AAC"), tmp + "/cstmp.AAC");
    platform::SetInstallDirForTesting({});
}

TEST(EncoderCommand, EncodersAreFoundInInstallDirBeforePath) {
    QTemporaryDir dir;
    platform::SetInstallDirForTesting(dir.path());
    // Not in InstallDir: taken from PATH.
    EXPECT_EQ(FindEncoder("lame"), QStringLiteral("/usr/bin/lame"));
    QFile own(dir.path() + "/lame");
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.write("#!/bin/sh\n");
    own.close();
    // Not executable: still PATH's.
    EXPECT_EQ(FindEncoder("lame"), QStringLiteral("/usr/bin/lame"));
    own.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(FindEncoder("lame"), dir.path() + "/lame");
    EXPECT_TRUE(FindEncoder("no-such-encoder-here").isEmpty());
    platform::SetInstallDirForTesting({});
}

TEST(AudioTask, OutputNamesAndSourceExtensions) {
    struct Case {
        const char* folder;
        const char* source;
        int format;
        const char* output;
    } cases[] = {
        {"/music", "/a/song.mp3", kFormatMp3, "/music/song.MP3"},
        {"/music", "/a/song.mp3", kFormatWav, "/music/song.WAV"},
        {"/music", "/a/my.song.wma", kFormatOgg, "/music/my.song.OGG"},
        {"/", "/a/song.ape", kFormatAac, "/song.AAC"},
        {"/music", "/a.b/song", kFormatApe, "/music/song.APE"}, // no dot in the name
        {"/music", "/a/.hidden", kFormatWma, "/music/.WMA"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OutputFileFor(c.folder, c.source, c.format), QString::fromLatin1(c.output))
            << c.source;
    EXPECT_EQ(SourceExtension("/a/b.rmvb"), "RMVB");
    EXPECT_EQ(SourceExtension("/a/song"), "/A/SONG");
}

TEST(AudioTask, TableHandsOutSlotsInOrderAndNeverReusesThem) {
    AudioTaskTable table;
    AudioTask t;
    t.sourcePath = "/a.wav";
    ASSERT_TRUE(table.Append(t));
    ASSERT_TRUE(table.Append(t));
    table.Remove(0);
    EXPECT_TRUE(table[0].IsEmpty());
    EXPECT_EQ(table.SlotCount(), 2);
    while (table.Append(t)) {
    }
    EXPECT_EQ(table.SlotCount(), AudioTaskTable::kSlots);
    EXPECT_EQ(table[AudioTaskTable::kSlots - 1].sourcePath, "/a.wav");
}

TEST(Numbers, LeadingPartOfTheText) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {{"10", 10},   {"215.500000", 215.5}, {"-3.5s", -3.5}, {"abc", 0}, {"", 0},
                 {" 12x", 12}, {".5", 0.5},           {"+7.", 7},      {"1e3", 1}, {"-", 0}};
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(LeadingDecimal(c.text), c.value) << c.text;
    EXPECT_EQ(LeadingInteger("128 kbps"), 128);
    EXPECT_EQ(LeadingInteger("x"), 0);
    EXPECT_EQ(LeadingInteger("99999999999"), INT_MAX);
}

} // namespace
