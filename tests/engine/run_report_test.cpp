#include "engine/run/run_report.h"

#include "support/report_reader.h"

#include <QDir>
#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Names a shell allows and a careless writer breaks: separators, quotes, line breaks, blanks at
// the ends, non-ASCII letters.
const char* const kAwkwardNames[] = {
    "/in/plain.tif",
    "/in/comma,name.tif",
    "/in/\"quoted\".tif",
    "/in/line\nbreak.tif",
    "/in/ leading and trailing .tif",
    "/in/Ærøskøbing ✓.tif",
    "/in/back\\slash;semi.tif",
};

std::vector<FileRecord> awkwardRecords()
{
    std::vector<FileRecord> records;
    int position = 0;
    for (const char* name : kAwkwardNames) {
        const QString input = QString::fromUtf8(name);
        records.push_back(
            FileRecord{position++, input, FileStatus::Converted, {}, {input + ".png", input + "[2].png"}, 1234, 56});
    }
    records.push_back(
        FileRecord{position, "/in/x.tif", FileStatus::Failed, "output name already used by /in/a,b.tif", {}, 0, 3});
    return records;
}

TEST(RunReport, CsvReadsBackFieldForField)
{
    const std::vector<FileRecord> records = awkwardRecords();
    bool ok = false;
    const QList<QStringList> rows = reports::parseCsv(reportText(records, ReportFormat::Csv), ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(rows.size(), static_cast<qsizetype>(records.size() + 1));
    for (std::size_t i = 0; i < records.size(); ++i) {
        const QStringList& row = rows.at(static_cast<qsizetype>(i + 1));
        const FileRecord& record = records[i];
        ASSERT_EQ(row.size(), 8);
        EXPECT_EQ(row.at(0), QString::number(record.position));
        EXPECT_EQ(row.at(1), record.input);
        EXPECT_EQ(row.at(3), record.reason);
        EXPECT_EQ(row.at(4), QString::number(record.outputs.size()));
        EXPECT_EQ(row.at(5), record.outputs.join(u'\n'));
        EXPECT_EQ(row.at(6), QString::number(record.outputBytes));
        EXPECT_EQ(row.at(7), QString::number(record.milliseconds));
    }
    EXPECT_EQ(rows.last().at(2), QStringLiteral("failed"));
}

TEST(RunReport, JsonLinesReadBackFieldForField)
{
    const std::vector<FileRecord> records = awkwardRecords();
    const QByteArray text = reportText(records, ReportFormat::JsonLines);
    EXPECT_EQ(text.count('\n'), static_cast<qsizetype>(records.size())) << "one line per record";
    bool ok = false;
    const QList<QJsonObject> objects = reports::parseJsonLines(text, ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(objects.size(), static_cast<qsizetype>(records.size()));
    for (std::size_t i = 0; i < records.size(); ++i) {
        const QJsonObject& object = objects.at(static_cast<qsizetype>(i));
        EXPECT_EQ(object.value("index").toInt(), records[i].position);
        EXPECT_EQ(object.value("input").toString(), records[i].input);
        EXPECT_EQ(object.value("outputs").toArray().toVariantList().size(), records[i].outputs.size());
        EXPECT_EQ(object.value("outputs").toArray().at(0).toString(), records[i].outputs.value(0));
        EXPECT_EQ(object.value("output_bytes").toInteger(), records[i].outputBytes);
    }
}

TEST(RunReport, FormatFollowsTheNameAndTheWriteIsAtomic)
{
    struct Case {
        const char* name;
        std::optional<ReportFormat> format;
    };
    const Case cases[] = {{"r.jsonl", ReportFormat::JsonLines},
                          {"r.JSON", ReportFormat::JsonLines},
                          {"dir.csv/r.Csv", ReportFormat::Csv},
                          {"r.csv.txt", std::nullopt},
                          {"report", std::nullopt},
                          {"r.jsonl.bak", std::nullopt}};
    for (const Case& c : cases) {
        EXPECT_EQ(reportFormatFor(QString::fromUtf8(c.name)), c.format) << c.name;
    }

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("r.csv"));
    ASSERT_EQ(writeReport(path, awkwardRecords()), QString());
    const QByteArray before = reports::fileContent(path);
    // A report that cannot be written leaves the earlier one as it was.
    EXPECT_FALSE(writeReport(folder.filePath(QStringLiteral("missing/r.csv")), {}).isEmpty());
    EXPECT_FALSE(writeReport(folder.filePath(QStringLiteral("r.txt")), {}).isEmpty());
    EXPECT_EQ(reports::fileContent(path), before);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("r.csv")});
}

} // namespace
