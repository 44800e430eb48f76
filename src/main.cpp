// Process entry: start-up order and mode dispatch.
#include "app/instance_guard.h"
#include "cli/command_line.h"
#include "engine/devil_writer.h"
#include "gui/screenshot_mode.h"
#include "gui/uninstall_page.h"
#include "gui/windowed_start.h"

#include <QString>
#include <QStringList>

#include <cstdio>

namespace {

QStringList parametersOf(int argc, char** argv)
{
    QStringList parameters;
    for (int i = 1; i < argc; ++i) {
        parameters << QString::fromLocal8Bit(argv[i]);
    }
    return parameters;
}

} // namespace

int main(int argc, char** argv)
{
    // The format key lists and tables are constant data, ready before anything runs.
    const DevilLibrary devil;

    const QStringList parameters = parametersOf(argc, argv);
    InstanceGuard guard;
    if (!guard.acquire()) {
        if (parameters.isEmpty()) {
            return 0;
        }
        std::fputs("Error: Another instance of Tessaline is running\n", stderr);
        return 1;
    }

    if (!parameters.isEmpty()) {
        const CommandLineOutcome outcome = runCommandLine(argc, argv, parameters);
        switch (outcome.next) {
        case CommandLineOutcome::Next::Exit:
            return outcome.exitStatus;
        case CommandLineOutcome::Next::StartUninstallPage:
            return runUninstallPage(argc, argv);
        case CommandLineOutcome::Next::StartScreenshots:
            return runScreenshotMode(argc, argv, outcome.screenshotFolder);
        case CommandLineOutcome::Next::StartWindowed:
            break;
        }
    }
    return runWindowedMode(argc, argv, parameters);
}
