// The console tool in a new user's hands: runs that would write over their own inputs or over each
// other's outputs, an output folder inside the input folder, failed files that must say why, typing
// mistakes, shell globs, interrupts and several batches at once.
#include "support/run_tessaline.h"

#include "app/instance_guard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

namespace {

using e2e::RunResult;
using e2e::Sandbox;

QByteArray digestOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}

QStringList linesStartingWith(const QStringList& lines, const QString& prefix)
{
    QStringList matching;
    for (const QString& line : lines) {
        if (line.startsWith(prefix)) {
            matching << line;
        }
    }
    return matching;
}

// However the output folder is spelled (through "..", or a symbolic link to the input folder), a
// TIFF-to-TIFF run into the input folder fails the file and keeps the original.
TEST(InputsAreNeverOverwritten, SameFolderTiffRunKeepsTheOriginal)
{
    Sandbox box;
    const QString original = box.writeTiff(QStringLiteral("same/orig.tiff"));
    ASSERT_TRUE(QFile::link(box.path(QStringLiteral("same")), box.path(QStringLiteral("alias"))));
    const QByteArray before = digestOf(original);
    for (const QString& output : {QStringLiteral("same"), QStringLiteral("./same/../same"), QStringLiteral("alias")}) {
        SCOPED_TRACE(output.toStdString());
        const RunResult run =
            box.run({"-i", "same", "-o", output, "-c", "tiff", "--tiff-compression=jpeg", "--threads=1"});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.outLines().contains(QStringLiteral("Conversion stopped")));
        const QStringList errors = linesStartingWith(run.errLines(), QStringLiteral("Error: "));
        ASSERT_EQ(errors.size(), 1) << run.err.toStdString();
        EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Error: ") + original + QStringLiteral(": would overwrite")))
            << errors[0].toStdString();
        EXPECT_EQ(digestOf(original), before);
        EXPECT_EQ(box.filesBelow(QStringLiteral("same")), QStringList{"orig.tiff"}) << "no temporary file is left";
    }
}

// Three inputs that name one output: the first in list order writes it, the two others fail and
// name it, one after the other or converted at once.
TEST(OutputNamesAreTakenOnce, CollidingNamesFailTheLaterFiles)
{
    for (const char* threads : {"--threads=1", "--threads=3"}) {
        SCOPED_TRACE(threads);
        Sandbox box;
        const QString first = box.writeTiff(QStringLiteral("in/a/img.tif"));
        const QString second = box.writeTiff(QStringLiteral("in/b/img.tif"));
        const QString third = box.writeTiff(QStringLiteral("in/img.tiff"));
        box.makeFolder(QStringLiteral("out"));
        const RunResult run = box.run({"-i", "in", "-o", "out", "-c", "png", "--no-subfolders", threads});
        EXPECT_EQ(run.exitCode, 3);
        EXPECT_TRUE(run.outLines().contains(QStringLiteral("Files converted: 1 of 3"))) << run.out.toStdString();
        const QString reason = QStringLiteral(": output name already used by ") + first;
        EXPECT_EQ(run.errLines(), (QStringList{"Error: " + second + reason, "Error: " + third + reason}));
        EXPECT_EQ(box.filesBelow(QStringLiteral("out")), QStringList{"img.png"});
    }
}

TEST(OutputFolderInsideTheInput, IsNotScannedAgain)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("nest/photo.tif"));
    box.makeFolder(QStringLiteral("nest/out"));
    for (int run = 0; run < 3; ++run) {
        EXPECT_EQ(box.run({"-q", "-i", "nest", "-o", "nest/out", "-c", "tiff"}).exitCode, 0);
    }
    EXPECT_EQ(box.filesBelow(QStringLiteral("nest")), (QStringList{"out/photo.tiff", "photo.tif"}));
}

struct FailureCase {
    const char* name;
    QByteArray bytes; // the failing input file
    QStringList options;
    const char* reason;
};

class FailedFile : public testing::TestWithParam<FailureCase> {};

// One "Error: <path>: <reason>" line per failed file, whatever -q or -d say, and the summary of
// standard output as always.
TEST_P(FailedFile, SaysWhyOnStandardError)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("in/good.tif"));
    const QString input = box.writeFile(QStringLiteral("in/bad.tif"), GetParam().bytes);
    box.makeFolder(QStringLiteral("out"));
    for (const QStringList& mode : {QStringList{"-q"}, QStringList{"-d"}, QStringList{}}) {
        const RunResult run = box.run(mode + QStringList{"-i", "in", "-o", "out", "-c", "png"} + GetParam().options);
        EXPECT_EQ(linesStartingWith(run.errLines(), QStringLiteral("Error: ")),
                  QStringList{"Error: " + input + ": " + QString::fromUtf8(GetParam().reason)});
        if (mode.isEmpty()) {
            EXPECT_EQ(run.outLines().last(), QStringLiteral("Files converted: 1 of 2"));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, FailedFile,
    testing::Values(FailureCase{"NotATiff", "just some text", {}, "not a TIFF file"},
                    FailureCase{"Truncated", QByteArray("II*\0\x08\0\0\0\x05\0", 10), {}, "truncated or damaged TIFF"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST(FailedFile, PermissionDeniedIsNamed)
{
    if (geteuid() == 0) {
        GTEST_SKIP() << "root may write anywhere";
    }
    Sandbox box;
    const QString input = box.writeTiff(QStringLiteral("in/a.tif"));
    const QString out = box.makeFolder(QStringLiteral("out"));
    QFile::setPermissions(out, QFile::ReadOwner | QFile::ExeOwner);
    const RunResult run = box.run({"-q", "-i", "in", "-o", "out", "-c", "png"});
    QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.errLines(), QStringList{"Error: " + input + ": permission denied"});
}

// A mask that stays inside the output folder can still be led out of it by a file's name: an
// input named "...tif" makes %filename% "..". The file fails and nothing is written anywhere.
TEST(OutputNamesStayInTheOutputFolder, AFileNameCannotClimbOut)
{
    Sandbox box;
    const QString input = box.writeTiff(QStringLiteral("in/...tif"));
    box.makeFolder(QStringLiteral("out"));
    const RunResult run = box.run({"-q", "-i", input, "-o", "out", "-c", "png", "--filename-mask=%filename%/x.%ext%"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(run.errLines(), QStringList{"Error: " + input + ": output name " + box.path(QStringLiteral("out")) +
                                          "/../x.png would leave the output folder"});
    EXPECT_FALSE(QFileInfo::exists(box.path(QStringLiteral("x.png"))));
    EXPECT_TRUE(box.filesBelow(QStringLiteral("out")).isEmpty());
}

// Typing mistakes keep the run going as before, each named once on standard error.
TEST(TypingMistakes, EachGetsAWarningLine)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("a.tif"));
    box.writeFile(QStringLiteral("p.ini"), "[CLI]\r\n--JPG-QUALTY=80\r\n");
    const RunResult run = box.run({"-q", "-i", "a.tif", "-c", "png", "--widht=100", "--jpg-chroma=hgih", "-c=jpg",
                                   "--threshold=300", "--rotation=400", "--fr-solid-opacity=9x",
                                   "--rotation-back-color=red", "--profile=p.ini", "nothing.tif", "-v"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.errLines(),
              (QStringList{
                  "Warning: unknown option --widht (did you mean --width?)",
                  "Warning: --jpg-chroma=hgih is not one of none, low, medium, high (did you mean high?); using none",
                  "Warning: unknown option -c=jpg (did you mean -c jpg?)",
                  "Warning: --threshold=300 is outside 0..255; used as given",
                  "Warning: --rotation=400 is outside 0..360; used as given",
                  "Warning: --fr-solid-opacity=9x is not a number; using 9",
                  "Warning: --rotation-back-color=red is not a colour of six hexadecimal digits RRGGBB; using black "
                  "(000000)",
                  "Warning: unknown key --JPG-QUALTY in profile p.ini (did you mean --jpg-quality?)",
                  "Warning: nothing.tif is not an option, and no such file or folder; ignored",
                  "Warning: -v acts only as the first parameter; ignored",
              }));
    EXPECT_TRUE(QFileInfo::exists(box.path(QStringLiteral("a.png"))));
}

TEST(TypingMistakes, InvalidConversionTypeListsTheTypes)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("a.tif"));
    const RunResult run = box.run({"-i", "a.tif", "-c", "jpeg"});
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(run.errLines().size(), 2);
    EXPECT_EQ(run.errLines()[0], QStringLiteral("Error: Invalid conversion type"));
    EXPECT_EQ(run.errLines()[1].count(u','), 22) << "the 23 format keys";
    EXPECT_TRUE(run.errLines()[1].contains(QStringLiteral("jpg, jxr")));
}

// A shell glob after -i gives further inputs, collected as lines of a list file would be.
TEST(ShellGlob, EveryMatchIsConverted)
{
    Sandbox box;
    QStringList arguments{"-i"};
    for (const char* name : {"faxes/1.tif", "faxes/2.tif", "faxes/3.tif"}) {
        box.writeTiff(QString::fromLatin1(name));
        arguments << QString::fromLatin1(name);
    }
    box.writeFile(QStringLiteral("more.txt"), "faxes/missing.tif\n");
    const RunResult run = box.run(arguments + QStringList{"more.txt", "-c", "png"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.outLines().contains(QStringLiteral("Files converted: 3 of 3"))) << run.out.toStdString();
    EXPECT_EQ(run.errLines(), QStringList{"Warning: list line names no file or folder: faxes/missing.tif; skipped"});
    EXPECT_EQ(box.filesBelow(QStringLiteral("faxes")).filter(QStringLiteral(".png")).size(), 3);
}

// Two batches at once both run while a windowed instance holds the single-instance lock; a second
// windowed start is still refused.
TEST(SingleInstance, ConsoleRunsNeitherTakeNorHonourTheLock)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("one/a.tif"));
    box.writeTiff(QStringLiteral("two/b.tif"));
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(box.runtimeFolder()));
    InstanceGuard window;
    const bool locked = window.acquire().state == InstanceLock::State::Held;
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
    ASSERT_TRUE(locked);

    auto first = box.start({"-q", "-i", "one", "-c", "png", "--threads=1"});
    auto second = box.start({"-q", "-i", "two", "-c", "png", "--threads=1"});
    EXPECT_EQ(first->finish().exitCode, 0);
    EXPECT_EQ(second->finish().exitCode, 0);
    EXPECT_TRUE(QFileInfo::exists(box.path(QStringLiteral("one/a.png"))));
    EXPECT_TRUE(QFileInfo::exists(box.path(QStringLiteral("two/b.png"))));

    const RunResult windowed = box.run({});
    EXPECT_EQ(windowed.exitCode, 0);
    EXPECT_TRUE(windowed.out.isEmpty()) << "the windowed start ends while the lock is held";
}

} // namespace
