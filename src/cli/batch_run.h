#pragma once

#include "app/settings.h"
#include "cli/batch_options.h"
#include "engine/core/job_state.h"
#include "engine/inputs/input_file_list.h"
#include "engine/run/run_report.h"

#include <QString>

#include <utility>
#include <vector>

class ConsoleOutput;

// The console's side of the batch options: the printed plan of --dry-run, the files a run takes
// from the collected list (its shard, less what --update skips), and the report.

// Prints the plan of the run, one line per output, and a closing count (unless quiet). Returns
// the exit status: 0, or 1 when an output collides or would replace an input.
int printPlan(const Settings& settings, const JobState& job, const InputFileList& collected,
              const BatchOptions& options, ConsoleOutput& console, bool quiet);

// The part of the collected list a run converts.
struct RunSelection {
    InputFileList files;                                  // in list order
    std::vector<std::pair<QString, QString>> keptOutputs; // (output, input) of the skipped files
    int skipped = 0;                                      // up to date (--update)
};

// Takes the files of the shard and, with --update, leaves out those whose outputs are up to date.
// Every file taken or skipped gets its record in the report, in list order.
RunSelection selectRunFiles(const Settings& settings, const JobState& job, const InputFileList& collected,
                            const BatchOptions& options, RunReport& report);

// Why the report could not be written where the options name it, checked before the run ("the
// folder /x does not exist"); empty when it can.
QString reportPathProblem(const QString& path);
