#pragma once

#include "app/settings.h"
#include "engine/run/run_plan.h"

#include <QString>
#include <QStringList>

#include <optional>

// The options for large batches and scripts: a plan instead of a run, a report of every file,
// incremental runs and shards of one list over several processes or machines.
struct BatchOptions {
    bool dryRun = false;
    bool update = false;
    QString reportPath; // empty: no report
    ShardSelection shard;
};

// "K/N" with 1 <= K <= N, as --shard takes it; nothing for anything else.
std::optional<ShardSelection> readShard(const QString& value);

// The warnings the batch options give once everything is parsed: names (or watermark texts)
// that use the run counters differ between shards and one whole run; a dry run writes no report.
QStringList batchOptionWarnings(const BatchOptions& options, const Settings& settings);
