#include "engine/core/file_failure.h"

#include "engine/decode/page_loader.h"

#include <QFile>
#include <QFileInfo>

#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

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

bool folderIsFull(const QString& folder)
{
    struct statvfs space {};
    return statvfs(QFile::encodeName(folder).constData(), &space) == 0 && space.f_bavail == 0;
}

} // namespace

QString describeFailure(const FileFailure& failure)
{
    const QString& detail = failure.detail;
    switch (failure.kind) {
    case FileFailureKind::None:
        return {};
    case FileFailureKind::InputMissing:
        return QStringLiteral("no such file");
    case FileFailureKind::InputUnreadable:
        return QStringLiteral("cannot be read (permission denied or I/O error)");
    case FileFailureKind::NotTiff:
        return QStringLiteral("not a TIFF file");
    case FileFailureKind::Damaged:
        return detail.isEmpty() ? QStringLiteral("truncated or damaged TIFF")
                                : QStringLiteral("truncated or damaged TIFF (%1)").arg(detail);
    case FileFailureKind::PageTooLarge:
        return QStringLiteral("page too large (%1)").arg(detail);
    case FileFailureKind::NoPages:
        return QStringLiteral("no page with pixels");
    case FileFailureKind::ProcessingFailed:
        return QStringLiteral("image processing failed (result too large or out of memory)");
    case FileFailureKind::OutOfMemory:
        return QStringLiteral("out of memory");
    case FileFailureKind::OutputFolderMissing:
        return QStringLiteral("output folder does not exist");
    case FileFailureKind::PermissionDenied:
        return QStringLiteral("permission denied");
    case FileFailureKind::DiskFull:
        return QStringLiteral("disk full");
    case FileFailureKind::FileTooLarge:
        return QStringLiteral("file too large for the file size limit");
    case FileFailureKind::WriteFailed:
        return QStringLiteral("the %1 writer failed").arg(detail.toUpper());
    case FileFailureKind::RenameFailed:
        return QStringLiteral("the finished file could not be renamed to %1").arg(detail);
    case FileFailureKind::OutputNameUsed:
        return QStringLiteral("output name already used by %1").arg(detail);
    case FileFailureKind::WouldOverwriteInput:
        return QStringLiteral("would overwrite an input file (%1)").arg(detail);
    case FileFailureKind::Abandoned:
        return QStringLiteral("stopped before it was finished");
    }
    return {};
}

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

FileFailure diagnoseWriteFailure(const QString& path, int savedErrno, const QString& outputKey)
{
    switch (savedErrno) {
    case ENOSPC:
    case EDQUOT:
        return {FileFailureKind::DiskFull};
    case EFBIG:
        return {FileFailureKind::FileTooLarge};
    case EACCES:
    case EPERM:
    case EROFS:
        return {FileFailureKind::PermissionDenied};
    default:
        break;
    }
    // The writers' own errno is not always kept; the state of the folder tells the common cases.
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        return {FileFailureKind::OutputFolderMissing};
    }
    if (access(QFile::encodeName(folder).constData(), W_OK) != 0) {
        return {FileFailureKind::PermissionDenied};
    }
    if (folderIsFull(folder)) {
        return {FileFailureKind::DiskFull};
    }
    return {FileFailureKind::WriteFailed, outputKey};
}
