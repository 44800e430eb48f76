#include "engine/core/run_progress.h"
#include "engine/inputs/input_file_list.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// A file of `size` bytes; the list looks only at size and name, never at the content.
void makeFile(const QString& path, int size = 1)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(QByteArray(size, 'x'));
}

std::vector<QString> pathsOf(const InputFileList& list)
{
    std::vector<QString> paths;
    for (const InputFileEntry& entry : list) {
        paths.push_back(entry.path);
    }
    return paths;
}

class InputListFolder : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& relative) const { return dir.path() + QLatin1Char('/') + relative; }
    QString root() const { return dir.path() + QLatin1Char('/'); }

    QTemporaryDir dir;
    InputFileList list;
    JobState job;
};

TEST(InputFileListModel, KeepsInsertionOrderAndAnExactIndex)
{
    InputFileList list;
    EXPECT_TRUE(list.insert(QStringLiteral("/b.tif"), QString()));
    EXPECT_TRUE(list.insert(QStringLiteral("/a.tif"), QStringLiteral("sub/")));
    EXPECT_TRUE(list.insert(QStringLiteral("/A.tif"), QString()));
    EXPECT_FALSE(list.insert(QStringLiteral("/a.tif"), QStringLiteral("other/")));
    EXPECT_EQ(pathsOf(list), (std::vector<QString>{"/b.tif", "/a.tif", "/A.tif"}));
    ASSERT_NE(list.find(QStringLiteral("/a.tif")), nullptr);
    EXPECT_EQ(list.find(QStringLiteral("/a.tif"))->subfolder, QStringLiteral("sub/"));

    EXPECT_TRUE(list.remove(QStringLiteral("/a.tif")));
    EXPECT_FALSE(list.remove(QStringLiteral("/a.tif")));
    EXPECT_FALSE(list.contains(QStringLiteral("/a.tif")));
    EXPECT_TRUE(list.contains(QStringLiteral("/A.tif")));
    // Added again after removal, it goes to the end like any new file.
    EXPECT_TRUE(list.insert(QStringLiteral("/a.tif"), QString()));
    EXPECT_EQ(pathsOf(list), (std::vector<QString>{"/b.tif", "/A.tif", "/a.tif"}));

    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.find(QStringLiteral("/b.tif")), nullptr);
    EXPECT_TRUE(list.insert(QStringLiteral("/b.tif"), QString()));
    EXPECT_EQ(list.size(), 1);
}

struct ExtensionCase {
    const char* path;
    const char* extension;
};

class InputExtensionTest : public testing::TestWithParam<ExtensionCase> {};

TEST_P(InputExtensionTest, SearchesBackwardsForTheDot)
{
    EXPECT_EQ(inputExtensionOf(QString::fromUtf8(GetParam().path)), QString::fromUtf8(GetParam().extension));
}

INSTANTIATE_TEST_SUITE_P(Paths, InputExtensionTest,
                         testing::Values(ExtensionCase{"/in/a.tif", "tif"}, ExtensionCase{"/in/a.b.TIFF", "TIFF"},
                                         ExtensionCase{"/in/my scan.tif", "tif"}, ExtensionCase{"/in/a. tif", ""},
                                         ExtensionCase{"/in/.tif", ""}, ExtensionCase{".tif", ""},
                                         ExtensionCase{"/in.d/name", ""}, ExtensionCase{"c:\\in.d\\name", ""},
                                         ExtensionCase{"/in/a.", ""}, ExtensionCase{"/in/noext", ""},
                                         ExtensionCase{"a.tif\"x", "tif"}, ExtensionCase{"", ""}));

struct AcceptCase {
    const char* name;
    int size; // -1: do not create; -2: create a folder
    bool accepted;
};

void PrintTo(const AcceptCase& c, std::ostream* os)
{
    *os << c.name << " (" << c.size << ")";
}

class AddInputFileTest : public InputListFolder, public testing::WithParamInterface<AcceptCase> {};

TEST_P(AddInputFileTest, AcceptsByExtensionAndSize)
{
    const AcceptCase& c = GetParam();
    const QString file = path(QString::fromUtf8(c.name));
    if (c.size >= 0) {
        makeFile(file, c.size);
    } else if (c.size == -2) {
        ASSERT_TRUE(QDir().mkpath(file));
    }
    EXPECT_EQ(addInputFile(list, job, file), c.accepted);
    EXPECT_EQ(list.size(), c.accepted ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Files, AddInputFileTest,
                         testing::Values(AcceptCase{"a.tif", 1, true}, AcceptCase{"a.TIFF", 10, true},
                                         AcceptCase{"empty.tif", 0, false}, AcceptCase{"a.png", 10, false},
                                         AcceptCase{"a.tif.bak", 10, false}, AcceptCase{"a. tif", 10, false},
                                         AcceptCase{".tif", 10, false}, AcceptCase{"noext", 10, false},
                                         AcceptCase{"folder.tif", -2, false},
                                         // Only the size test looks at the disk: a missing file
                                         // enters the list and fails when it is converted.
                                         AcceptCase{"missing.tif", -1, true}));

TEST_F(InputListFolder, RefusesDuplicatesExactlyByLetterCase)
{
    makeFile(path("a.tif"));
    makeFile(path("A.tif"));
    EXPECT_TRUE(addInputFile(list, job, path("a.tif")));
    EXPECT_FALSE(addInputFile(list, job, path("a.tif")));
    EXPECT_TRUE(addInputFile(list, job, path("A.tif")));
    EXPECT_EQ(list.size(), 2);
}

struct SubfolderCase {
    const char* label;
    const char* inputFolder; // relative to the temporary folder; "-" for none
    const char* file;
    const char* subfolder;
};

void PrintTo(const SubfolderCase& c, std::ostream* os)
{
    *os << c.label;
}

class SubfolderTest : public InputListFolder, public testing::WithParamInterface<SubfolderCase> {};

TEST_P(SubfolderTest, IsTheFolderBelowTheInputFolder)
{
    const SubfolderCase& c = GetParam();
    ASSERT_TRUE(QDir().mkpath(path("in")));
    job.inputFolder = QString::fromUtf8(c.inputFolder) == QLatin1String("-") ? QString() : path(c.inputFolder);
    makeFile(path(QString::fromUtf8(c.file)));
    ASSERT_TRUE(addInputFile(list, job, path(QString::fromUtf8(c.file))));
    EXPECT_EQ(list.begin()->subfolder, QString::fromUtf8(c.subfolder));
}

INSTANTIATE_TEST_SUITE_P(Paths, SubfolderTest,
                         testing::Values(SubfolderCase{"no input folder", "-", "in/sub/a.tif", ""},
                                         SubfolderCase{"directly in the input folder", "in/", "in/a.tif", ""},
                                         SubfolderCase{"two levels down", "in/", "in/2019/May/a.tif", "2019/May/"},
                                         SubfolderCase{"outside the input folder", "in/", "other/a.tif", ""},
                                         // The input folder's name further down is not the input folder.
                                         SubfolderCase{"input folder name repeated below", "in/", "x/in/b/a.tif", ""},
                                         SubfolderCase{"repeated component below", "in/", "in/q/in/a.tif", "q/in/"},
                                         SubfolderCase{"escaping with ..", "in/", "in/../other/a.tif", ""}));

TEST_F(InputListFolder, NotifiesTheWindowOnlyOutsideConsoleRuns)
{
    makeFile(path("in/sub/a.tif"));
    makeFile(path("b.tif"));
    makeFile(path("c.png"));
    std::vector<QString> rows;
    std::vector<QString> proposed;
    InputListHooks hooks;
    hooks.rowAppended = [&](const QString& p) { rows.push_back(p); };
    hooks.outputFolderProposed = [&](const QString& f) { proposed.push_back(f); };

    EXPECT_TRUE(addInputFile(list, job, path("b.tif"), &hooks));
    EXPECT_FALSE(addInputFile(list, job, path("b.tif"), &hooks));
    EXPECT_FALSE(addInputFile(list, job, path("c.png"), &hooks));
    job.inputFolder = path("in/");
    EXPECT_TRUE(addInputFile(list, job, path("in/sub/a.tif"), &hooks));
    EXPECT_EQ(rows, (std::vector<QString>{path("b.tif"), path("in/sub/a.tif")}));
    // The file's own folder without a scan; the scanned root after one.
    EXPECT_EQ(proposed, (std::vector<QString>{root(), path("in/")}));

    job.consoleRun = 1;
    makeFile(path("d.tif"));
    EXPECT_TRUE(addInputFile(list, job, path("d.tif"), &hooks));
    EXPECT_EQ(rows.size(), 2U);
    EXPECT_EQ(proposed.size(), 2U);
}

TEST_F(InputListFolder, ScanFolderAddsTheTreeSortedWithSubfolders)
{
    makeFile(path("in/b.tif"));
    makeFile(path("in/A.tif"));
    makeFile(path("in/sub/b.TIFF"));
    makeFile(path("in/Sub2/deeper/c.tif"));
    makeFile(path("in/notes.txt"));
    makeFile(path("in/empty.tif"), 0);
    makeFile(path("in/.hidden.tif"));
    job.inputFolder = path("in/");

    EXPECT_EQ(scanFolder(list, job, path("in/")), 5);
    EXPECT_EQ(pathsOf(list), (std::vector<QString>{path("in/.hidden.tif"), path("in/A.tif"), path("in/b.tif"),
                                                   path("in/sub/b.TIFF"), path("in/Sub2/deeper/c.tif")}));
    std::vector<QString> subfolders;
    for (const InputFileEntry& entry : list) {
        subfolders.push_back(entry.subfolder);
    }
    EXPECT_EQ(subfolders, (std::vector<QString>{"", "", "", "sub/", "Sub2/deeper/"}));
    // A second scan finds only duplicates.
    EXPECT_EQ(scanFolder(list, job, path("in/")), 0);
}

TEST_F(InputListFolder, ScanFolderSurvivesMissingFoldersAndLinkCycles)
{
    EXPECT_EQ(scanFolder(list, job, path("missing/")), 0);

    makeFile(path("in/a.tif"));
    makeFile(path("in/sub/b.tif"));
    ASSERT_TRUE(QFile::link(path("in"), path("in/sub/loop")));
    EXPECT_EQ(scanFolder(list, job, path("in")), 2);
    EXPECT_EQ(list.size(), 2);
}

TEST_F(InputListFolder, FolderImportCountsTopLevelEntriesAndStops)
{
    makeFile(path("in/a.tif"));
    makeFile(path("in/b.txt"));
    makeFile(path("in/c/x.tif"));
    makeFile(path("in/c/y.tif"));
    makeFile(path("in/d.tif"));
    job.inputFolder = path("in/");
    EXPECT_EQ(topLevelEntryCount(job.inputFolder), 4);

    RunProgress progress;
    progress.start();
    folderImportWorker(list, job, progress);
    EXPECT_EQ(progress.snapshot().processedCount, 4);
    EXPECT_EQ(progress.snapshot().convertedCount, 4);
    EXPECT_EQ(list.find(path("in/c/y.tif"))->subfolder, QStringLiteral("c/"));

    // A stop request takes effect between top-level entries: the folder in hand is finished.
    list.clear();
    progress.start();
    InputListHooks hooks;
    hooks.rowAppended = [&](const QString& p) {
        if (p.endsWith(QLatin1String("x.tif"))) {
            progress.stop();
        }
    };
    folderImportWorker(list, job, progress, &hooks);
    EXPECT_EQ(progress.snapshot().processedCount, 3);
    EXPECT_EQ(progress.snapshot().convertedCount, 3);
    EXPECT_FALSE(list.contains(path("in/d.tif")));

    // A missing input folder adds nothing and still ends.
    list.clear();
    job.inputFolder = path("missing/");
    progress.start();
    folderImportWorker(list, job, progress);
    EXPECT_EQ(progress.snapshot().convertedCount, 0);
}

struct ListEncoding {
    const char* label;
    QByteArray bom;
    const char* encoding; // QStringConverter name
    const char* newline;
};

void PrintTo(const ListEncoding& c, std::ostream* os)
{
    *os << c.label;
}

class ListImportTest : public InputListFolder, public testing::WithParamInterface<ListEncoding> {};

TEST_P(ListImportTest, AddsExistingLinesAndScansFolders)
{
    const ListEncoding& c = GetParam();
    makeFile(path("x.tif"));
    makeFile(path("Über y.tif"));
    makeFile(path("folder/p.tif"));
    makeFile(path("folder/q/r.TIF"));
    makeFile(path("picture.png"));
    const QString newline = QString::fromUtf8(c.newline);
    const QString text = path("x.tif") + newline + newline + QStringLiteral("   ") + path("Über y.tif") +
                         QStringLiteral("  ") + newline + path("missing.tif") + newline + path("folder") + newline +
                         path("picture.png") + newline + path("x.tif");
    QStringEncoder encoder(c.encoding);
    ASSERT_TRUE(encoder.isValid());
    QFile listFile(path("list.txt"));
    ASSERT_TRUE(listFile.open(QIODevice::WriteOnly));
    listFile.write(c.bom + QByteArray(encoder.encode(text)));
    listFile.close();

    job.file.inputPath = path("list.txt");
    job.inputFolder = root();
    RunProgress progress;
    progress.start();
    listImportWorker(list, job, progress);

    const RunProgress::Snapshot done = progress.snapshot();
    EXPECT_EQ(done.convertedCount, 4);
    // Lines that exist: x, Über y, folder, picture.png, x again.
    EXPECT_EQ(done.processedCount, 5);
    EXPECT_TRUE(done.currentFile.isEmpty());
    EXPECT_EQ(pathsOf(list),
              (std::vector<QString>{path("x.tif"), path("Über y.tif"), path("folder/p.tif"), path("folder/q/r.TIF")}));
    // Subfolders are relative to the input folder, not to the folder a line names.
    EXPECT_EQ(list.find(path("folder/q/r.TIF"))->subfolder, QStringLiteral("folder/q/"));
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, ListImportTest,
    testing::Values(ListEncoding{"UTF-8, LF", {}, "UTF-8", "\n"},
                    ListEncoding{"UTF-8 BOM, CR LF", "\xEF\xBB\xBF", "UTF-8", "\r\n"},
                    ListEncoding{"UTF-8, CR", {}, "UTF-8", "\r"},
                    ListEncoding{"UTF-16LE BOM", "\xFF\xFE", "UTF-16LE", "\r\n"},
                    ListEncoding{"UTF-16BE BOM", "\xFE\xFF", "UTF-16BE", "\n"},
                    ListEncoding{"UTF-32LE BOM", QByteArray("\xFF\xFE\x00\x00", 4), "UTF-32LE", "\r\n"},
                    ListEncoding{"UTF-32BE BOM", QByteArray("\x00\x00\xFE\xFF", 4), "UTF-32BE", "\n"}));

TEST_F(InputListFolder, ListImportOfAMissingFileAddsNothing)
{
    job.file.inputPath = path("no-such-list.txt");
    RunProgress progress;
    progress.start();
    listImportWorker(list, job, progress);
    EXPECT_EQ(progress.snapshot().convertedCount, 0);
    EXPECT_EQ(progress.snapshot().processedCount, 0);
    EXPECT_TRUE(list.empty());
}

TEST_F(InputListFolder, ListLineEstimateIsLineFeedsPlusOne)
{
    QFile listFile(path("list.lst"));
    ASSERT_TRUE(listFile.open(QIODevice::WriteOnly));
    listFile.write("a\r\nb\n\nc");
    listFile.close();
    EXPECT_EQ(listLineEstimate(path("list.lst")), 4);
}

TEST(RunProgressGate, HoldsTheWorkerUntilResumed)
{
    RunProgress progress;
    progress.start();
    progress.pause();
    std::atomic<bool> passed{false};
    std::thread worker([&] {
        progress.passGate();
        passed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(passed.load());
    progress.resume();
    worker.join();
    EXPECT_TRUE(passed.load());
    EXPECT_FALSE(progress.isPaused());
}

TEST(JobStateReset, ResetsTheRunFieldsKeepingModeAndPageSize)
{
    JobState job;
    job.inputFolder = QStringLiteral("/in/");
    job.outputFolder = QStringLiteral("/out/");
    job.file.counterValue = 17;
    job.consoleRun = 1;
    job.run.formatId = 13;
    job.mode = QStringLiteral("DEBUG");
    job.file.imageWidth = 640;
    job.file.imageHeight = 480;

    resetJobState(job);
    EXPECT_TRUE(job.inputFolder.isEmpty());
    EXPECT_TRUE(job.outputFolder.isEmpty());
    EXPECT_EQ(job.file.counterValue, 1);
    EXPECT_EQ(job.consoleRun, 0);
    EXPECT_EQ(job.run.formatId, 0);
    EXPECT_TRUE(job.programFolder.endsWith(QLatin1Char('/')));
    EXPECT_GE(job.file.randomValue, 1);
    EXPECT_LE(job.file.randomValue, 99999);
    EXPECT_EQ(job.mode, QStringLiteral("DEBUG"));
    EXPECT_EQ(job.file.imageWidth, 640);
    EXPECT_EQ(job.file.imageHeight, 480);
}

TEST(JobStateReset, RandomValuesSpreadOverTheirRange)
{
    int low = 100000;
    int high = 0;
    for (int i = 0; i < 2000; ++i) {
        const int value = drawRandomValue();
        ASSERT_GE(value, 1);
        ASSERT_LE(value, 99999);
        low = std::min(low, value);
        high = std::max(high, value);
    }
    // 2000 uniform draws stay inside the outer tenths with negligible probability.
    EXPECT_LT(low, 10000);
    EXPECT_GT(high, 90000);
}

} // namespace
