#pragma once

#include "app/settings.h"
#include "engine/core/job_state.h"
#include "engine/inputs/input_file_list.h"
#include "themes/image_sets.h"
#include "themes/theme_pack.h"

#include <QString>

#include <cstdint>

// What the main window rebuilds after Preferences stored new settings.
enum class InterfaceChange : std::uint8_t {
    None = 0,
    Theme = 1,    // every picture, the menus and the toolbar (whatever the icon size did)
    IconSize = 2, // the toolbar and its pictures alone
};

// What the window keeps between its own commands, beside the run's record.
struct WindowState {
    InterfaceChange interfaceChange = InterfaceChange::None;
    std::uint8_t preferencesStartPage = 0; // the page Preferences opens on next; 0 is General
};

// The records of one windowed session: the settings loaded from the configuration file, the
// working state of the list and the run, the input list, the pictures and the installed themes.
// Owned by the session; the windows work on them by reference.
struct DesktopRecords {
    Settings settings;
    JobState job;
    WindowState window;
    InputFileList inputFiles;
    ImageSets images;
    ThemeTable themes;
    QString gfxFolder;  // the theme packs' folder, with a trailing "/"
    QString configPath; // where Preferences saves the settings; empty: nowhere
};
