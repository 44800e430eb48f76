// The command-line option loop: the input split at NUL bytes into parameters (as the kernel hands
// them to a process), decoded as the locale decodes argv.
#include "app/settings.h"
#include "cli/command_line.h"
#include "engine/core/job_state.h"
#include "engine/formats/format_catalogue.h"
#include "fuzz_support.h"

#include <QDir>
#include <QStringList>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    buildFormatTables();
    // Relative folders and profile names resolve inside the scratch folder.
    QDir::setCurrent(fuzz::scratch().path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QStringList parameters;
    for (const QByteArray& part : fuzz::bytesOf(data, size).split('\0')) {
        parameters << QString::fromLocal8Bit(part);
    }
    Settings settings;
    resetToDefaults(settings, true);
    JobState job;
    (void)parseOptions(parameters, settings, job);
    (void)firstParameterSwitch(parameters);
    return 0;
}
