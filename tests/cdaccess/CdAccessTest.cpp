// The CD access library over image drives: drive discovery, the table of
// contents checked against cd-info, verified reads of sector ranges, the
// stop flag, and images whose FILE line names another file.

#include "CdAccess.h"
#include "CdImage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string RunCommand(const std::string& cmd) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
    char buf[4096];
    while (pipe && fgets(buf, sizeof buf, pipe.get()))
        out += buf;
    return out;
}

class CdAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("cdaccess-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        unsetenv("QUINTREL_CD_IMAGES");
        fs::remove_all(dir_);
    }
    // Only image drives count here; a machine's real drives come first.
    int ImageDriveBase() {
        unsetenv("QUINTREL_CD_IMAGES");
        setenv("XDG_CONFIG_HOME", (dir_ / "noconfig").c_str(), 1);
        CdInitialize();
        return CdGetDriveCount();
    }
    void UseImages(const std::string& list) {
        setenv("QUINTREL_CD_IMAGES", list.c_str(), 1);
        CdInitialize();
    }
    std::vector<std::int64_t> Toc() {
        std::vector<std::int64_t> toc;
        CdReadToc();
        for (int i = 0, n = CdGetTrackCount(); n > 0 && i <= n; ++i)
            toc.push_back(CdGetTocEntry(i));
        return toc;
    }
    std::vector<std::int16_t> ReadRange(int first, int end, const std::atomic<int>* stop = nullptr,
                                        int* blocks = nullptr) {
        int blockBytes = 0;
        EXPECT_EQ(0, CdOpenRange(&blockBytes, first, end));
        std::vector<unsigned char> buf(blockBytes);
        std::vector<std::int16_t> values;
        std::atomic<int> noStop{0};
        int count = 0;
        short lastProgress = 0;
        for (;;) {
            int got = -1;
            const int s = CdReadBlock(buf.data(), &got, stop ? stop : &noStop);
            if (s == 4)
                break;
            EXPECT_NE(1, s);
            EXPECT_LE(got, blockBytes);
            const auto* v = reinterpret_cast<const std::int16_t*>(buf.data());
            values.insert(values.end(), v, v + got / 2);
            const short progress = CdGetProgress();
            EXPECT_GE(progress, lastProgress);
            lastProgress = progress;
            ++count;
            if (stop && stop->load())
                break;
        }
        if (!stop) {
            EXPECT_EQ(100, lastProgress);
        }
        CdCloseRange();
        if (blocks)
            *blocks = count;
        return values;
    }
    fs::path dir_;
};

TEST_F(CdAccessTest, TableOfContentsMatchesCdInfo) {
    const int base = ImageDriveBase();
    // cd-info reads "<cue name>.bin", so this image's data file has that name.
    cdtest::CdImage img = cdtest::WriteImage(dir_.string(), cdtest::MixedDisc(), "disc.bin");
    UseImages(img.cue);
    ASSERT_EQ(base + 1, CdGetDriveCount());
    CdSelectDrive(static_cast<short>(base));
    char name[cdaccess::kDriveNameSize] = "x";
    CdGetDriveName(name);
    EXPECT_EQ("disc.cue (image)", std::string(name));
    ASSERT_EQ(1, CdIsDiscReady());
    EXPECT_EQ(0, CdIsBusy());
    const auto toc = Toc();
    ASSERT_EQ(4u, toc.size());

    // Each "  n: MSF  LSN  type" row of cd-info's track list.
    const std::string info =
        RunCommand("cd-info --no-header --no-device-info --no-cddb --cue-file '" + img.cue + "'");
    std::regex row(R"(^\s*(\d+): \d\d:\d\d:\d\d\s+(\d+) (audio|data|leadout))");
    std::vector<std::smatch> rows;
    std::istringstream lines(info);
    std::string line;
    int i = 0;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (!std::regex_search(line, m, row))
            continue;
        ASSERT_LT(i, 4) << info;
        const std::uint64_t e = static_cast<std::uint64_t>(toc[i]);
        EXPECT_EQ(std::stoul(m[2]), e & 0xFFFFFFFFu) << line;
        EXPECT_EQ(std::stoul(m[1]), (e >> 40) & 0xFF) << line;
        if (m[3] != "leadout") {
            EXPECT_EQ(m[3] == "data", ((e >> 32) & 0x04) != 0) << line;
        }
        EXPECT_EQ(static_cast<std::uint32_t>(img.starts[i]), e & 0xFFFFFFFFu);
        ++i;
    }
    EXPECT_EQ(4, i) << info;
}

TEST_F(CdAccessTest, ImageWhoseFileLineNamesAnotherFile) {
    const int base = ImageDriveBase();
    cdtest::CdImage img = cdtest::WriteImage(dir_.string(), cdtest::MixedDisc(), "tracks_data.img");
    ASSERT_FALSE(fs::exists(dir_ / "disc.bin"));
    UseImages(img.cue);
    CdSelectDrive(static_cast<short>(base));
    ASSERT_EQ(1, CdIsDiscReady());
    const auto toc = Toc();
    ASSERT_EQ(4u, toc.size());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(img.starts[i], static_cast<int>(toc[i] & 0xFFFFFFFF));
    EXPECT_TRUE((toc[1] >> 32) & 0x04);
    EXPECT_FALSE((toc[2] >> 32) & 0x04);

    // Audio reads are exact: the third track's range, pregap of none (its
    // pregap belongs to the range before it).
    int blocks = 0;
    EXPECT_EQ(img.RangeValues(2), ReadRange(img.starts[2], img.starts[3], nullptr, &blocks));
    EXPECT_GT(blocks, 1);
    EXPECT_EQ(img.RangeValues(0), ReadRange(img.starts[0], img.starts[1]));
}

TEST_F(CdAccessTest, DrivesFromTheConfigFileAndMissingImages) {
    const int base = ImageDriveBase();
    cdtest::CdImage img = cdtest::WriteImage(dir_.string(), {{true, 100, 0, 500}});
    fs::create_directories(dir_ / "cfg/Quintrel");
    std::ofstream(dir_ / "cfg/Quintrel/cdimages") << (dir_ / "gone.cue").string() << "\n\n"
                                                  << img.cue << "\n";
    setenv("XDG_CONFIG_HOME", (dir_ / "cfg").c_str(), 1);
    UseImages("");
    ASSERT_EQ(base + 2, CdGetDriveCount());
    CdSelectDrive(static_cast<short>(base));
    EXPECT_EQ(0, CdIsDiscReady());
    EXPECT_TRUE(Toc().empty());
    int blockBytes = 0;
    EXPECT_NE(0, CdOpenRange(&blockBytes, 0, 10));
    CdCloseRange();
    CdSelectDrive(static_cast<short>(base + 1));
    EXPECT_EQ(1, CdIsDiscReady());
    EXPECT_EQ(2u, Toc().size());
    // Image drives have no audio output of their own.
    EXPECT_EQ(cdaccess::kPlayNotStarted, CdPlayTrack(1));
    CdSelectDrive(static_cast<short>(base + 2));
    char name[cdaccess::kDriveNameSize] = "x";
    CdGetDriveName(name);
    EXPECT_STREQ("", name);
    EXPECT_EQ(0, CdIsDiscReady());
}

TEST_F(CdAccessTest, StopFlagEndsAReadWithinOneBlock) {
    const int base = ImageDriveBase();
    cdtest::CdImage img = cdtest::WriteImage(dir_.string(), {{true, 300, 0, 300}});
    UseImages(img.cue);
    CdSelectDrive(static_cast<short>(base));
    std::atomic<int> stop{1};
    int blockBytes = 0;
    ASSERT_EQ(0, CdOpenRange(&blockBytes, 0, 300));
    std::vector<unsigned char> buf(blockBytes);
    int got = -1;
    CdReadBlock(buf.data(), &got, &stop);
    EXPECT_EQ(0, got);
    stop = 0;
    EXPECT_EQ(0, CdReadBlock(buf.data(), &got, &stop));
    EXPECT_EQ(blockBytes, got);
    CdCloseRange();
}

} // namespace
