// The filename mask and watermark text expansion: the first bytes pick the job's counters and
// sizes, the rest is the mask (and the watermark text).
#include "app/settings.h"
#include "engine/core/job_state.h"
#include "engine/core/output_naming.h"
#include "fuzz_support.h"

#include <cstring>

namespace {

std::int32_t take(const std::uint8_t*& data, std::size_t& size)
{
    std::int32_t value = 0;
    if (size >= sizeof value) {
        std::memcpy(&value, data, sizeof value);
        data += sizeof value;
        size -= sizeof value;
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Settings settings;
    resetToDefaults(settings, true);
    JobState job;
    job.randomValue = take(data, size);
    job.counterValue = take(data, size);
    job.targetBpp = take(data, size);
    job.imageWidth = take(data, size);
    job.imageHeight = take(data, size);
    job.inputPath = QStringLiteral("/in/sub/Page.Scan.tif");
    job.outputFolder = QStringLiteral("/out/");
    job.subfolder = QStringLiteral("sub/");
    job.outputKey = QStringLiteral("png");
    const QString text = QString::fromUtf8(fuzz::bytesOf(data, size));
    settings.advanced.filenameMask = text;
    settings.watermark.text = text;
    (void)outputFileName(settings, job);
    (void)outputFilePath(settings, job);
    (void)expandWatermarkText(settings, job);
    return 0;
}
