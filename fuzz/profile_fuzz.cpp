// The profile load: arbitrary bytes saved as a profile file and applied to console defaults.
#include "app/settings.h"
#include "cli/profile.h"
#include "fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::scratchPath(QStringLiteral("profile.ini"));
    if (!fuzz::writeScratchFile(path, fuzz::bytesOf(data, size))) {
        return 0;
    }
    Settings settings;
    resetToDefaults(settings, true);
    RunLimits limits;
    // The file exists and is readable: the load may refuse a bad --THREADS or --MEMORY value, never
    // the file.
    if (loadProfile(path, settings, limits) == QLatin1String("Invalid profile file")) {
        std::abort();
    }
    return 0;
}
