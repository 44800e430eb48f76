#include "engine/run/encoded_page.h"

#include "engine/core/output_naming.h"
#include "engine/steps/bit_depth.h"

#include <QFileInfo>

#include <algorithm>

void describePage(JobState& job, int width, int height)
{
    job.file.imageWidth = width;
    job.file.imageHeight = height;
    job.file.pageBpp = effectiveTargetBpp(job);
}

void nameEncodedPage(EncodedPage& encoded, const PagePlacement& placement, RunContext& context)
{
    const Settings& settings = context.settings;
    JobState& job = context.job;
    if (usesRunCounters(settings.advanced.filenameMask)) {
        context.needCounters();
    }
    job.file.outputPath = outputFilePath(settings, job);
    encoded.outputPath = placement.numbered
                             ? numberedOutputPath(job.file.outputPath, job.outputKey, placement.index + 1)
                             : job.file.outputPath;
    if (!encoded.failure && climbsOutOfFolder(encoded.outputPath.mid(job.outputFolder.size()))) {
        encoded.failure = {FileFailureKind::OutputLeavesFolder, encoded.outputPath};
    }
}

QString encodeBesidePath(const EncodedPage& encoded, const PagePlacement& placement)
{
    return placement.encodeFolder.isEmpty() ? encoded.outputPath
                                            : placement.encodeFolder + QFileInfo(encoded.outputPath).fileName();
}

QString numberedOutputPath(const QString& outputPath, const QString& outputKey, int pageNumber)
{
    const qsizetype tail = std::min<qsizetype>(outputKey.size() + 1, outputPath.size());
    QString numbered = outputPath;
    numbered.insert(outputPath.size() - tail, QLatin1Char('[') + QString::number(pageNumber) + QLatin1Char(']'));
    return numbered;
}
