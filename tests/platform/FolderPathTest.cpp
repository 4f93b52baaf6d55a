#include "FolderPath.h"
#include "Recorders.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace platform;
using testing_support::MessageRecorder;

TEST(FolderPath, FolderNames) {
    struct Case {
        const char* name;
        bool valid;
    };
    const Case cases[] = {
        {"Music", true}, {"a b", true},  {"a.b", true},   {"", false},    {" a", false},
        {"a ", false},   {"\ta", false}, {".b", false},   {"b.", false},  {"..", false},
        {"a\"b", false}, {"a*b", false}, {"a/b", false},  {"a:b", false}, {"a<b", false},
        {"a>b", false},  {"a?b", false}, {"a\\b", false}, {"a|b", false}, {"Ünïcode", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidFolderName(QString::fromUtf8(c.name)), c.valid) << c.name;
}

TEST(FolderPath, DriveFormCheckOnly) {
    struct Case {
        const char* path;
        int result;
    };
    const Case cases[] = {
        {"D:\\", 0},      {"d:\\Music", 0}, {"D:\\a b\\c", 0}, {"D:\\Music\\", 1}, {"D:\\a\\.b", 1},
        {"D:\\a\\b.", 1}, {"Music", 1},     {"\\Music", 1},    {"D:", 1},          {"", 1},
        {"1:\\Music", 1}, {"D:/Music", 1},  {"D:\\a\\\\b", 1}, {"D:\\a|b", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckFolderPath(QString::fromUtf8(c.path), true, PathForm::Drive), c.result)
            << c.path;
    EXPECT_EQ(CheckFolderPath(QStringLiteral("D:\\") + QString(256, QLatin1Char('a')), true,
                              PathForm::Drive),
              0);
    EXPECT_EQ(CheckFolderPath(QStringLiteral("D:\\") + QString(257, QLatin1Char('a')), true,
                              PathForm::Drive),
              1);
}

TEST(FolderPath, PosixFormCheckOnly) {
    struct Case {
        const char* path;
        int result;
    };
    const Case cases[] = {
        {"/", 0},     {"/home", 0}, {"/a b/c", 0},    {"/Music/", 1}, {"/a/.b", 1},
        {"/a/b.", 1}, {"Music", 1}, {"./Music", 1},   {"", 1},        {"//Music", 1},
        {"/a//b", 1}, {"/a/b ", 1}, {"C:\\Music", 1}, {"/a:b", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckFolderPath(QString::fromUtf8(c.path), true, PathForm::Posix), c.result)
            << c.path;
    EXPECT_EQ(CheckFolderPath(QStringLiteral("/") + QString(4096, QLatin1Char('a')), true), 1);
}

TEST(FolderPath, CreateModeMakesEveryLevel) {
    QTemporaryDir tmp;
    const QString deep = tmp.path() + QStringLiteral("/new/deeper");
    EXPECT_EQ(CheckFolderPath(deep, false), 0);
    EXPECT_TRUE(QFileInfo(deep).isDir());
    // A file standing where a level should be cannot be turned into a folder.
    QFile f(tmp.path() + QStringLiteral("/file"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(CheckFolderPath(tmp.path() + QStringLiteral("/file/sub"), false), 2);
    EXPECT_EQ(CheckFolderPath(QStringLiteral("/"), false), 0);
}

TEST(CheckOutputFolder, ExistingFolderPassesWithoutQuestion) {
    MessageRecorder messages;
    QTemporaryDir tmp;
    EXPECT_EQ(CheckOutputFolder(tmp.path()), 0);
    EXPECT_EQ(CheckOutputFolder(QStringLiteral("/")), 0);
    EXPECT_TRUE(messages.shown.empty());
}

TEST(CheckOutputFolder, MalformedPathIsReported) {
    MessageRecorder messages;
    EXPECT_EQ(CheckOutputFolder(QStringLiteral("Music")), 1);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("The output folder:\n\nMusic\n\nis invalid or not specified!"));
    EXPECT_EQ(messages.shown[0].caption, QString()); // the application title
    EXPECT_EQ(messages.shown[0].icon, Icon::Warning);
}

TEST(CheckOutputFolder, MissingFolderAsksOnceThenCreatesEveryLevel) {
    MessageRecorder messages;
    QTemporaryDir tmp;
    const QString deep = tmp.path() + QStringLiteral("/new/deeper");
    EXPECT_EQ(CheckOutputFolder(deep), 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("The output folder you selected:\n\n%1\n\ndoesn't exist, do you "
                             "want to create it?")
                  .arg(deep));
    EXPECT_EQ(messages.shown[0].icon, Icon::Question);
    EXPECT_EQ(messages.shown[0].buttons, Buttons::YesNo);
    EXPECT_TRUE(QFileInfo(deep).isDir());
}

TEST(CheckOutputFolder, DecliningCreatesNothing) {
    MessageRecorder messages;
    messages.Answer(IDNO);
    QTemporaryDir tmp;
    const QString path = tmp.path() + QStringLiteral("/new");
    EXPECT_EQ(CheckOutputFolder(path), -1);
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(CheckOutputFolder, LevelThatCannotBeCreatedIsReported) {
    MessageRecorder messages;
    QTemporaryDir tmp;
    QFile f(tmp.path() + QStringLiteral("/file"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const QString path = tmp.path() + QStringLiteral("/file/sub");
    EXPECT_EQ(CheckOutputFolder(path), 2);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text,
              QStringLiteral("The output folder you selected:\n\n%1\n\ncan't be created! Please "
                             "select a new one.")
                  .arg(path));
    EXPECT_EQ(messages.shown[1].icon, Icon::Warning);
}
