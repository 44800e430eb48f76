#pragma once

#include "app/settings.h"
#include "engine/core/job_state.h"
#include "engine/run/run_checks.h"

#include <QString>

// The line the console writes after the "Error: " line of a run check, and after "No input file(s)
// found": the path, the option or the value concerned, why it was refused and what to do. Each
// begins with two blanks; empty when there is nothing to add.

// For a problem the checks found, with the settings the run had.
QString runProblemDetail(const RunProblem& problem, const Settings& settings);

// For a run whose input yielded no file: what was looked at and which files are taken. job holds
// the completed input (inputPath for a file or list, inputFolder for a folder).
QString emptyInputDetail(const JobState& job);
