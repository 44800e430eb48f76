#include "engine/run/run_report.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

const char* statusName(FileStatus status)
{
    switch (status) {
    case FileStatus::Converted:
        return "converted";
    case FileStatus::Failed:
        return "failed";
    case FileStatus::Skipped:
        break;
    }
    return "skipped";
}

QByteArray jsonLine(const FileRecord& record)
{
    const QJsonObject object{
        {QStringLiteral("index"), record.position},
        {QStringLiteral("input"), record.input},
        {QStringLiteral("status"), QLatin1String(statusName(record.status))},
        {QStringLiteral("reason"), record.reason},
        {QStringLiteral("pages"), static_cast<int>(record.outputs.size())},
        {QStringLiteral("outputs"), QJsonArray::fromStringList(record.outputs)},
        {QStringLiteral("output_bytes"), static_cast<qint64>(record.outputBytes)},
        {QStringLiteral("milliseconds"), static_cast<qint64>(record.milliseconds)},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

// A field quoted when it holds a comma, a quote, a line break or outer blanks; quotes doubled.
QByteArray csvField(const QString& text)
{
    QByteArray field = text.toUtf8();
    const bool quote = field.contains(',') || field.contains('"') || field.contains('\n') || field.contains('\r') ||
                       (!field.isEmpty() && (field.front() == ' ' || field.back() == ' '));
    if (!quote) {
        return field;
    }
    field.replace("\"", "\"\"");
    return '"' + field + '"';
}

QByteArray csvRow(const QStringList& fields)
{
    QByteArrayList encoded;
    for (const QString& field : fields) {
        encoded << csvField(field);
    }
    return encoded.join(',') + "\r\n";
}

QByteArray csvLine(const FileRecord& record)
{
    return csvRow({QString::number(record.position), record.input, QLatin1String(statusName(record.status)),
                   record.reason, QString::number(record.outputs.size()), record.outputs.join(u'\n'),
                   QString::number(record.outputBytes), QString::number(record.milliseconds)});
}

} // namespace

std::optional<ReportFormat> reportFormatFor(const QString& path)
{
    const QString name = QFileInfo(path).fileName().toLower();
    if (name.endsWith(QLatin1String(".jsonl")) || name.endsWith(QLatin1String(".json"))) {
        return ReportFormat::JsonLines;
    }
    if (name.endsWith(QLatin1String(".csv"))) {
        return ReportFormat::Csv;
    }
    return std::nullopt;
}

void RunReport::addFile(int position, const QString& input)
{
    index_.insert(input, records_.size());
    records_.push_back(
        FileRecord{position, input, FileStatus::Skipped, QStringLiteral("run stopped before this file"), {}, 0, 0});
}

FileRecord* RunReport::find(const QString& input)
{
    const auto found = index_.constFind(input);
    return found == index_.constEnd() ? nullptr : &records_[found.value()];
}

namespace {

void setOutputs(FileRecord& record, const std::vector<QString>& outputs)
{
    record.outputs.clear();
    record.outputBytes = 0;
    for (const QString& output : outputs) {
        record.outputs << output;
        record.outputBytes += QFileInfo(output).size();
    }
}

} // namespace

void RunReport::markSkipped(const QString& input, const QString& reason, const QStringList& outputs)
{
    if (FileRecord* record = find(input)) {
        record->status = FileStatus::Skipped;
        record->reason = reason;
        setOutputs(*record, {outputs.begin(), outputs.end()});
    }
}

void RunReport::record(const FileResult& result)
{
    FileRecord* record = find(result.inputPath);
    if (record == nullptr) {
        return;
    }
    record->status = result.converted ? FileStatus::Converted : FileStatus::Failed;
    record->reason = result.converted ? QString() : describeFailure(result.failure);
    setOutputs(*record, result.outputs);
    record->milliseconds = result.milliseconds;
}

QByteArray reportText(const std::vector<FileRecord>& records, ReportFormat format)
{
    QByteArray text;
    if (format == ReportFormat::Csv) {
        text += csvRow({QStringLiteral("index"), QStringLiteral("input"), QStringLiteral("status"),
                        QStringLiteral("reason"), QStringLiteral("pages"), QStringLiteral("outputs"),
                        QStringLiteral("output_bytes"), QStringLiteral("milliseconds")});
    }
    for (const FileRecord& record : records) {
        text += format == ReportFormat::Csv ? csvLine(record) : jsonLine(record);
    }
    return text;
}

QString writeReport(const QString& path, const std::vector<FileRecord>& records)
{
    const std::optional<ReportFormat> format = reportFormatFor(path);
    if (!format) {
        return QStringLiteral("the name must end in .jsonl, .json or .csv");
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    file.write(reportText(records, *format));
    if (!file.commit()) {
        return file.errorString();
    }
    return {};
}
