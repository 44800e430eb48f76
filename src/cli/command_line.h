#pragma once

#include <QStringList>

#include <optional>

// Handles a start with parameters: the first-parameter switches, the option loop and, when an
// input was named, the console run. Returns the process exit status when the command line did
// its work, or nothing when the windowed mode is to start as if there had been no parameters.
// argc/argv are passed through for the Qt application a drawing console run creates.
std::optional<int> runCommandLine(int& argc, char** argv, const QStringList& parameters);
