#pragma once

#include "app/settings.h"
#include "engine/core/job_state.h"

#include <QString>

// The file name of the page being saved: Advanced/Filename Mask lower-cased (empty means
// "%filename%.%ext%") with every placeholder replaced, without regard to letter case, by the
// values of the job (input name, output key, bit depth, size, the %rnd% and %n% counters) and of
// the local clock.
QString outputFileName(const Settings& settings, const JobState& job);

// job.outputFolder, then job.file.subfolder when Advanced/Keep Subfolders is on, then outputFileName.
QString outputFilePath(const Settings& settings, const JobState& job);

// Why the names a filename mask makes would leave the output folder they are written below: the
// mask begins with "/" or has a ".." component once its placeholders are replaced (no placeholder
// value holds a "/"). Empty when they stay inside it.
QString filenameMaskEscape(const QString& mask);

// Whether a name made below a folder leaves it through a ".." component. A mask that passed
// filenameMaskEscape still can: an input named "...tif" gives %filename% the value "..".
bool climbsOutOfFolder(const QString& relativePath);

// Whether a mask or watermark text names the run counters %n% or %rnd% (in any letter case),
// whose values depend on how many earlier files were converted.
bool usesRunCounters(const QString& text);

// Watermark/Text with the same placeholders replaced; its literal text keeps its letter case.
// A text with fewer than two "%" is returned unchanged. "%eol%" is left for the watermark.
QString expandWatermarkText(const Settings& settings, const JobState& job);
