// The configuration file load: arbitrary bytes read as the file, then written back and read again;
// the second read must reproduce what the first one made of the bytes.
#include "app/config_file.h"
#include "app/settings.h"
#include "fuzz_support.h"

#include <cstdlib>

// With TESSALINE_FUZZ_WRITE_SEED set, writes the default file as the program saves it there: the
// seed the corpus starts from (fuzz/make-seeds.sh).
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (const char* seed = std::getenv("TESSALINE_FUZZ_WRITE_SEED")) {
        Settings settings;
        resetToDefaults(settings, false);
        fuzz::writeScratchFile(QString::fromLocal8Bit(seed), serialiseConfiguration(settings));
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Settings settings;
    resetToDefaults(settings, false);
    readConfiguration(settings, fuzz::bytesOf(data, size));

    const QByteArray saved = serialiseConfiguration(settings);
    Settings again;
    resetToDefaults(again, false);
    readConfiguration(again, saved);
    if (serialiseConfiguration(again) != saved) {
        std::abort(); // a setting did not survive a save and load
    }
    return 0;
}
