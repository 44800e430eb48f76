// Incremental runs convert only what changed; shards of one list, run as separate processes at
// the same time, write exactly what one whole run writes; the GNU parallel recipe of the
// scale-out guide works as printed.
#include "support/report_reader.h"
#include "support/run_tessaline.h"
#include "support/tiff_fixtures.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

using fixtures::PageKind;

QStringList args(std::initializer_list<const char*> items)
{
    QStringList list;
    for (const char* item : items) {
        list << QString::fromUtf8(item);
    }
    return list;
}

// Every file below a folder of the sandbox with its content.
std::map<QString, QByteArray> contentsBelow(const e2e::Sandbox& sandbox, const QString& folder)
{
    std::map<QString, QByteArray> contents;
    for (const QString& name : sandbox.filesBelow(folder)) {
        contents[name] = reports::fileContent(sandbox.path(folder + u'/' + name));
    }
    return contents;
}

QDateTime modifiedAt(const QString& path)
{
    return QFileInfo(path).lastModified();
}

TEST(Update, SecondRunSkipsEveryFileThenOnlyTheChangedInputIsConverted)
{
    const e2e::Sandbox sandbox;
    sandbox.writeTiff(QStringLiteral("in/a.tif"));
    sandbox.writeTiff(QStringLiteral("in/b.tif"), 3);
    sandbox.writeTiff(QStringLiteral("in/sub/c.tif"));
    sandbox.makeFolder(QStringLiteral("out"));
    const QStringList common = args({"-i", "in", "-o", "out", "-c", "png", "--update"});

    const e2e::RunResult first = sandbox.run(common);
    ASSERT_EQ(first.exitCode, 0) << first.err.constData();
    EXPECT_FALSE(first.outLines().contains(QStringLiteral("Files skipped: 0")));
    const auto written = contentsBelow(sandbox, QStringLiteral("out"));
    ASSERT_EQ(written.size(), 5u);
    const QString bPage = sandbox.path(QStringLiteral("out/b[2].png"));
    const QDateTime bPageTime = modifiedAt(bPage);

    const e2e::RunResult second = sandbox.run(common + args({"-d", "--report=second.jsonl"}));
    EXPECT_EQ(second.exitCode, 0) << second.err.constData();
    EXPECT_TRUE(second.outLines().contains(QStringLiteral("Files skipped: 3")));
    EXPECT_FALSE(second.out.contains("Processing: "));
    EXPECT_EQ(modifiedAt(bPage), bPageTime);
    bool ok = false;
    const QList<QJsonObject> records =
        reports::parseJsonLines(reports::fileContent(sandbox.path(QStringLiteral("second.jsonl"))), ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(records.size(), 3);
    for (const QJsonObject& record : records) {
        EXPECT_EQ(record.value(QStringLiteral("status")).toString(), QStringLiteral("skipped"));
        EXPECT_EQ(record.value(QStringLiteral("reason")).toString(), QStringLiteral("outputs up to date"));
    }
    EXPECT_EQ(records.at(1).value(QStringLiteral("pages")).toInt(), 3);

    // The input changes after its outputs were written (a later time than any output has).
    QFile changed(sandbox.path(QStringLiteral("in/b.tif")));
    ASSERT_TRUE(changed.open(QIODevice::ReadWrite));
    ASSERT_TRUE(changed.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    changed.close();
    const e2e::RunResult third = sandbox.run(common + args({"-d"}));
    EXPECT_EQ(third.exitCode, 0) << third.err.constData();
    const QStringList processed = third.outLines().filter(QRegularExpression(QStringLiteral("^Processing: ")));
    EXPECT_EQ(processed, QStringList{QStringLiteral("Processing: ") + sandbox.path(QStringLiteral("in/b.tif"))});
    EXPECT_TRUE(third.outLines().contains(QStringLiteral("Files converted: 1 of 1")));
    EXPECT_TRUE(third.outLines().contains(QStringLiteral("Files skipped: 2")));
    EXPECT_EQ(contentsBelow(sandbox, QStringLiteral("out")), written);
}

TEST(Update, ConvertsAFileWithAMissingPageAndKeepsCountingFailures)
{
    const e2e::Sandbox sandbox;
    sandbox.writeTiff(QStringLiteral("in/a.tif"), 2);
    sandbox.writeFile(QStringLiteral("in/broken.tif"), QByteArray("not an image at all"));
    const QStringList common = args({"-i", "in", "-c", "bmp", "-q", "--update"});
    EXPECT_EQ(sandbox.run(common).exitCode, 3);
    ASSERT_TRUE(QFile::remove(sandbox.path(QStringLiteral("in/a[2].bmp"))));

    const e2e::RunResult again = sandbox.run(common + args({"-d"}));
    // The broken file fails again (no file converted is not a success), a.tif is redone.
    EXPECT_EQ(again.exitCode, 3) << again.out.constData();
    EXPECT_TRUE(again.out.contains("Processing: " + sandbox.path(QStringLiteral("in/a.tif")).toUtf8()));
    EXPECT_TRUE(QFileInfo::exists(sandbox.path(QStringLiteral("in/a[2].bmp"))));
}

// Files of very different sizes in subfolders, a multi-page file and a broken one: the shards
// finish in any order.
void writeShardInputs(const e2e::Sandbox& sandbox)
{
    const QString in = sandbox.makeFolder(QStringLiteral("in"));
    sandbox.makeFolder(QStringLiteral("in/x"));
    sandbox.makeFolder(QStringLiteral("in/y/z"));
    const int sizes[] = {400, 30, 250, 60, 90, 320, 45, 150, 20};
    const char* folders[] = {"", "/x", "/y/z"};
    for (int i = 0; i < 9; ++i) {
        const QString name = in + QLatin1String(folders[i % 3]) + QStringLiteral("/scan-%1.tif").arg(i);
        ASSERT_TRUE(fixtures::writeTiff(name, i % 2 == 0 ? PageKind::Rgb24 : PageKind::Grey8, sizes[i], sizes[i] / 2));
    }
    ASSERT_TRUE(fixtures::writeTiff(in + QStringLiteral("/x/multi.tif"), PageKind::Rgb24, 80, 60, 3));
    sandbox.writeFile(QStringLiteral("in/y/broken.tif"), QByteArray("not an image at all"));
}

// The indexes of a set of JSON Lines reports; each must appear once.
QList<int> reportIndexes(const QStringList& paths)
{
    QList<int> indexes;
    for (const QString& path : paths) {
        bool ok = false;
        for (const QJsonObject& record : reports::parseJsonLines(reports::fileContent(path), ok)) {
            indexes << record.value(QStringLiteral("index")).toInt(-1);
        }
        EXPECT_TRUE(ok) << path.toStdString();
    }
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

QList<int> zeroTo(int count)
{
    QList<int> all;
    for (int i = 0; i < count; ++i) {
        all << i;
    }
    return all;
}

TEST(Shard, FourConcurrentShardsWriteExactlyWhatOneRunWrites)
{
    const e2e::Sandbox sandbox;
    writeShardInputs(sandbox);
    sandbox.makeFolder(QStringLiteral("out-one"));
    sandbox.makeFolder(QStringLiteral("out-shards"));
    const QStringList common = args({"-i", "in", "-c", "tiff", "--tiff-compression=lzw", "-q"});

    const e2e::RunResult whole = sandbox.run(common + args({"-o", "out-one"}));
    EXPECT_EQ(whole.exitCode, 3) << whole.err.constData();

    std::vector<std::unique_ptr<e2e::RunningTessaline>> shards;
    QStringList reportsOfShards;
    for (int k = 1; k <= 4; ++k) {
        const QString report = sandbox.path(QStringLiteral("shard-%1.jsonl").arg(k));
        reportsOfShards << report;
        shards.push_back(sandbox.start(
            common + QStringList{QStringLiteral("-o"), QStringLiteral("out-shards"), QStringLiteral("--threads=2"),
                                 QStringLiteral("--shard=%1/4").arg(k), QStringLiteral("--report=") + report}));
    }
    int failedShards = 0;
    for (auto& shard : shards) {
        const e2e::RunResult result = shard->finish(120000);
        EXPECT_FALSE(result.timedOut);
        EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 3) << result.err.constData();
        failedShards += result.exitCode == 3 ? 1 : 0;
    }
    // The broken file belongs to one shard only.
    EXPECT_EQ(failedShards, 1);

    const auto expected = contentsBelow(sandbox, QStringLiteral("out-one"));
    ASSERT_EQ(expected.size(), 12u);
    EXPECT_TRUE(contentsBelow(sandbox, QStringLiteral("out-shards")) == expected);
    EXPECT_EQ(reportIndexes(reportsOfShards), zeroTo(11));
}

TEST(Shard, WarnsWhenNamesOrWatermarksCountTheRun)
{
    const e2e::Sandbox sandbox;
    sandbox.writeTiff(QStringLiteral("in/a.tif"));
    const e2e::RunResult counted =
        sandbox.run(args({"-i", "in", "-c", "png", "-q", "--shard=1/2", "--filename-mask=%N%-%filename%.%ext%"}));
    EXPECT_EQ(counted.exitCode, 0) << counted.err.constData();
    EXPECT_EQ(counted.errLines(), QStringList{QStringLiteral("Warning: the filename mask uses %n% or %rnd%: output "
                                                             "names are not shard-stable (each shard counts its own "
                                                             "files)")});
    const e2e::RunResult stable = sandbox.run(args({"-i", "in", "-c", "png", "-q", "--shard=2/2", "--dry-run"}));
    EXPECT_TRUE(stable.err.isEmpty()) << stable.err.constData();
    // The only file is the first of the list, so shard 2 of 2 has nothing to do.
    EXPECT_EQ(stable.exitCode, 0);
    EXPECT_TRUE(stable.out.isEmpty());
}

// The first fenced block after a marker line of the scale-out guide.
QString guideRecipe(const QString& marker)
{
    const QString guide =
        QString::fromUtf8(reports::fileContent(QStringLiteral(TESSALINE_SOURCE_DIR "/docs/scale-out.md")));
    const qsizetype at = guide.indexOf(marker);
    if (at < 0) {
        return {};
    }
    const qsizetype open = guide.indexOf(QStringLiteral("```sh\n"), at);
    const qsizetype close = guide.indexOf(QStringLiteral("\n```"), open);
    if (open < 0 || close < 0) {
        return {};
    }
    return guide.mid(open + 6, close - open - 6);
}

TEST(ScaleOutGuide, GnuParallelRecipeRunsOnThisMachine)
{
    const QString recipe = guideRecipe(QStringLiteral("<!-- tested: gnu-parallel-local -->"));
    ASSERT_TRUE(recipe.contains(QLatin1String("parallel --jobs 2"))) << recipe.toStdString();
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("parallel")).isEmpty())
        << "GNU parallel is missing: scripts/install-deps.sh installs it";

    const e2e::Sandbox sandbox;
    writeShardInputs(sandbox);
    QDir(sandbox.path(QString())).rename(QStringLiteral("in"), QStringLiteral("scans"));
    sandbox.makeFolder(QStringLiteral("converted"));
    sandbox.makeFolder(QStringLiteral("whole"));
    sandbox.makeFolder(QStringLiteral("home"));

    QProcess shell;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), QFileInfo(QStringLiteral(TESSALINE_EXECUTABLE)).absolutePath() + u':' +
                                                   environment.value(QStringLiteral("PATH")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), sandbox.runtimeFolder());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), sandbox.configFolder());
    environment.insert(QStringLiteral("HOME"), sandbox.path(QStringLiteral("home")));
    shell.setProcessEnvironment(environment);
    shell.setWorkingDirectory(sandbox.workFolder());
    shell.start(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), recipe});
    ASSERT_TRUE(shell.waitForFinished(300000));
    // The recipe ends with the merge; the shard that holds the broken file said why it failed.
    const QByteArray errors = shell.readAllStandardError();
    EXPECT_EQ(shell.exitCode(), 0) << errors.constData();
    EXPECT_EQ(errors, "Error: " + sandbox.path(QStringLiteral("scans/y/broken.tif")).toUtf8() + ": not a TIFF file\n");

    const e2e::RunResult whole = sandbox.run(args({"-i", "scans", "-o", "whole", "-c", "png", "-q"}));
    EXPECT_EQ(whole.exitCode, 3);
    const auto expected = contentsBelow(sandbox, QStringLiteral("whole"));
    ASSERT_EQ(expected.size(), 12u);
    EXPECT_TRUE(contentsBelow(sandbox, QStringLiteral("converted")) == expected);

    // The merged report lists every file once, in list order.
    bool ok = false;
    const QList<QJsonObject> merged =
        reports::parseJsonLines(reports::fileContent(sandbox.path(QStringLiteral("report.jsonl"))), ok);
    ASSERT_TRUE(ok);
    QList<int> order;
    for (const QJsonObject& record : merged) {
        order << record.value(QStringLiteral("index")).toInt(-1);
    }
    EXPECT_EQ(order, zeroTo(11));
}

} // namespace
