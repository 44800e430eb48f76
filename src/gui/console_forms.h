#pragma once

#include "app/settings.h"

#include <QByteArray>
#include <QString>

#include <functional>

// What the window needs from the console's option table to hand its settings to the console tool:
// a profile file's text, a profile applied to the settings, a command line. The desktop interface
// does not depend on the command-line code; the process entry, which links both, supplies these.
struct ConsoleForms {
    // The executable a copied command runs; empty: this program.
    QString program;
    std::function<QByteArray(const Settings& settings)> profileText;
    // The "Error: " text of a profile that cannot be read; empty when it was applied.
    std::function<QString(const QString& path, Settings& settings)> applyProfile;
    std::function<QString(const QString& program, const QString& input, const QString& outputFolder,
                          const QString& outputKey, const Settings& settings)>
        commandLine;

    // Without them (a window built without the console's code) the three commands do nothing.
    bool available() const { return profileText && applyProfile && commandLine; }
};
