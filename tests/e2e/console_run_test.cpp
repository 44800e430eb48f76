// End-to-end runs of the console tool: real files in, real files out, through the executable.
#include "support/run_tessaline.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <tiffio.h>

#include <gtest/gtest.h>

namespace {

using e2e::RunResult;
using e2e::Sandbox;

const QStringList banner{"Tessaline 2.6", "Copyright (c) Morvane. All rights reserved.", "http://www.morvane.example",
                         " "};

QStringList withBanner(const QStringList& lines)
{
    return banner + lines;
}

class ConsoleRun : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(box.isValid()); }
    Sandbox box;
};

TEST_F(ConsoleRun, SingleFile)
{
    box.writeTiff(QStringLiteral("in/photo.tif"));
    box.makeFolder(QStringLiteral("out"));
    const RunResult run = box.run({"-i", "in/photo.tif", "-o", "out", "-c", "png"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.outLines(), withBanner({"Preparing...", "Importing...", "Import complete, new files added: 1",
                                          "Converting...", "Conversion complete", "Files converted: 1 of 1"}));
    EXPECT_TRUE(run.err.isEmpty()) << run.err.constData();
    EXPECT_EQ(box.filesBelow(QStringLiteral("out")), QStringList{"photo.png"});
    EXPECT_TRUE(QFile(box.path(QStringLiteral("out/photo.png"))).size() > 0);
}

TEST_F(ConsoleRun, BareFileNameWritesIntoTheCurrentFolder)
{
    box.writeTiff(QStringLiteral("photo.tif"));
    const RunResult run = box.run({"-q", "-i", "photo.tif", "-c", "jpg"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_TRUE(QFileInfo::exists(box.path(QStringLiteral("photo.jpg"))));
}

TEST_F(ConsoleRun, ListFile)
{
    const QString a = box.writeTiff(QStringLiteral("scans/a.tif"));
    const QString b = box.writeTiff(QStringLiteral("scans/deep/b.TIFF"));
    box.writeFile(QStringLiteral("scans/c.png"), "not a tiff");
    box.makeFolder(QStringLiteral("out"));
    box.writeFile(QStringLiteral("files.lst"), "\xEF\xBB\xBF" + a.toUtf8() + "\r\n\r\n  " + b.toUtf8() +
                                                   "  \r\n/no/such/file.tif\r\n" + box.path("scans/c.png").toUtf8());
    const RunResult run = box.run({"-i", "files.lst", "-o", "out", "-c", "bmp"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_TRUE(run.outLines().contains("Import complete, new files added: 2"));
    EXPECT_TRUE(run.outLines().contains("Files converted: 2 of 2"));
    EXPECT_EQ(box.filesBelow(QStringLiteral("out")), (QStringList{"a.bmp", "b.bmp"}));
}

TEST_F(ConsoleRun, FolderTreeKeepsItsSubfolders)
{
    box.writeTiff(QStringLiteral("in/a.tif"));
    box.writeTiff(QStringLiteral("in/2019/May/b.tif"));
    box.writeTiff(QStringLiteral("in/2019/c.tiff"));
    box.writeFile(QStringLiteral("in/notes.txt"), "ignored");
    box.writeFile(QStringLiteral("in/empty.tif"), "");
    box.makeFolder(QStringLiteral("in/nothing"));
    box.makeFolder(QStringLiteral("out"));

    RunResult run = box.run({"-i", "in", "-o", "out", "-c", "png"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_TRUE(run.outLines().contains("Files converted: 3 of 3"));
    EXPECT_EQ(box.filesBelow(QStringLiteral("out")), (QStringList{"2019/May/b.png", "2019/c.png", "a.png"}));

    box.makeFolder(QStringLiteral("flat"));
    run = box.run({"-q", "-i", "./in/", "-o", box.path(QStringLiteral("flat")), "-c", "png", "--no-subfolders"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(box.filesBelow(QStringLiteral("flat")), (QStringList{"a.png", "b.png", "c.png"}));
}

TEST_F(ConsoleRun, FolderWithoutOutputWritesBesideTheInput)
{
    box.writeTiff(QStringLiteral("in/a.tif"));
    const RunResult run = box.run({"-q", "-i", "in", "-c", "gif"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(box.filesBelow(QStringLiteral("in")), (QStringList{"a.gif", "a.tif"}));
}

TEST_F(ConsoleRun, MultiPageFileGivesOneFilePerPage)
{
    box.writeTiff(QStringLiteral("doc.tif"), 3);
    box.makeFolder(QStringLiteral("out"));
    RunResult run = box.run({"-q", "-i", "doc.tif", "-o", "out", "-c", "png"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(box.filesBelow(QStringLiteral("out")).size(), 3) << box.filesBelow("out").join(u' ').toStdString();

    box.makeFolder(QStringLiteral("last"));
    run = box.run({"-q", "-i", "doc.tif", "-o", "last", "-c", "png", "--tiff-frame-loading=last"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(box.filesBelow(QStringLiteral("last")).size(), 1);
}

TEST_F(ConsoleRun, ProfileOverridesEarlierOptionsAndIsOverriddenByLaterOnes)
{
    box.writeTiff(QStringLiteral("a.tif"));
    box.makeFolder(QStringLiteral("out"));
    box.writeFile(QStringLiteral("my profile.ini"),
                  "[CLI]\r\n--JPG-QUALITY = 40\r\n--FILENAME-MASK = \"p-%filename%.%ext%\"\r\n"
                  "--FLIP-VERTICAL = 0\r\n");
    const auto quality = [](const RunResult& run) {
        for (const QString& line : run.outLines()) {
            if (line.startsWith(u"JPG Quality: ")) {
                return line;
            }
        }
        return QString();
    };
    RunResult run = box.run(
        {"-q", "-d", "-i", "a.tif", "-o", "out", "-c", "jpg", "--jpg-quality=90", "--profile=\"my", "profile.ini\""});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(quality(run), QStringLiteral("JPG Quality: 40"));
    EXPECT_TRUE(run.outLines().contains("Flip Vertical: 1"));
    EXPECT_TRUE(QFileInfo::exists(box.path(QStringLiteral("out/p-a.jpg"))));

    run = box.run({"-q", "-d", "-i", "a.tif", "-o", "out", "-c", "jpg", "--profile=my profile.ini", "--jpg-quality=90",
                   "--filename-mask=q-%filename%.%ext%"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(quality(run), QStringLiteral("JPG Quality: 90"));
    EXPECT_TRUE(QFileInfo::exists(box.path(QStringLiteral("out/q-a.jpg"))));
}

TEST_F(ConsoleRun, QuietWritesNothingOnSuccess)
{
    box.writeTiff(QStringLiteral("a.tif"));
    const RunResult run = box.run({"-q", "-i", "a.tif", "-c", "tga"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.isEmpty()) << run.out.constData();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.constData();
}

TEST_F(ConsoleRun, PauseWithoutATerminalDoesNotWait)
{
    box.writeTiff(QStringLiteral("a.tif"));
    const RunResult run = box.run({"-q", "-p", "-i", "a.tif", "-c", "png"}, {.timeoutMs = 30000});
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.outLines(), QStringList{"Press any key to exit."});
}

TEST_F(ConsoleRun, DebugEchoOfAPngRun)
{
    box.writeTiff(QStringLiteral("in/a.tif"));
    box.makeFolder(QStringLiteral("out"));
    const RunResult run = box.run({"-d", "-i", "in/a.tif", "-o", "out", "-c", "png", "--png-compression=zlib1"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(run.outLines(), withBanner({"Preparing...",
                                          "Input: in/a.tif",
                                          "Output: out",
                                          "Conversion: png",
                                          "TIFF Frame Loading: all",
                                          "PNG BPP: 0",
                                          "PNG Compression: zlib1",
                                          "PNG Interlaced: 0",
                                          "Flip Horizontal: 0",
                                          "Flip Vertical: 0",
                                          "Greyscale: 0",
                                          "Frame: none",
                                          "Watermark: none",
                                          "Filename Mask: %filename%.%ext%",
                                          "File Timestamp: current",
                                          "Keep Subfolders: 1",
                                          "Importing...",
                                          "Import complete, new files added: 1",
                                          "Converting...",
                                          "Processing: in/a.tif",
                                          "Saving As: " + box.path(QStringLiteral("out/a.png")),
                                          "OK",
                                          "Conversion complete",
                                          "Files converted: 1 of 1"}));
}

TEST_F(ConsoleRun, DebugEchoOfATiffRunWithEveryStep)
{
    box.writeTiff(QStringLiteral("in/a.tif"));
    const RunResult run = box.run({"-q",
                                   "-d",
                                   "-i",
                                   "in",
                                   "-c",
                                   "tiff",
                                   "--tiff-compression=DEFLATE",
                                   "--tiff-bpp=24",
                                   "--rotation=90",
                                   "--width=50",
                                   "--height-unit=percent",
                                   "--height=50",
                                   "--keep-aspect-ratio",
                                   "--resize-algorithm=lanczos",
                                   "--flip-vertical",
                                   "--brightness=-5",
                                   "--contrast=7",
                                   "--gamma=1.2",
                                   "--invert",
                                   "--greyscale",
                                   "--threshold=100",
                                   "--fr-solid-left=3",
                                   "--fr-solid-top-color=FF0000",
                                   "--fr-solid-opacity=128",
                                   "--file-timestamp=custom",
                                   "--file-timestamp-custom=86400",
                                   "--filename-mask=%filename%-t.%ext%"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    const QString folder = box.path(QStringLiteral("in/"));
    EXPECT_EQ(run.outLines(), (QStringList{"Input: in",
                                           "Output: " + folder,
                                           "Conversion: tiff",
                                           "TIFF Frame Loading: all",
                                           "TIFF BPP: 24",
                                           "TIFF Compression: deflate",
                                           "TIFF Color Model: rgb",
                                           "Image Rotation Type: simple",
                                           "Image Rotation: 90",
                                           "Image Rotation Back Color: 000000",
                                           "Width: 50 pixels",
                                           "Height: 50 percent",
                                           "Keep Aspect Ratio: 1",
                                           "Image Resize Type: allimages",
                                           "Image Resize Algorithm: lanczos",
                                           "Flip Horizontal: 0",
                                           "Flip Vertical: 1",
                                           "Brightness: -5",
                                           "Contrast: 7",
                                           "Gamma: 1.20",
                                           "Invert: 1",
                                           "Greyscale: 1",
                                           "Image Threshold: 100",
                                           "Frame: solid",
                                           "Frame left: 3",
                                           "Frame right: 0",
                                           "Frame top: 0",
                                           "Frame bottom: 0",
                                           "Frame left color: 000000",
                                           "Frame right color: 000000",
                                           "Frame top color: FF0000",
                                           "Frame bottom color: 000000",
                                           "Frame opacity: 128",
                                           "Watermark: none",
                                           "Filename Mask: %filename%-t.%ext%",
                                           "File Timestamp: custom",
                                           "Custom Timestamp: 86400",
                                           "Keep Subfolders: 1",
                                           "Processing: " + folder + "a.tif",
                                           "Saving As: " + folder + "a-t.tiff",
                                           "OK"}));
    // The custom time is local wall-clock time: 1970-01-02 00:00 here.
    const QDateTime modified = QFileInfo(folder + "a-t.tiff").lastModified();
    EXPECT_EQ(modified, QDateTime(QDate(1970, 1, 2), QTime(0, 0), Qt::LocalTime));
}

TEST_F(ConsoleRun, WatermarkAndFrameRunWithoutADisplay)
{
    box.writeTiff(QStringLiteral("a.tif"));
    box.makeFolder(QStringLiteral("out"));
    const RunResult run = box.run(
        {"-q", "-i", "a.tif", "-o", "out", "-c", "png", "--wm-text=Hello", "--wm-font=Arial", "--fr-solid-left=2"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(box.filesBelow(QStringLiteral("out")), QStringList{"a.png"});
}

TEST_F(ConsoleRun, EmptyInputStopsEvenWhenQuiet)
{
    box.makeFolder(QStringLiteral("empty"));
    box.writeFile(QStringLiteral("picture.png"), "png bytes");
    box.writeFile(QStringLiteral("nothing.txt"), "\n/missing/a.tif\n\n");
    // The line after the message says what was looked at and which files are taken.
    const std::pair<QString, QString> inputs[] = {
        {QStringLiteral("empty"), "  no .tif or .tiff file with content in " + box.path("empty") + " or its subfolders"},
        {QStringLiteral("picture.png"), QStringLiteral("  only .tif and .tiff files are converted; picture.png is not one")},
        {QStringLiteral("nothing.txt"), QStringLiteral("  no line of nothing.txt names a .tif or .tiff file with "
                                                       "content, or a folder holding one")},
    };
    for (const auto& [input, detail] : inputs) {
        const RunResult run = box.run({"-q", "-i", input});
        EXPECT_EQ(run.exitCode, 2) << input.toStdString();
        EXPECT_EQ(run.outLines(),
                  (QStringList{"Conversion stopped", "No input file(s) found. Please, add valid file(s) and try again!",
                               detail}));
        const QStringList warnings =
            input == u"nothing.txt"
                ? QStringList{QStringLiteral("Warning: list line names no file or folder: /missing/a.tif; skipped")}
                : QStringList{};
        EXPECT_EQ(run.errLines(), warnings);
    }
}

TEST_F(ConsoleRun, NoFileConvertedAndSomeFilesConverted)
{
    box.writeFile(QStringLiteral("in/broken.tif"), "II*\0 this is not a tiff");
    box.makeFolder(QStringLiteral("out"));
    RunResult run = box.run({"-i", "in", "-o", "out"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.outLines().mid(4), (QStringList{"Preparing...", "Importing...", "Import complete, new files added: 1",
                                                  "Converting...", "Conversion stopped"}));
    EXPECT_TRUE(box.filesBelow(QStringLiteral("out")).isEmpty());

    box.writeTiff(QStringLiteral("in/good.tif"));
    run = box.run({"-d", "-i", "in", "-o", "out"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.outLines().contains("Not OK"));
    EXPECT_TRUE(run.outLines().contains("Files converted: 1 of 2"));
    EXPECT_EQ(box.filesBelow(QStringLiteral("out")), QStringList{"good.bmp"});
}

TEST_F(ConsoleRun, InterruptStopsAfterTheFileInHand)
{
    for (int i = 0; i < 20; ++i) {
        box.writeTiff(QStringLiteral("in/page%1.tif").arg(i, 2, 10, QLatin1Char('0')));
    }
    box.makeFolder(QStringLiteral("out"));
    // Large pages and two workers, so that the run is still busy when the interrupt arrives.
    auto running = box.start({"-d", "-i", "in", "-o", "out", "-c", "png", "--width=2500", "--height=2500",
                              "--resize-algorithm=lanczos", "--threads=2"});
    ASSERT_TRUE(running->waitForOutput("Processing: "));
    running->interrupt();
    const RunResult run = running->finish(120000);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exitCode, 130) << "128 + SIGINT, after the summary";
    const QStringList written = box.filesBelow(QStringLiteral("out"));
    EXPECT_GE(written.size(), 1);
    EXPECT_LT(written.size(), 20);
    EXPECT_TRUE(run.outLines().contains(QStringLiteral("Files converted: %1 of 20").arg(written.size())));
    for (const QString& file : written) {
        EXPECT_TRUE(file.endsWith(u".png")) << "no temporary file is left: " << file.toStdString();
    }
}

// What the bundled samples promise: every sample, every page, converted, and no two pages alike, so
// a page taken for another shows.
TEST_F(ConsoleRun, EverySampleConverts)
{
    const QDir samples(QStringLiteral(TESSALINE_SOURCE_DIR "/samples"));
    int pages = 0;
    for (const QFileInfo& sample : samples.entryInfoList({"*.tif", "*.tiff"}, QDir::Files)) {
        TIFF* tiff = TIFFOpen(QFile::encodeName(sample.filePath()).constData(), "r");
        ASSERT_NE(tiff, nullptr);
        pages += TIFFNumberOfDirectories(tiff);
        TIFFClose(tiff);
    }
    ASSERT_GT(pages, 0);
    box.makeFolder(QStringLiteral("out"));
    const RunResult run = box.run({"-i", samples.path(), "-o", "out", "-c", "png"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    const QStringList written = box.filesBelow(QStringLiteral("out"));
    EXPECT_EQ(written.size(), pages);
    QSet<QByteArray> contents;
    for (const QString& name : written) {
        QFile file(box.path(QStringLiteral("out/") + name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        contents.insert(file.readAll());
    }
    EXPECT_EQ(contents.size(), written.size());
}

} // namespace
