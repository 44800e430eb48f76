#pragma once

// engine/run: a conversion run, the top room of the engine. The checks before anything is
// converted and the problems they report (run_checks.h, run_problems.h), the plan and dry run,
// the page pipeline in its fixed order (pipeline.h), the memory budget, the output-name ledger,
// the run driver with its workers (this file) and the report. The console and the window start
// runs here.

#include "app/settings.h"
#include "engine/core/job_state.h"
#include "engine/core/run_context.h"
#include "engine/core/run_progress.h"
#include "engine/inputs/input_file_list.h"

#include <QString>

#include <cstdint>

// The run fields both starters fill from job.outputKey before the worker starts: formatId, the
// target bit depth from the format's bit-depth setting, the writer flags, and autoBpp (target
// depth 0); the file's page depth starts at the target depth. False when job.outputKey is not an
// output format; nothing is changed then.
bool prepareRun(const Settings& settings, JobState& job);

// The conversion worker, run on its own thread after progress.start(). Walks the list in the
// order it was filled; for each file sets job.file.inputPath and job.file.subfolder, publishes the progress,
// creates the output subfolders (Keep Subfolders), converts the file, and after a success draws a
// new %rnd% value, advances %n% and sets the outputs' modification time (Advanced/File Timestamp).
// Stops between files when progress.running is cleared (progress.stop(): the files in hand
// finish); progress.abandon() also drops the files in hand at their next gate, between pages or
// between the steps of a page, keeping the pages they saved. While the run is paused every worker
// waits at the next gate: between files, pages and steps, and before a finished file takes its
// output names. Writes the success count to progress.convertedCount at the end.
//
// With workerCount > 1 it converts that many files at once, and everything a user can observe is
// as in a sequential run: files are taken up and finished in list order (processedCount, debug
// lines, counters, time stamps), outputs that share a name replace each other in list order, a
// file whose name or watermark uses %n%/%rnd% waits for the counters of its own turn, and a stop
// lets the files in hand finish and starts no new one.
//
// The files converted at once share a memory budget of memoryBudget bytes (0: the default budget,
// defaultMemoryBudget()): a file waits until its largest page fits beside the pages the others
// hold, and one that needs more than the budget runs alone (engine/run/memory_budget.h).
void conversionWorker(RunContext& context, const InputFileList& files, RunProgress& progress, int workerCount = 1,
                      std::uint64_t memoryBudget = 0);

// One worker per core.
int defaultWorkerCount();
// The cores a run of `workers` workers leaves free, shared out to the pages it converts.
int spareThreadsBeside(int workers);

// More workers than this only cost memory (each holds one decoded page).
inline constexpr int maxWorkerCount = 64;

// Creates job.outputFolder + job.file.subfolder when it is missing. Failures show as failed saves.
void createOutputSubfolders(const JobState& job);

// Sets the modification time of an output file by Advanced/File Timestamp: 1 that of
// job.file.inputPath, 2 Advanced/Custom Timestamp (local seconds), anything else leaves it. Returns
// false when the time could not be set (callers do not check it).
bool applyOutputTimestamp(const Settings& settings, const JobState& job, const QString& outputFile);
