#include "engine/decode/input_diagnosis.h"

#include "engine/core/page_limits.h"
#include "engine/decode/page_loader.h"

#include <QFile>
#include <QFileInfo>

namespace {

bool beginsLikeTiff(const QByteArray& head)
{
    // Classic TIFF ("II*\0", "MM\0*") and BigTIFF ("II+\0", "MM\0+").
    return head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4)) ||
           head.startsWith(QByteArray("II+\0", 4)) || head.startsWith(QByteArray("MM\0+", 4));
}

FileFailure tooLarge(const TiffPageHeader& header)
{
    return {FileFailureKind::PageTooLarge, QStringLiteral("%1 x %2").arg(header.width).arg(header.height)};
}

} // namespace

FileFailure diagnoseUnreadableInput(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        return {FileFailureKind::InputMissing};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {FileFailureKind::InputUnreadable};
    }
    if (!beginsLikeTiff(file.read(4))) {
        return {FileFailureKind::NotTiff};
    }
    for (const TiffPageHeader& header : readTiffPageHeaders(path)) {
        if (header.width != 0 && header.height != 0 && !pageSizeAllowed(header.width, header.height)) {
            return tooLarge(header);
        }
    }
    return {FileFailureKind::Damaged};
}

FileFailure diagnoseFailedPage(const QString& path, int index)
{
    const std::vector<TiffPageHeader> headers = readTiffPageHeaders(path);
    if (index >= 0 && static_cast<std::size_t>(index) < headers.size()) {
        const TiffPageHeader& header = headers[static_cast<std::size_t>(index)];
        if (!pageSizeAllowed(header.width, header.height)) {
            return tooLarge(header);
        }
    }
    return {FileFailureKind::Damaged, QStringLiteral("page %1").arg(index + 1)};
}
