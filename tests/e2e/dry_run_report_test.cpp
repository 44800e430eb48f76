// A dry run names what a run would write and writes nothing; a report records every file of a
// run, readable back as JSON Lines and as CSV, the same for a parallel and a sequential run.
#include "support/report_reader.h"
#include "support/run_tessaline.h"
#include "support/tiff_fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

#include <gtest/gtest.h>

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

// The output column of the plan lines (input TAB output [TAB flags]).
QStringList plannedOutputs(const e2e::RunResult& plan, const QString& outputFolder)
{
    QStringList outputs;
    for (const QString& line : plan.outLines()) {
        const QStringList columns = line.split(u'\t');
        if (columns.size() >= 2) {
            outputs << QDir(outputFolder).relativeFilePath(columns.at(1));
        }
    }
    outputs.sort();
    return outputs;
}

// The plan line of an input file and one of its outputs, or empty.
QString planLineOf(const e2e::RunResult& plan, const QString& input, const QString& output)
{
    for (const QString& line : plan.outLines()) {
        const QStringList columns = line.split(u'\t');
        if (columns.size() >= 2 && columns.at(0).endsWith(input) && columns.at(1).endsWith(output)) {
            return line;
        }
    }
    return {};
}

TEST(DryRun, FlagsCollisionsAndExistingOutputsAndWritesNothing)
{
    const e2e::Sandbox sandbox;
    sandbox.writeTiff(QStringLiteral("in/a/same.tif"));
    sandbox.writeTiff(QStringLiteral("in/b/same.tif"));
    sandbox.writeTiff(QStringLiteral("in/multi.tif"), 3);
    sandbox.writeTiff(QStringLiteral("in/old.tif"));
    sandbox.writeFile(QStringLiteral("out/old.png"), QByteArray("an earlier output"));

    const e2e::RunResult plan =
        sandbox.run(args({"-i", "in", "-o", "out", "-c", "png", "--no-subfolders", "--dry-run"}));

    EXPECT_EQ(plan.exitCode, 1) << plan.err.constData();
    EXPECT_EQ(sandbox.filesBelow(QStringLiteral("out")), QStringList{QStringLiteral("old.png")});
    EXPECT_EQ(reports::fileContent(sandbox.path(QStringLiteral("out/old.png"))), QByteArray("an earlier output"));
    const QString out = sandbox.path(QStringLiteral("out"));
    EXPECT_EQ(plannedOutputs(plan, out),
              args({"multi[1].png", "multi[2].png", "multi[3].png", "old.png", "same.png", "same.png"}));
    EXPECT_EQ(planLineOf(plan, QStringLiteral("in/a/same.tif"), QStringLiteral("same.png")),
              sandbox.path(QStringLiteral("in/a/same.tif")) + u'\t' + out + QStringLiteral("/same.png"));
    EXPECT_EQ(planLineOf(plan, QStringLiteral("in/b/same.tif"), QStringLiteral("same.png")),
              sandbox.path(QStringLiteral("in/b/same.tif")) + u'\t' + out +
                  QStringLiteral("/same.png\tcollides with ") + sandbox.path(QStringLiteral("in/a/same.tif")));
    EXPECT_TRUE(planLineOf(plan, QStringLiteral("in/old.tif"), QStringLiteral("old.png"))
                    .endsWith(QStringLiteral("\texists, would be replaced")));
    EXPECT_TRUE(plan.outLines().contains(
        QStringLiteral("Plan: 4 files, 6 outputs, 1 existing, 1 refused (collision or input)")));
}

TEST(DryRun, FlagsAnOutputThatWouldReplaceItsInputAndPassesAPlanWithoutConflicts)
{
    const e2e::Sandbox sandbox;
    sandbox.writeTiff(QStringLiteral("in/scan.tif"));

    const e2e::RunResult onto =
        sandbox.run(args({"-i", "in", "-c", "tiff", "--filename-mask=%filename%.tif", "--dry-run", "-q"}));
    EXPECT_EQ(onto.exitCode, 1);
    EXPECT_EQ(onto.outLines(), QStringList{sandbox.path(QStringLiteral("in/scan.tif")) + u'\t' +
                                           sandbox.path(QStringLiteral("in/scan.tif")) +
                                           QStringLiteral("\texists, would be replaced, would replace an input")});

    const e2e::RunResult clean = sandbox.run(args({"-i", "in", "-c", "png", "--dry-run", "-q"}));
    EXPECT_EQ(clean.exitCode, 0);
    EXPECT_EQ(clean.outLines().size(), 1);
    EXPECT_EQ(sandbox.filesBelow(QStringLiteral("in")), QStringList{QStringLiteral("scan.tif")});
}

struct PlanCase {
    const char* name;
    QStringList options;
};

void PrintTo(const PlanCase& c, std::ostream* os)
{
    *os << c.name;
}

class DryRunNames : public ::testing::TestWithParam<PlanCase> {};

// The names of the plan are the names the run then writes, also where they depend on the page
// (size after resize, rotation and the icon cap, the written depth) or on the page selection.
TEST_P(DryRunNames, AreTheNamesTheRunWrites)
{
    const e2e::Sandbox sandbox;
    const QString in = sandbox.makeFolder(QStringLiteral("in"));
    sandbox.makeFolder(QStringLiteral("out"));
    ASSERT_TRUE(fixtures::writeTiff(in + QStringLiteral("/wide.tif"), PageKind::Rgb24, 300, 100));
    ASSERT_TRUE(fixtures::writeTiff(in + QStringLiteral("/grey.tif"), PageKind::Grey8, 90, 160));
    ASSERT_TRUE(fixtures::writeTiff(in + QStringLiteral("/fax.tif"), PageKind::Bilevel, 64, 48));
    ASSERT_TRUE(fixtures::writeTiff(in + QStringLiteral("/alpha.tif"), PageKind::Rgba32, 40, 40));
    ASSERT_TRUE(fixtures::writeTiff(in + QStringLiteral("/doc.tif"), PageKind::Rgb24, 50, 70, 3));
    const QStringList common = args({"-i", "in", "-o", "out", "-q"}) + GetParam().options;

    const e2e::RunResult plan = sandbox.run(common + QStringList{QStringLiteral("--dry-run")});
    ASSERT_EQ(plan.exitCode, 0) << plan.out.constData() << plan.err.constData();
    const e2e::RunResult run = sandbox.run(common);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();

    const QStringList written = sandbox.filesBelow(QStringLiteral("out"));
    EXPECT_FALSE(written.isEmpty());
    EXPECT_EQ(plannedOutputs(plan, sandbox.path(QStringLiteral("out"))), written);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, DryRunNames,
    ::testing::Values(
        PlanCase{"EveryPageNumbered", args({"-c", "png"})},
        PlanCase{"LastPageOnly", args({"-c", "jpg", "--tiff-frame-loading=last"})},
        PlanCase{"PageValues", args({"-c", "png", "--filename-mask=%filename%_%width%x%height%_%bpp%.%ext%"})},
        PlanCase{"PageValuesAfterResize",
                 args({"-c", "png", "--filename-mask=%width%x%height%-%filename%.%ext%", "--width=50",
                       "--width-unit=percent", "--height=50", "--height-unit=percent", "--keep-aspect-ratio"})},
        PlanCase{"PageValuesAfterRightAngle",
                 args({"-c", "bmp", "--filename-mask=%width%x%height%-%filename%.%ext%", "--rotation=90"})},
        PlanCase{"IconCapAndFixedDepth",
                 args({"-c", "ico", "--ico-bpp=8", "--filename-mask=%filename%-%width%-%bpp%.%ext%", "--width=400",
                       "--height=400"})},
        PlanCase{"Counters", args({"-c", "tiff", "--filename-mask=%n%-%filename%.%ext%", "--threads=1"})}),
    [](const ::testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.name); });

// Two good files, one of three pages, and a broken one in the middle of the list.
void writeReportInputs(const e2e::Sandbox& sandbox)
{
    sandbox.writeTiff(QStringLiteral("in/a-one.tif"));
    sandbox.writeFile(QStringLiteral("in/b-broken.tif"), QByteArray("not an image at all"));
    sandbox.writeTiff(QStringLiteral("in/c-pages.tif"), 3);
    sandbox.writeTiff(QStringLiteral("in/d-two.tif"));
    sandbox.makeFolder(QStringLiteral("out"));
}

// One report row, whichever format it was read from.
struct Row {
    QString index, input, status, reason, pages, outputBytes;
    QStringList outputs;
};

QList<Row> readRows(const QByteArray& text, bool csv)
{
    QList<Row> rows;
    bool ok = false;
    if (csv) {
        const QList<QStringList> table = reports::parseCsv(text, ok);
        EXPECT_TRUE(ok) << text.constData();
        EXPECT_FALSE(table.isEmpty());
        EXPECT_EQ(table.value(0),
                  args({"index", "input", "status", "reason", "pages", "outputs", "output_bytes", "milliseconds"}));
        for (qsizetype i = 1; i < table.size(); ++i) {
            const QStringList& f = table.at(i);
            EXPECT_EQ(f.size(), 8);
            rows << Row{f.value(0),
                        f.value(1),
                        f.value(2),
                        f.value(3),
                        f.value(4),
                        f.value(6),
                        f.value(5).isEmpty() ? QStringList{} : f.value(5).split(u'\n')};
        }
        return rows;
    }
    for (const QJsonObject& o : reports::parseJsonLines(text, ok)) {
        QStringList outputs;
        for (const QJsonValue& output : o.value(QStringLiteral("outputs")).toArray()) {
            outputs << output.toString();
        }
        rows << Row{QString::number(o.value(QStringLiteral("index")).toInt(-1)),
                    o.value(QStringLiteral("input")).toString(),
                    o.value(QStringLiteral("status")).toString(),
                    o.value(QStringLiteral("reason")).toString(),
                    QString::number(o.value(QStringLiteral("pages")).toInt(-1)),
                    QString::number(o.value(QStringLiteral("output_bytes")).toInteger(-1)),
                    outputs};
        EXPECT_TRUE(o.value(QStringLiteral("milliseconds")).isDouble());
    }
    EXPECT_TRUE(ok) << text.constData();
    return rows;
}

// The report without its times: the last CSV field, the "milliseconds" member of each line.
QByteArray withoutTimes(QByteArray text)
{
    text.replace(QByteArrayView("\r\n"), QByteArrayView("\n"));
    QByteArrayList lines = text.split('\n');
    for (QByteArray& line : lines) {
        const qsizetype at = line.indexOf("\"milliseconds\":");
        if (at >= 0) {
            const qsizetype end = line.indexOf(',', at);
            line.remove(at, end - at);
        } else if (const qsizetype comma = line.lastIndexOf(','); comma >= 0) {
            line.truncate(comma);
        }
    }
    return lines.join('\n');
}

class Report : public ::testing::TestWithParam<const char*> {};

TEST_P(Report, RecordsEveryFileInListOrderAlikeForParallelAndSequentialRuns)
{
    const e2e::Sandbox sandbox;
    writeReportInputs(sandbox);
    const QString name = QStringLiteral("report.") + QLatin1String(GetParam());
    const bool csv = name.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);

    const e2e::RunResult parallel = sandbox.run(args({"-i", "in", "-o", "out", "-c", "png", "-q", "--threads=3"}) +
                                                QStringList{QStringLiteral("--report=") + name});
    EXPECT_EQ(parallel.exitCode, 3) << parallel.err.constData();
    const QByteArray report = reports::fileContent(sandbox.path(name));
    const QList<Row> rows = readRows(report, csv);
    ASSERT_EQ(rows.size(), 4) << report.constData();

    const char* names[] = {"a-one", "b-broken", "c-pages", "d-two"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rows[i].index, QString::number(i));
        EXPECT_EQ(rows[i].input,
                  sandbox.path(QStringLiteral("in/") + QLatin1String(names[i]) + QStringLiteral(".tif")));
    }
    EXPECT_EQ(rows[1].status, QStringLiteral("failed"));
    EXPECT_EQ(rows[1].reason, QStringLiteral("not a TIFF file"));
    EXPECT_EQ(rows[1].pages, QStringLiteral("0"));
    EXPECT_TRUE(rows[1].outputs.isEmpty());
    EXPECT_EQ(rows[1].outputBytes, QStringLiteral("0"));
    for (const int i : {0, 2, 3}) {
        EXPECT_EQ(rows[i].status, QStringLiteral("converted"));
        EXPECT_EQ(rows[i].reason, QString());
        EXPECT_EQ(rows[i].pages, QString::number(rows[i].outputs.size()));
        qint64 bytes = 0;
        for (const QString& output : rows[i].outputs) {
            EXPECT_TRUE(QFileInfo(output).isFile()) << output.toStdString();
            bytes += QFileInfo(output).size();
        }
        EXPECT_GT(bytes, 0);
        EXPECT_EQ(rows[i].outputBytes, QString::number(bytes));
    }
    EXPECT_EQ(rows[2].outputs, QStringList({sandbox.path(QStringLiteral("out/c-pages[1].png")),
                                            sandbox.path(QStringLiteral("out/c-pages[2].png")),
                                            sandbox.path(QStringLiteral("out/c-pages[3].png"))}));

    const e2e::RunResult sequential = sandbox.run(args({"-i", "in", "-o", "out", "-c", "png", "-q", "--threads=1"}) +
                                                  QStringList{QStringLiteral("--report=") + name});
    EXPECT_EQ(sequential.exitCode, 3);
    EXPECT_EQ(withoutTimes(reports::fileContent(sandbox.path(name))), withoutTimes(report));
}

INSTANTIATE_TEST_SUITE_P(Formats, Report, ::testing::Values("jsonl", "json", "csv", "CSV"));

struct RefusedCase {
    const char* option;
    const char* error;
};

// Refused before anything is collected or written.
TEST(BatchOptions, RefuseBadValuesBeforeTheRun)
{
    const RefusedCase cases[] = {
        {"--report=report.txt", "Error: Invalid report file name (it must end in .jsonl, .json or .csv)"},
        {"--report=report", "Error: Invalid report file name (it must end in .jsonl, .json or .csv)"},
        {"--report=no/such/folder/report.csv",
         "Error: Invalid report file: the folder %1/no/such/folder does not exist"},
        {"--shard=0/4", "Error: Invalid shard value (K/N with 1 <= K <= N)"},
        {"--shard=5/4", "Error: Invalid shard value (K/N with 1 <= K <= N)"},
        {"--shard=2", "Error: Invalid shard value (K/N with 1 <= K <= N)"},
        {"--shard=a/b", "Error: Invalid shard value (K/N with 1 <= K <= N)"},
    };
    const e2e::Sandbox sandbox;
    sandbox.writeTiff(QStringLiteral("in/a.tif"));
    for (const RefusedCase& c : cases) {
        const e2e::RunResult result = sandbox.run(args({"-i", "in", "-c", "png", "-q", c.option}));
        EXPECT_EQ(result.exitCode, 1) << c.option;
        // The error line, then the line that says what to do.
        EXPECT_EQ(result.errLines().value(0), QString::fromUtf8(c.error).replace(QStringLiteral("%1"), sandbox.workFolder()))
            << c.option;
        EXPECT_EQ(result.errLines().size(), 2) << c.option;
        EXPECT_EQ(sandbox.filesBelow(QStringLiteral("in")), QStringList{QStringLiteral("a.tif")}) << c.option;
    }
}

} // namespace
