// Process entry: start-up order and mode dispatch.
#include "app/instance_guard.h"
#include "cli/command_line.h"
#include "cli/profile_writer.h"
#include "engine/write/devil_writer.h"
#include "gui/screenshot_mode.h"
#include "gui/uninstall_page.h"
#include "gui/windowed_start.h"

#include <QString>
#include <QStringList>

#include <cstdio>

namespace {

// The window hands its settings to the console tool in the console's own words.
ConsoleForms consoleForms()
{
    return ConsoleForms{{}, profileText, applyProfile, consoleCommandLine};
}

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
    // The command line comes first: a console run neither takes the single-instance lock nor is
    // refused by it. The lock keeps two windows from writing one configuration file, which the
    // console never touches, and users run several batches at once.
    CommandLineOutcome outcome{CommandLineOutcome::Next::StartWindowed, 0, {}};
    if (!parameters.isEmpty()) {
        outcome = runCommandLine(argc, argv, parameters);
        if (outcome.next == CommandLineOutcome::Next::Exit) {
            return outcome.exitStatus;
        }
    }

    // The windowed start and the hidden modes run once: a second one ends silently.
    InstanceGuard guard;
    if (!guard.acquire()) {
        return 0;
    }
    switch (outcome.next) {
    case CommandLineOutcome::Next::StartUninstallPage:
        return runUninstallPage(argc, argv);
    case CommandLineOutcome::Next::StartScreenshots:
        return runScreenshotMode(argc, argv, outcome.screenshotFolder);
    case CommandLineOutcome::Next::Exit:
    case CommandLineOutcome::Next::StartWindowed:
        break;
    }
    return runWindowedMode(argc, argv, consoleForms());
}
