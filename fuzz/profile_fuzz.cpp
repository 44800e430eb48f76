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
    if (!loadProfile(path, settings)) {
        std::abort(); // the file exists and is readable: the load must succeed
    }
    return 0;
}
