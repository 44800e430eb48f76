#pragma once

#include "gui/desktop_records.h"
#include "gui/main_window.h"

#include "gui/list_commands.h"

#include <QComboBox>
#include <QDir>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>

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

// A started window whose list holds files of a temporary folder (added as the file requester
// adds them) and whose output folder is out/ in it.
struct ConvertFixture : WindowFixture {
    ConvertFixture() { QDir().mkpath(outputFolder()); }

    MainWindow& startWith(const QStringList& names)
    {
        start();
        QStringList paths;
        for (const QString& name : names) {
            paths.append(dir.filePath(name));
        }
        window->requesters().openFiles = [paths](QWidget*, const QString&, const QString&, const QString&) {
            return paths;
        };
        window->listCommands().selectInputFiles();
        useOutputFolder(outputFolder());
        return *window;
    }

    void useOutputFolder(const QString& folder)
    {
        QComboBox& chooser = window->outputFolderChooser();
        chooser.insertItem(0, folder);
        chooser.setCurrentIndex(0);
    }

    QString outputFolder() const { return dir.filePath(QStringLiteral("out/")); }

    QTemporaryDir dir;
};
