// trakkon-cli over an image drive: listing, a rip checked with ffprobe, and
// the exit codes of refusals and failures.

#include "CdImage.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <string>
#include <sys/wait.h>

namespace {

struct Result {
    int code;
    std::string out;
};

Result Shell(const std::string& cmd) {
    std::string out;
    FILE* pipe = popen((cmd + " 2>&1").c_str(), "r");
    char buf[4096];
    size_t n;
    while (pipe && (n = fread(buf, 1, sizeof buf, pipe)) > 0)
        out.append(buf, n);
    const int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

class TrakkonCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        image = cdtest::WriteImage(dir.path().toStdString(), cdtest::MixedDisc());
        // Only the image: real drives, if any, come first and are skipped here.
        cli = "QUINTREL_CD_IMAGES='" + image.cue + "' '" QUINTREL_TRAKKON_CLI "'";
        const Result drives = Shell(cli + " drives");
        ASSERT_EQ(0, drives.code) << drives.out;
        const size_t at = drives.out.rfind("CD: disc.cue (image)");
        ASSERT_NE(std::string::npos, at) << drives.out;
        const size_t lineStart = drives.out.rfind('\n', at);
        drive = std::stoi(drives.out.substr(lineStart == std::string::npos ? 0 : lineStart + 1));
    }
    std::string Out(const std::string& name) { return dir.path().toStdString() + "/" + name; }

    QTemporaryDir dir;
    cdtest::CdImage image;
    std::string cli;
    int drive = 0;
};

TEST_F(TrakkonCliTest, ListsTracksAndRipsToMp3) {
    const Result tracks = Shell(cli + " tracks " + std::to_string(drive));
    ASSERT_EQ(0, tracks.code) << tracks.out;
    EXPECT_NE(std::string::npos, tracks.out.find("0\tTrack 1\taudio\t0\n")) << tracks.out;
    EXPECT_NE(std::string::npos, tracks.out.find("1\tTrack 2\tdata\t225\n")) << tracks.out;
    EXPECT_NE(std::string::npos, tracks.out.find("2\tTrack 3\taudio\t450\n")) << tracks.out;

    const Result rip = Shell(cli + " rip " + std::to_string(drive) + " 0 '" + Out("t1.mp3") +
                             "' --bitrate-pos 14 --rate 48000");
    ASSERT_EQ(0, rip.code) << rip.out;
    EXPECT_NE(std::string::npos, rip.out.find("Ripping: 100%")) << rip.out;
    const Result probe =
        Shell("ffprobe -v error -show_entries stream=codec_name,sample_rate,bit_rate "
              "-of default=noprint_wrappers=1 '" +
              Out("t1.mp3") + "'");
    EXPECT_NE(std::string::npos, probe.out.find("codec_name=mp3")) << probe.out;
    EXPECT_NE(std::string::npos, probe.out.find("sample_rate=48000")) << probe.out;
    EXPECT_NE(std::string::npos, probe.out.find("bit_rate=192000")) << probe.out;
}

TEST_F(TrakkonCliTest, RefusalsAndFailuresExitNonZeroWithTheReason) {
    const std::string d = std::to_string(drive);
    EXPECT_EQ(64, Shell(cli + " rip " + d + " 0 '" + Out("x.wav") + "'").code);
    EXPECT_EQ(64, Shell(cli).code);
    const Result refused = Shell(cli + " rip " + d + " 3 '" + Out("x.mp3") + "'");
    EXPECT_EQ(1, refused.code);
    EXPECT_NE(std::string::npos, refused.out.find("refused")) << refused.out;
    EXPECT_EQ(2, Shell(cli + " tracks 99").code);
    // An output folder that does not exist: the encoder cannot open the file.
    const Result failed = Shell(cli + " rip " + d + " 0 '" + Out("missing/x.ogg") + "'");
    EXPECT_EQ(4, failed.code);
    EXPECT_NE(std::string::npos, failed.out.find("could not open")) << failed.out;
    // The data track is skipped: EndRip without a file.
    EXPECT_EQ(0, Shell(cli + " rip " + d + " 1 '" + Out("data.mp3") + "'").code);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Out("data.mp3"))));
}

} // namespace
