// Process entry: start-up order and mode dispatch.
#include "app/instance_guard.h"
#include "cli/command_line.h"
#include "cli/profile_writer.h"
#include "engine/core/library_messages.h"
#include "engine/write/devil_writer.h"
#include "gui/display_check.h"
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
    // Before anything can open an image, in every mode: libtiff and FreeImage talk about the files
    // they read (unknown private tags and the like) on standard error unless told otherwise. A
    // window's batch of photos would flood a terminal with such lines, or stall its workers once a
    // launcher's unread pipe fills; what they say goes to the program's own sink instead.
    installLibraryMessageHandlers();
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

    // A start that would open a window without a display says so at once, before the lock or the
    // configuration is touched (the screenshot mode looks at its folder first: a missing one ends it silently).
    const bool windowed = outcome.next == CommandLineOutcome::Next::StartWindowed;
    if ((windowed || outcome.next == CommandLineOutcome::Next::StartUninstallPage) && !displayAvailableOrReported()) {
        return 1;
    }

    // The windowed start and the hidden modes run once. A second windowed start hands its files to
    // the open window; a second hidden mode ends silently.
    InstanceGuard guard;
    const InstanceLock lock = guard.acquire();
    switch (lock.state) {
    case InstanceLock::State::Held:
        break;
    case InstanceLock::State::AlreadyRunning:
        return windowed ? runSecondWindowedStart(argc, argv, guard.windowSocketPath()) : 0;
    case InstanceLock::State::Failed:
        std::fprintf(stderr, "%s\n", qUtf8Printable(lock.problem));
        return 1;
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
    return runWindowedMode(argc, argv, guard.windowSocketPath(), consoleForms());
}
