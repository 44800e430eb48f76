#pragma once

#include "gui/desktop_records.h"
#include "gui/main_window.h"

#include <QSize>

#include <memory>

// The records of a windowed start with the default settings and the built-in pictures (no theme
// pack), and a main window over them. Tests change the settings before calling start().
struct WindowFixture {
    WindowFixture()
    {
        resetToDefaults(records.settings, false, QSize(1920, 1080));
        loadBuiltInImages(records.images);
    }

    // Builds the window and completes the start, as the windowed start does.
    MainWindow& start()
    {
        window = std::make_unique<MainWindow>(records);
        window->completeWindowedStart();
        return *window;
    }

    DesktopRecords records;
    std::unique_ptr<MainWindow> window;
};
