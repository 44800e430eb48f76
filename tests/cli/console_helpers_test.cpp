#include "cli/progress_line.h"
#include "engine/run/run_checks.h"

#include <gtest/gtest.h>

namespace {

struct ExtensionCase {
    const char* value;
    bool file;
};

class InputKind : public testing::TestWithParam<ExtensionCase> {};

TEST_P(InputKind, HasAnExtensionRule)
{
    EXPECT_EQ(hasExtension(QString::fromUtf8(GetParam().value)), GetParam().file) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Values, InputKind,
                         testing::Values(ExtensionCase{"a.tif", true}, ExtensionCase{"/x/list.txt", true},
                                         ExtensionCase{"photos.2019", true}, ExtensionCase{"/x/photos.2019/", false},
                                         ExtensionCase{"/x/y.z/photos", false}, ExtensionCase{".hidden", false},
                                         ExtensionCase{"a. tif", false}, ExtensionCase{"tmp", false},
                                         ExtensionCase{".", false}, ExtensionCase{"..", true},
                                         ExtensionCase{"", false}));

struct FolderCase {
    const char* folder;
    const char* complete;
};

class ConsoleFolders : public testing::TestWithParam<FolderCase> {};

TEST_P(ConsoleFolders, AreCompletedAgainstTheCurrentFolder)
{
    EXPECT_EQ(completeConsoleFolder(QString::fromUtf8(GetParam().folder), QStringLiteral("/home/u")),
              QString::fromUtf8(GetParam().complete));
}

INSTANTIATE_TEST_SUITE_P(Values, ConsoleFolders,
                         testing::Values(FolderCase{"/data/in", "/data/in/"}, FolderCase{"/data/in/", "/data/in/"},
                                         FolderCase{"in", "/home/u/in/"}, FolderCase{"./in", "/home/u/in/"},
                                         FolderCase{".", "/home/u/"}, FolderCase{"", "/home/u/"},
                                         FolderCase{"../in", ""}, FolderCase{"..", ""},
                                         FolderCase{"a/../b", "/home/u/a/../b/"}));

TEST(ConsoleFolders, FolderPartKeepsTheSlash)
{
    EXPECT_EQ(folderPart(QStringLiteral("/a/b/c.tif")), QStringLiteral("/a/b/"));
    EXPECT_EQ(folderPart(QStringLiteral("c.tif")), QString());
    EXPECT_EQ(folderPart(QStringLiteral("sub/c.tif")), QStringLiteral("sub/"));
}

TEST(ProgressLine, FitsTheTerminalAndKeepsBothEndsOfTheName)
{
    EXPECT_EQ(progressText(QStringLiteral("Converting"), 3, 10, QStringLiteral("/in/scan-0003.tif"), 75, 80),
              QStringLiteral("Converting 3/10  01:15  scan-0003.tif"));
    EXPECT_EQ(progressText(QStringLiteral("Importing"), 7, 0, QString(), 5, 80), QStringLiteral("Importing 7  00:05"));

    const QString name = QStringLiteral("a-very-long-file-name-of-a-scanned-page-0042.tif");
    const QString shortened = progressText(QStringLiteral("Converting"), 1, 2, QStringLiteral("/x/") + name, 0, 40);
    EXPECT_LE(shortened.size(), 39);
    EXPECT_TRUE(shortened.startsWith(QStringLiteral("Converting 1/2  00:00  a-very")));
    EXPECT_TRUE(shortened.endsWith(QStringLiteral("042.tif")));
    EXPECT_TRUE(shortened.contains(QChar(0x2026)));

    EXPECT_LE(progressText(QStringLiteral("Converting"), 100000, 100000, name, 99999, 10).size(), 9);
    EXPECT_TRUE(progressText(QStringLiteral("Converting"), 1, 1, name, 0, 0).isEmpty());
}

} // namespace
