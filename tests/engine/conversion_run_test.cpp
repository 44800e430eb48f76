#include "engine/formats/format_catalogue.h"
#include "engine/run/conversion_run.h"
#include "engine/steps/watermark.h"
#include "support/gui_app.h"
#include "support/malformed_tiffs.h"
#include "support/tiff_fixtures.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <FreeImage.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>
#include <vector>

// Readable QString values in failure messages.
static void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

timespec modificationTime(const QString& path)
{
    struct stat info {};
    EXPECT_EQ(stat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info.st_mtim;
}

void setModificationTime(const QString& path, time_t seconds)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

bool isPng(const QString& path)
{
    return FreeImage_GetFileType(QFile::encodeName(path).constData(), 0) == FIF_PNG;
}

// A temporary input and output folder, console-style job and settings for PNG output.
class ConversionRun : public testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        resetToDefaults(settings, true);
        job.consoleRun = 1;
        job.outputFolder = path("out/");
        job.outputKey = QStringLiteral("png");
        ASSERT_TRUE(QDir().mkpath(job.outputFolder));
        ASSERT_TRUE(prepareRun(settings, job));
    }

    QString path(const QString& relative) const { return dir.path() + QLatin1Char('/') + relative; }

    void makeInput(const QString& relative, int pages = 1)
    {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        ASSERT_TRUE(fixtures::writeTiff(path(relative), fixtures::PageKind::Rgb24, 8, 6, pages));
    }

    void makeGarbage(const QString& relative)
    {
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("this is not an image");
    }

    // Runs the worker over the list as a starter does; returns the debug lines it wrote.
    std::vector<QString> run(const std::function<void(const QString&)>& onLine = {}, int workerCount = 1,
                             const WatermarkAssets* watermark = nullptr)
    {
        std::vector<QString> lines;
        RunContext context{settings, job, watermark};
        context.debugLine = [&](const QString& line) {
            lines.push_back(line);
            if (onLine) {
                onLine(line);
            }
        };
        progress.start();
        conversionWorker(context, list, progress, workerCount);
        return lines;
    }

    QStringList filesBelow(const QString& folder) const
    {
        QStringList found;
        const QDir root(folder);
        std::function<void(const QString&)> walk = [&](const QString& sub) {
            const QDir d(folder + sub);
            for (const QFileInfo& info : d.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name)) {
                if (info.isDir()) {
                    walk(sub + info.fileName() + QLatin1Char('/'));
                } else {
                    found << sub + info.fileName();
                }
            }
        };
        walk(QString());
        found.sort();
        return found;
    }

    QTemporaryDir dir;
    Settings settings;
    JobState job;
    InputFileList list;
    RunProgress progress;
};

TEST(PrepareRun, FillsTheOutputParametersFromTheFormat)
{
    Settings settings;
    resetToDefaults(settings, true);
    settings.output.pngBpp = 8;
    settings.output.bmpBpp = 0;
    JobState job;

    job.outputKey = QStringLiteral("png");
    ASSERT_TRUE(prepareRun(settings, job));
    EXPECT_EQ(job.run.formatId, FIF_PNG);
    EXPECT_EQ(job.run.targetBpp, 8);
    EXPECT_EQ(job.run.autoBpp, 0);
    EXPECT_EQ(job.run.saveFlags, computeSaveFlags(QStringLiteral("png"), settings));

    job.outputKey = QStringLiteral("bmp");
    ASSERT_TRUE(prepareRun(settings, job));
    EXPECT_EQ(job.run.formatId, FIF_BMP);
    EXPECT_EQ(job.run.targetBpp, 0);
    EXPECT_EQ(job.run.autoBpp, 1);

    job.outputKey = QStringLiteral("dds");
    ASSERT_TRUE(prepareRun(settings, job));
    EXPECT_EQ(job.run.formatId, devilDdsFormatId);

    // Keys compare exactly: "PNG" is no output format, and nothing changes.
    job.outputKey = QStringLiteral("PNG");
    EXPECT_FALSE(prepareRun(settings, job));
    EXPECT_EQ(job.run.formatId, devilDdsFormatId);
}

TEST(FormatBitDepthSetting, ReadsEachFormatsOwnSetting)
{
    Settings settings;
    OutputSettings& o = settings.output;
    // A distinct value per format, so a key wired to another format's member shows.
    const std::vector<std::pair<const char*, Bpp*>> members = {
        {"bmp", &o.bmpBpp},   {"dds", &o.ddsBpp},   {"exr", &o.exrBpp}, {"gif", &o.gifBpp}, {"hdr", &o.hdrBpp},
        {"ico", &o.icoBpp},   {"j2k", &o.j2kBpp},   {"jng", &o.jngBpp}, {"jp2", &o.jp2Bpp}, {"jpg", &o.jpgBpp},
        {"jxr", &o.jxrBpp},   {"pbm", &o.pbmBpp},   {"pcx", &o.pcxBpp}, {"pfm", &o.pfmBpp}, {"pgm", &o.pgmBpp},
        {"png", &o.pngBpp},   {"ppm", &o.ppmBpp},   {"psd", &o.psdBpp}, {"tga", &o.tgaBpp}, {"tiff", &o.tiffBpp},
        {"wbmp", &o.wbmpBpp}, {"webp", &o.webpBpp}, {"xpm", &o.xpmBpp}};
    ASSERT_EQ(members.size(), static_cast<size_t>(outputFormatList().size()));
    for (size_t i = 0; i < members.size(); ++i) {
        *members[i].second = 100 + static_cast<int>(i);
    }
    for (size_t i = 0; i < members.size(); ++i) {
        EXPECT_EQ(formatBitDepthSetting(settings, QString::fromLatin1(members[i].first)), 100 + static_cast<int>(i))
            << members[i].first;
    }
    EXPECT_EQ(formatBitDepthSetting(settings, QStringLiteral("raw")), 0);
}

TEST_F(ConversionRun, KeepSubfoldersRecreatesTheInputTree)
{
    makeInput("in/a.tif");
    makeInput("in/2019/May/b.tif");
    makeInput("in/2019/c.tif");
    job.inputFolder = path("in/");
    ASSERT_EQ(scanFolder(list, job, job.inputFolder), 3);

    settings.advanced.keepSubfolders = 1;
    run();
    EXPECT_EQ(progress.snapshot().convertedCount, 3);
    EXPECT_EQ(filesBelow(job.outputFolder), (QStringList{"2019/May/b.png", "2019/c.png", "a.png"}));
    EXPECT_TRUE(isPng(path("out/2019/May/b.png")));

    QDir(job.outputFolder).removeRecursively();
    QDir().mkpath(job.outputFolder);
    settings.advanced.keepSubfolders = 0;
    run();
    EXPECT_EQ(filesBelow(job.outputFolder), (QStringList{"a.png", "b.png", "c.png"}));
}

TEST_F(ConversionRun, CounterFollowsTheListOrderSkipsFailuresAndContinuesAcrossRuns)
{
    makeInput("z.tif");
    makeGarbage("bad.tif");
    makeInput("a.tif");
    makeInput("m.tif");
    for (const char* name : {"z.tif", "bad.tif", "a.tif", "missing.tif", "m.tif"}) {
        ASSERT_TRUE(addInputFile(list, job, path(QString::fromLatin1(name))));
    }
    settings.advanced.filenameMask = QStringLiteral("%n%_%filename%.%ext%");

    const std::vector<QString> lines = run();
    EXPECT_EQ(progress.snapshot().processedCount, 5);
    EXPECT_EQ(progress.snapshot().convertedCount, 3);
    EXPECT_EQ(filesBelow(job.outputFolder), (QStringList{"00001_z.png", "00002_a.png", "00003_m.png"}));
    ASSERT_EQ(lines.size(), 15U);
    EXPECT_EQ(lines[0], QStringLiteral("Processing: ") + path("z.tif"));
    EXPECT_EQ(lines[1], QStringLiteral("Saving As: ") + path("out/00001_z.png"));
    EXPECT_EQ(lines[2], QStringLiteral("OK"));
    EXPECT_EQ(lines[3], QStringLiteral("Processing: ") + path("bad.tif"));
    EXPECT_EQ(lines[4], QStringLiteral("Saving As: "));
    EXPECT_EQ(lines[5], QStringLiteral("Not OK"));
    EXPECT_EQ(lines[11], QStringLiteral("Not OK"));

    run();
    EXPECT_EQ(progress.snapshot().convertedCount, 3);
    EXPECT_EQ(filesBelow(job.outputFolder),
              (QStringList{"00001_z.png", "00002_a.png", "00003_m.png", "00004_z.png", "00005_a.png", "00006_m.png"}));
    EXPECT_EQ(job.file.counterValue, 7);
}

TEST_F(ConversionRun, RandomValueChangesOnlyAfterSuccess)
{
    makeGarbage("bad.tif");
    ASSERT_TRUE(addInputFile(list, job, path("bad.tif")));
    job.file.randomValue = 4242;
    run();
    EXPECT_EQ(job.file.randomValue, 4242);
    EXPECT_EQ(job.file.counterValue, 1);

    settings.advanced.filenameMask = QStringLiteral("%rnd%.%ext%");
    makeInput("good.tif");
    ASSERT_TRUE(addInputFile(list, job, path("good.tif")));
    run();
    EXPECT_TRUE(QFile::exists(path("out/04242.png")));
    EXPECT_GE(job.file.randomValue, 1);
    EXPECT_LE(job.file.randomValue, 99999);
    EXPECT_EQ(job.file.counterValue, 2);
}

struct TimestampCase {
    const char* label;
    int mode; // Advanced/File Timestamp
};

void PrintTo(const TimestampCase& c, std::ostream* os)
{
    *os << c.label;
}

class TimestampTest : public ConversionRun, public testing::WithParamInterface<TimestampCase> {};

TEST_P(TimestampTest, AppliesToEveryOutputAndLeavesTheInput)
{
    makeInput("single.tif");
    makeInput("pages.tif", 3);
    const time_t inputTime = QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::LocalTime).toSecsSinceEpoch();
    setModificationTime(path("single.tif"), inputTime);
    setModificationTime(path("pages.tif"), inputTime);
    ASSERT_TRUE(addInputFile(list, job, path("single.tif")));
    ASSERT_TRUE(addInputFile(list, job, path("pages.tif")));
    settings.input.tiffFrameLoading = 0;
    settings.advanced.fileTimestamp = static_cast<Choice8>(GetParam().mode);
    // 2010-06-15 12:00:00 on the local wall clock, stored as if it were UTC.
    settings.advanced.customTimestamp =
        static_cast<Date>(QDateTime(QDate(2010, 6, 15), QTime(12, 0), Qt::UTC).toSecsSinceEpoch());
    const time_t before = QDateTime::currentSecsSinceEpoch();

    run();
    const QStringList outputs{"pages[1].png", "pages[2].png", "pages[3].png", "single.png"};
    ASSERT_EQ(filesBelow(job.outputFolder), outputs);
    for (const QString& output : outputs) {
        const time_t stamped = modificationTime(job.outputFolder + output).tv_sec;
        switch (GetParam().mode) {
        case 1:
            EXPECT_EQ(stamped, inputTime) << output.toStdString();
            break;
        case 2:
            EXPECT_EQ(QDateTime::fromSecsSinceEpoch(stamped, Qt::LocalTime),
                      QDateTime(QDate(2010, 6, 15), QTime(12, 0), Qt::LocalTime))
                << output.toStdString();
            break;
        default:
            EXPECT_GE(stamped, before) << output.toStdString();
        }
    }
    EXPECT_EQ(modificationTime(path("single.tif")).tv_sec, inputTime);
}

INSTANTIATE_TEST_SUITE_P(FileTimestamps, TimestampTest,
                         testing::Values(TimestampCase{"current", 0}, TimestampCase{"original", 1},
                                         TimestampCase{"custom", 2}, TimestampCase{"unknown value", 7}));

TEST_F(ConversionRun, StopFinishesTheFileInHand)
{
    for (const char* name : {"1.tif", "2.tif", "3.tif", "4.tif", "5.tif"}) {
        makeInput(QString::fromLatin1(name));
        ASSERT_TRUE(addInputFile(list, job, path(QString::fromLatin1(name))));
    }
    run([&](const QString& line) {
        if (line == QStringLiteral("Processing: ") + path("2.tif")) {
            progress.stop();
        }
    });
    EXPECT_EQ(progress.snapshot().processedCount, 2);
    EXPECT_EQ(progress.snapshot().convertedCount, 2);
    EXPECT_EQ(filesBelow(job.outputFolder), (QStringList{"1.png", "2.png"}));
}

TEST_F(ConversionRun, UnwritableSubfolderFailsOnlyItsFiles)
{
    makeInput("in/a.tif");
    makeInput("in/sub/b.tif");
    makeInput("in/z.tif");
    job.inputFolder = path("in/");
    ASSERT_EQ(scanFolder(list, job, job.inputFolder), 3);
    // A file where the subfolder should go: the folder cannot be made, so b's save fails.
    QFile blocker(path("out/sub"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    settings.advanced.keepSubfolders = 1;

    const std::vector<QString> lines = run();
    EXPECT_EQ(progress.snapshot().processedCount, 3);
    EXPECT_EQ(progress.snapshot().convertedCount, 2);
    EXPECT_TRUE(QFile::exists(path("out/a.png")));
    EXPECT_TRUE(QFile::exists(path("out/z.png")));
    EXPECT_TRUE(std::find(lines.begin(), lines.end(), QStringLiteral("Not OK")) != lines.end());
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A file whose later page fails is written whole or not at all, whatever the number of workers:
// the pages before the failed one are taken back, a file of an earlier run under their names stays
// as it was, the failure says why, and the files around it convert.
TEST_F(ConversionRun, AFileFailingOnALaterPageLeavesNothingWhateverTheWorkerCount)
{
    makeInput("in/a.tif");
    makeInput("in/z.tif");
    const QString mixed = path("in/mixed.tif");
    // The middle page claims a size beyond the limit: every decoder refuses it from its header.
    ASSERT_TRUE(fixtures::writeRawTiff(mixed, {{30, 20}, {100000, 100000}, {40, 20}}));
    for (const int workers : {1, 2}) {
        SCOPED_TRACE(QStringLiteral("%1 workers").arg(workers).toStdString());
        list.clear();
        for (const QString& name : {path("in/a.tif"), mixed, path("in/z.tif")}) {
            ASSERT_TRUE(addInputFile(list, job, name));
        }
        job.outputFolder = path(QStringLiteral("out-%1/").arg(workers));
        ASSERT_TRUE(QDir().mkpath(job.outputFolder));
        const QString earlier = job.outputFolder + QStringLiteral("mixed[1].png");
        QFile earlierFile(earlier);
        ASSERT_TRUE(earlierFile.open(QIODevice::WriteOnly));
        earlierFile.write("an earlier run's page");
        earlierFile.close();

        std::vector<std::pair<QString, FileFailure>> failed;
        RunContext context{settings, job};
        context.fileFailed = [&](const QString& input, const FileFailure& failure) {
            failed.emplace_back(input, failure);
        };
        progress.start();
        conversionWorker(context, list, progress, workers);

        EXPECT_EQ(progress.snapshot().convertedCount, 2);
        ASSERT_EQ(failed.size(), 1U);
        EXPECT_EQ(failed[0].first, mixed);
        EXPECT_EQ(describeFailure(failed[0].second), QStringLiteral("page too large (100000 x 100000)"));
        EXPECT_EQ(filesBelow(job.outputFolder), (QStringList{"a.png", "mixed[1].png", "z.png"}));
        EXPECT_EQ(contentOf(earlier), QByteArray("an earlier run's page"));
        // No temporary file is left behind (filesBelow leaves hidden files out).
        EXPECT_EQ(QDir(job.outputFolder).entryList(QDir::Hidden | QDir::Files | QDir::NoDotAndDotDot).size(), 3);
    }
}

// Four workers leave what one leaves, also where a file's name and watermark show its own page
// values and counter.
TEST_F(ConversionRun, WorkersLeaveWhatASequentialRunLeaves)
{
    testsupport::ensureGuiApplication();
    const std::pair<int, int> sizes[] = {{300, 40}, {60, 90}, {200, 150}, {45, 45}, {120, 30}, {90, 200}};
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
        const QString name = path(QStringLiteral("in/%1.tif").arg(i));
        QDir().mkpath(path("in"));
        const auto kind = i % 2 == 0 ? fixtures::PageKind::Rgb24 : fixtures::PageKind::Grey8;
        ASSERT_TRUE(fixtures::writeTiff(name, kind, sizes[i].first, sizes[i].second));
        ASSERT_TRUE(addInputFile(list, job, name));
    }
    settings.advanced.filenameMask = QStringLiteral("%n%_%width%x%height%_%bpp%.%ext%");
    settings.watermark.doWatermark = 1;
    settings.watermark.text = QStringLiteral("%width%x%height% %bpp% %n%");
    settings.watermark.font = QStringLiteral("Arial");
    settings.watermark.fontSize = 8;
    settings.watermark.backOpacity = 255;
    const WatermarkAssetsResult assets = loadWatermarkAssets(settings);
    ASSERT_EQ(assets.problem, WatermarkProblem::None);

    const QString folders[] = {path("one/"), path("four/")};
    const int workers[] = {1, 4};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(QDir().mkpath(folders[i]));
        job.outputFolder = folders[i];
        job.file.counterValue = 1;
        run({}, workers[i], &assets.assets);
        EXPECT_EQ(progress.snapshot().convertedCount, static_cast<int>(std::size(sizes)));
    }
    const QStringList names = filesBelow(folders[0]);
    EXPECT_EQ(names, (QStringList{"00001_300x40_24.png", "00002_60x90_8.png", "00003_200x150_24.png",
                                  "00004_45x45_8.png", "00005_120x30_24.png", "00006_90x200_8.png"}));
    EXPECT_EQ(filesBelow(folders[1]), names);
    for (const QString& name : names) {
        EXPECT_TRUE(contentOf(folders[0] + name) == contentOf(folders[1] + name)) << name.toStdString();
    }
}

TEST_F(ConversionRun, WorkerOnItsOwnThreadWaitsAtThePauseGate)
{
    makeInput("a.tif");
    ASSERT_TRUE(addInputFile(list, job, path("a.tif")));
    RunContext context{settings, job};
    progress.start();
    progress.pause();
    std::thread worker([&] { conversionWorker(context, list, progress); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(progress.snapshot().processedCount, 0);
    progress.resume();
    worker.join();
    EXPECT_EQ(progress.snapshot().processedCount, 1);
    EXPECT_EQ(progress.snapshot().convertedCount, 1);
    EXPECT_EQ(progress.snapshot().currentFile, path("a.tif"));
}

} // namespace
