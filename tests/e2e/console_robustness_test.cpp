// The console tool under hostile or unusual input, the single-instance lock, the version and
// usage switches, and the rule that a console run never touches the configuration file.
#include "support/run_tessaline.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

using e2e::RunResult;
using e2e::Sandbox;

TEST(StartSwitches, VersionAndUsage)
{
    Sandbox box;
    for (const char* version : {"-V", "-v", "--VERSION", "--version"}) {
        const RunResult run = box.run({version, "-i", "whatever"});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, QByteArray("2.6\n"));
        EXPECT_TRUE(run.err.isEmpty());
    }
    for (const char* help : {"-H", "-h", "-?", "--HELP", "--help"}) {
        const RunResult run = box.run({help});
        EXPECT_EQ(run.exitCode, 0);
        const QStringList lines = run.outLines();
        ASSERT_EQ(lines.size(), 39) << help;
        EXPECT_EQ(lines[1], QStringLiteral("Usage: tessaline -i <filename> [options]"));
        EXPECT_EQ(lines[8], QStringLiteral("  tessaline -i /tmp/ -o /data/converted -c bmp --jpg-quality=95"));
        EXPECT_EQ(lines[36], QStringLiteral("  -d, --debug               Print debug information to stdout"));
        EXPECT_FALSE(run.out.contains('\r'));
    }
}

TEST(StartSwitches, VersionElsewhereIsIgnored)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("a.tif"));
    const RunResult run = box.run({"-q", "-i", "a.tif", "-v"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(box.path(QStringLiteral("a.bmp"))));
}

TEST(ConfigurationFile, IsNeverReadOrWrittenByAConsoleRun)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("a.tif"));
    box.makeFolder(QStringLiteral("out"));
    // Settings that would change the result if they were read.
    const QString folder = box.configFolder() + QStringLiteral("/Morvane/tessaline");
    QDir().mkpath(folder);
    const QString config = folder + QStringLiteral("/config.ini");
    const QByteArray contents = "\xEF\xBB\xBF\r\n[Output]\r\nFormat = jpg\r\nBMP BPP = 1\r\n[Advanced]\r\n"
                                "Filename Mask = from-config-%filename%.%ext%\r\nKeep Subfolders = 0\r\n";
    {
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    const QDateTime modified = QFileInfo(config).lastModified();

    const RunResult run = box.run({"-d", "-i", "a.tif", "-o", "out"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_TRUE(run.outLines().contains("BMP BPP: 0"));
    EXPECT_TRUE(run.outLines().contains("Filename Mask: %filename%.%ext%"));
    EXPECT_EQ(box.filesBelow(QStringLiteral("out")), QStringList{"a.bmp"});

    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), contents);
    EXPECT_EQ(QFileInfo(config).lastModified(), modified);
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"config.ini"});

    // Without a configuration nothing is created either.
    Sandbox clean;
    clean.writeTiff(QStringLiteral("a.tif"));
    EXPECT_EQ(clean.run({"-q", "-i", "a.tif"}).exitCode, 0);
    EXPECT_TRUE(QDir(clean.configFolder()).isEmpty());
}

TEST(BadInput, ThreeHundredParameters)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("a.tif"));
    QStringList arguments{"-i", "a.tif"};
    while (arguments.size() < 300) {
        arguments << QStringLiteral("--greyscale");
    }
    const RunResult run = box.run(arguments);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errLines(), (QStringList{"Error: Too many parameters (at most 128)",
                                           "  300 parameters were given; name the files in a list file (-i files.lst, "
                                           "one path per line) or give their folder"}));
    EXPECT_FALSE(QFileInfo::exists(box.path(QStringLiteral("a.bmp"))));
}

TEST(BadInput, LargestParameterTheSystemPasses)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("a.tif"));
    // Linux caps one parameter at 128 KiB; larger values (up to 10 MB) are covered in-process and
    // through a profile below.
    const QString text(128 * 1024 - 32, u'w');
    RunResult run = box.run({"-q", "-d", "-i", "a.tif", "-c", "png", "--wm-text=" + text, "--wm-font=Arial"});
    EXPECT_EQ(run.exitCode, 0) << run.err.left(200).constData();
    EXPECT_TRUE(run.outLines().contains("Watermark text: " + text));

    run = box.run({"-i", QString(128 * 1024 - 32, u'x') + ".tif"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errLines().value(0), QStringLiteral("Error: Invalid input file"));
    EXPECT_EQ(run.errLines().size(), 2);
}

// An output name far beyond what the file system takes fails that file; the run reports it and
// the process neither crashes nor leaves anything behind.
TEST(BadInput, OutputNamesTooLongForTheFileSystem)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("a.tif"));
    box.writeFile(QStringLiteral("big.ini"), "[CLI]\n--FILENAME-MASK=" + QByteArray(10 * 1024 * 1024, 'm') + "\n");
    const QStringList cases[] = {
        {"--filename-mask=" + QString(300, u'm')},
        {"--filename-mask=" + QString(600, u'm')},
        {"--profile=big.ini"},
    };
    for (const QStringList& options : cases) {
        const RunResult run = box.run(QStringList{"-q", "-i", "a.tif", "-c", "png"} + options);
        EXPECT_EQ(run.signal, 0) << options.first().left(40).toStdString();
        EXPECT_EQ(run.exitCode, 2) << options.first().left(40).toStdString();
        EXPECT_EQ(run.outLines(), QStringList{"Conversion stopped"});
        EXPECT_EQ(box.filesBelow(QString()), (QStringList{"a.tif", "big.ini"}));
    }
}

TEST(BadInput, ParametersThatAreNotUtf8)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("a.tif"));
    RunResult run = box.runBytes({"-i", "caf\xE9\xFF.tif"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errLines().value(0), QStringLiteral("Error: Invalid input file"));
    EXPECT_TRUE(run.errLines().value(1).endsWith(u".tif does not exist")) << run.err.constData();

    run = box.runBytes({"-i", "a.tif", "-c", "pn\xC3"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errLines().value(0), QStringLiteral("Error: Invalid conversion type"));

    run = box.runBytes({"-q", "-d", "-i", "a.tif", "-c", "png", "--wm-text=\x80\x81", "--wm-font=Arial", "--\xFE\xFF"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_TRUE(run.outLines().contains(QStringLiteral("Watermark text: \uFFFD\uFFFD")));
}

TEST(BadInput, ProfileOfRandomBytes)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("a.tif"));
    QByteArray bytes(256 * 1024, '\0');
    QRandomGenerator random(2026);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    box.writeFile(QStringLiteral("random.ini"), bytes);
    box.writeFile(QStringLiteral("random-cli.ini"), "[CLI]\n" + bytes);

    for (const char* profile : {"--profile=random.ini", "--profile=random-cli.ini"}) {
        const RunResult run = box.run({"-q", "-i", "a.tif", "-c", "png", profile});
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.signal, 0);
        EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.exitCode;
        if (run.exitCode == 1) {
            // The error line and the line that says why.
            EXPECT_EQ(run.errLines().size(), 2);
            EXPECT_TRUE(run.errLines().value(0).startsWith(u"Error: "));
            EXPECT_TRUE(run.errLines().value(1).startsWith(u"  "));
        }
    }
}

TEST(BadInput, ListOfTenThousandMissingFiles)
{
    Sandbox box;
    QByteArray list;
    for (int i = 0; i < 10000; ++i) {
        list += "/no/such/folder/scan-" + QByteArray::number(i) + ".tif\n";
    }
    box.writeFile(QStringLiteral("missing.txt"), list);
    const RunResult run = box.run({"-i", "missing.txt"}, {.timeoutMs = 60000});
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.outLines().mid(4),
              (QStringList{"Preparing...", "Importing...", "Import complete, new files added: 0", "Conversion stopped",
                           "No input file(s) found. Please, add valid file(s) and try again!",
                           "  no line of missing.txt names a .tif or .tiff file with content, or a folder holding one"}));
}

TEST(Folders, RelativeFoldersAreTakenFromTheCurrentFolder)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("project/in/a.tif"));
    box.makeFolder(QStringLiteral("project/out"));
    const RunResult run = box.run({"-q", "-d", "-i", "./in", "-o", "out", "-c", "png"},
                                  {.workingDirectory = box.path(QStringLiteral("project"))});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_TRUE(run.outLines().contains("Saving As: " + box.path(QStringLiteral("project/out/a.png"))));
    EXPECT_TRUE(QFileInfo::exists(box.path(QStringLiteral("project/out/a.png"))));
}

} // namespace
