#include "cli/batch_options.h"

#include "engine/core/output_naming.h"

#include <QRegularExpression>

std::optional<ShardSelection> readShard(const QString& value)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,9})\\s*/\\s*(\\d{1,9})\\s*$"));
    const QRegularExpressionMatch match = form.match(value);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const int k = match.captured(1).toInt();
    const int n = match.captured(2).toInt();
    if (k < 1 || k > n) {
        return std::nullopt;
    }
    return ShardSelection{k - 1, n};
}

QStringList batchOptionWarnings(const BatchOptions& options, const Settings& settings)
{
    QStringList warnings;
    if (!options.shard.isWhole()) {
        if (usesRunCounters(settings.advanced.filenameMask)) {
            warnings << QStringLiteral("the filename mask uses %n% or %rnd%: output names are not shard-stable "
                                       "(each shard counts its own files)");
        }
        if (settings.watermark.doWatermark == 1 && usesRunCounters(settings.watermark.text)) {
            warnings << QStringLiteral("the watermark text uses %n% or %rnd%: watermarks are not shard-stable "
                                       "(each shard counts its own files)");
        }
    }
    if (options.dryRun && !options.reportPath.isEmpty()) {
        warnings << QStringLiteral("--report is not written by a dry run");
    }
    return warnings;
}
