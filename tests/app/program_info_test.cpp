#include "app/program_info.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

namespace {

struct VersionCase {
    int version;
    const char* text;
};

void PrintTo(const VersionCase& c, std::ostream* out)
{
    *out << c.version << " -> " << c.text;
}

class VersionTextCases : public testing::TestWithParam<VersionCase> {};

TEST_P(VersionTextCases, InsertsDotsAndDropsATrailingZeroPatch)
{
    EXPECT_EQ(versionText(GetParam().version).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionTextCases,
                         testing::Values(VersionCase{260, "2.6"}, VersionCase{261, "2.6.1"}, VersionCase{100, "1.0"},
                                         VersionCase{305, "3.0.5"}, VersionCase{999, "9.9.9"},
                                         VersionCase{200, "2.0"}));

TEST(ProgramInfo, TitleIsTheNameAndTheVersionText)
{
    EXPECT_EQ(programVersion, 260);
    EXPECT_EQ(programTitle().toStdString(), "Tessaline 2.6");
}

TEST(ProgramInfo, ProgramFolderIsTheRunningExecutablesFolderWithATrailingSlash)
{
    const QString folder = programFolder();
    ASSERT_TRUE(folder.endsWith(QLatin1Char('/')));
    const std::filesystem::path executable = std::filesystem::canonical("/proc/self/exe");
    EXPECT_EQ(folder.toStdString(), executable.parent_path().string() + '/');
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder.toStdString()) / executable.filename()));
}

// Data beside the executable wins (the build tree); otherwise the installed layout, found from the
// program's folder alone, so an installed tree can be moved as a whole.
TEST(ProgramInfo, DataFolderIsBesideTheProgramOrInTheInstalledShareFolder)
{
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath("usr/bin") && QDir(root.path()).mkpath("usr/share/tessaline/gfx"));
    EXPECT_EQ(dataFolderFor(root.path() + "/usr/bin/").toStdString(),
              (root.path() + "/usr/share/tessaline/").toStdString());

    ASSERT_TRUE(QDir(root.path()).mkpath("build/gfx"));
    EXPECT_EQ(dataFolderFor(root.path() + "/build/").toStdString(), (root.path() + "/build/").toStdString());
}

} // namespace
