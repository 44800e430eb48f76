#include "cli/batch_run.h"

#include "cli/console_output.h"
#include "engine/run/run_plan.h"

#include <QFileInfo>

int printPlan(const Settings& settings, const JobState& job, const InputFileList& collected,
              const BatchOptions& options, ConsoleOutput& console, bool quiet)
{
    const std::vector<PlannedFile> plan = planRun(settings, job, collected, {options.shard, options.update});
    int outputs = 0;
    int existing = 0;
    int conflicts = 0;
    for (const PlannedFile& file : plan) {
        for (const PlannedOutput& output : file.outputs) {
            console.line(planLine(file, output));
            ++outputs;
            existing += (output.flags & (unsigned(PlanFlag::Exists) | unsigned(PlanFlag::UpToDate))) != 0 ? 1 : 0;
            conflicts +=
                (output.flags & (unsigned(PlanFlag::Collision) | unsigned(PlanFlag::OverwritesInput))) != 0 ? 1 : 0;
        }
    }
    if (!quiet) {
        console.line(QStringLiteral("Plan: %1 files, %2 outputs, %3 existing, %4 refused (collision or input)")
                         .arg(plan.size())
                         .arg(outputs)
                         .arg(existing)
                         .arg(conflicts));
    }
    return planHasConflict(plan) ? 1 : 0;
}

RunSelection selectRunFiles(const Settings& settings, const JobState& job, const InputFileList& collected,
                            const BatchOptions& options, RunReport& report)
{
    RunSelection selection;
    if (!options.update) {
        int position = 0;
        for (const InputFileEntry& entry : collected) {
            if (options.shard.takes(position)) {
                report.addFile(position, entry.path);
                selection.files.insert(entry.path, entry.subfolder);
            }
            ++position;
        }
        return selection;
    }
    // Which files are up to date is what the plan says.
    for (const PlannedFile& file : planRun(settings, job, collected, {options.shard, true})) {
        report.addFile(file.position, file.inputPath);
        if (!file.upToDate()) {
            selection.files.insert(file.inputPath, collected.find(file.inputPath)->subfolder);
            continue;
        }
        ++selection.skipped;
        QStringList outputs;
        for (const PlannedOutput& output : file.outputs) {
            outputs << output.output;
            selection.keptOutputs.emplace_back(output.output, file.inputPath);
        }
        report.markSkipped(file.inputPath, QStringLiteral("outputs up to date"), outputs);
    }
    return selection;
}

QString reportPathProblem(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        return QStringLiteral("%1 is a folder").arg(path);
    }
    if (!QFileInfo(info.absolutePath()).isDir()) {
        return QStringLiteral("the folder %1 does not exist").arg(info.absolutePath());
    }
    return {};
}
