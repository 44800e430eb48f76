#include "engine/core/file_failure.h"

#include <QFile>
#include <QFileInfo>

#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

namespace {

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
    case FileFailureKind::OutputLeavesFolder:
        return QStringLiteral("output name %1 would leave the output folder").arg(detail);
    case FileFailureKind::Abandoned:
        return QStringLiteral("stopped before it was finished");
    }
    return {};
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
