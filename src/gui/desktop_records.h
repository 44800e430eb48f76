#pragma once

#include "app/settings.h"
#include "engine/inputs/input_file_list.h"
#include "engine/core/job_state.h"
#include "themes/image_sets.h"
#include "themes/theme_pack.h"

#include <QString>

// The records of one windowed session: the settings loaded from the configuration file, the
// working state of the list and the run, the input list, the pictures and the installed themes.
// Owned by the session; the windows work on them by reference.
struct DesktopRecords {
    Settings settings;
    JobState job;
    InputFileList inputFiles;
    ImageSets images;
    ThemeTable themes;
    QString gfxFolder;  // the theme packs' folder, with a trailing "/"
    QString configPath; // where Preferences saves the settings; empty: nowhere
};
