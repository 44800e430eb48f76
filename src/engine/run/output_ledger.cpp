#include "engine/run/output_ledger.h"

#include "engine/write/image_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

QString resolvedOutputName(const QString& path)
{
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty()) {
        return QDir::cleanPath(info.absoluteFilePath());
    }
    return folder + u'/' + info.fileName();
}

OutputLedger::OutputLedger(const InputFileList& inputs)
{
    for (const InputFileEntry& entry : inputs) {
        const QFileInfo info(entry.path);
        inputs_.insert(QDir::cleanPath(info.absoluteFilePath()));
        inputs_.insert(resolve(entry.path));
        // A symbolic link to an input names the same data.
        if (const QString target = linkTarget(entry.path); !target.isEmpty()) {
            inputs_.insert(target);
        }
    }
}

QString OutputLedger::resolve(const QString& path) const
{
    const QFileInfo info(path);
    const QString absoluteFolder = info.absolutePath();
    QString folder;
    {
        const std::lock_guard lock(foldersLock_);
        folder = canonicalFolders_.value(absoluteFolder);
    }
    if (folder.isEmpty()) {
        folder = QFileInfo(absoluteFolder).canonicalFilePath();
        if (folder.isEmpty()) {
            // Not there (yet): not remembered, it may be created during the run.
            return QDir::cleanPath(info.absoluteFilePath());
        }
        const std::lock_guard lock(foldersLock_);
        canonicalFolders_.insert(absoluteFolder, folder);
    }
    return folder + u'/' + info.fileName();
}

QString OutputLedger::linkTarget(const QString& path) const
{
    const QFileInfo info(path);
    return info.isSymLink() ? info.canonicalFilePath() : QString();
}

FileFailure OutputLedger::check(const QString& outputPath, const QString& inputPath) const
{
    const QString name = resolve(outputPath);
    const QString target = linkTarget(outputPath);
    const std::lock_guard lock(lock_);
    if (inputs_.contains(name) || (!target.isEmpty() && inputs_.contains(target))) {
        return {FileFailureKind::WouldOverwriteInput, outputPath};
    }
    const auto earlier = written_.constFind(name);
    if (earlier != written_.constEnd() && earlier.value() != inputPath) {
        return {FileFailureKind::OutputNameUsed, earlier.value()};
    }
    return {};
}

FileFailure OutputLedger::commit(const QString& tempPath, const QString& outputPath, const QString& inputPath)
{
    if (FileFailure refused = check(outputPath, inputPath)) {
        QFile::remove(tempPath);
        return refused;
    }
    errno = 0;
    if (!commitTempFile(tempPath, outputPath)) {
        const int renameErrno = errno;
        if (renameErrno == EACCES || renameErrno == EPERM || renameErrno == EROFS) {
            return {FileFailureKind::PermissionDenied};
        }
        return {FileFailureKind::RenameFailed, outputPath};
    }
    reserve(outputPath, inputPath);
    return {};
}

void OutputLedger::reserve(const QString& outputPath, const QString& inputPath)
{
    const QString name = resolve(outputPath);
    const std::lock_guard lock(lock_);
    written_.insert(name, inputPath);
}
