#pragma once

#include "app/settings.h"
#include "engine/core/job_state.h"
#include "engine/run/run_checks.h"

#include <QString>
#include <QStringList>

// The debug echo of a console run (-d): every effective setting, one "Label: value" line each, in
// the order the run checks them. A check that failed ends the echo after the lines that come
// before it, so the "Error: " line follows the value it refers to.
struct EchoFacts {
    QString inputAsGiven;   // the -i value
    QString outputAsChosen; // the output folder before it was completed
};

QStringList consoleEcho(const Settings& settings, const JobState& job, const EchoFacts& facts, RunProblemKind failed);

// The lines of the output format block for the format of key (its bit depth, then its own
// encoder settings).
QStringList outputFormatEcho(const Settings& settings, const QString& key);
