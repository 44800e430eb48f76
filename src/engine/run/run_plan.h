#pragma once

#include "app/settings.h"
#include "engine/core/job_state.h"
#include "engine/inputs/input_file_list.h"

#include <QString>
#include <QStringList>

#include <vector>

// What a run will write, worked out without decoding or writing anything: the output names of
// every input (one per selected page of a multi-page file, numbered as the run numbers them),
// from the TIFF page headers alone.
//
// %width%, %height% and %bpp% come from each page's header, through the rotation (the bounding
// box of a free angle is an estimate), the resize and the icon size cap; %n% and %rnd% assume that
// every earlier file converts; the date placeholders read the clock now.

// Which files of the collected list a run converts: all of them, or one of `count` shards, the
// files whose 0-based position modulo count is index (0-based here).
struct ShardSelection {
    int index = 0;
    int count = 1;

    bool takes(int position) const { return position % count == index; }
    bool isWhole() const { return count == 1; }
};

// The output paths of one input file, in page order. job holds the run fields (output folder and
// key, bit depths) and the counters of the file's turn.
QStringList plannedOutputPaths(const Settings& settings, const JobState& job, const InputFileEntry& entry);

// Whether a file is up to date: it has outputs, each one exists and none is older than the
// input (make's rule; an output stamped with the input's own time counts as up to date).
bool outputsUpToDate(const QString& inputPath, const QStringList& outputs);

enum class PlanFlag : unsigned {
    None = 0,
    Exists = 1,          // the output exists already and would be replaced
    Collision = 2,       // an earlier input of the list maps to the same output (detail names it)
    OverwritesInput = 4, // the output is one of the run's input files
    UpToDate = 8,        // --update: every output of the input is up to date; it is skipped
};

struct PlannedOutput {
    QString output;
    unsigned flags = 0;
    QString collidesWith; // the earlier input, for Collision
};

struct PlannedFile {
    int position = 0; // in the collected list, from 0
    QString inputPath;
    std::vector<PlannedOutput> outputs;

    bool upToDate() const { return !outputs.empty() && (outputs.front().flags & unsigned(PlanFlag::UpToDate)) != 0; }
};

struct PlanOptions {
    ShardSelection shard;
    bool update = false; // mark the inputs --update would skip
};

// The plan of a run over `files`, for the files of the shard, with the flags decided over the
// whole list in list order (as the run's output-name ledger decides them).
std::vector<PlannedFile> planRun(const Settings& settings, const JobState& job, const InputFileList& files,
                                 const PlanOptions& options);

// One line of the printed plan: "input<TAB>output", then "<TAB>" and the flags in words when
// there are any ("exists, collides with /in/a.tif").
QString planLine(const PlannedFile& file, const PlannedOutput& output);

// Whether the plan has an output the run would refuse (a collision or an input overwritten).
bool planHasConflict(const std::vector<PlannedFile>& plan);
