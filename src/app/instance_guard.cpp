#include "app/instance_guard.h"

#include "app/program_info.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

QString errorLine(const QString& folder, const QString& reason)
{
    return QStringLiteral("Error: Cannot use the runtime folder %1 for the single-instance lock: %2").arg(folder, reason);
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The session's runtime folder. Made when missing (a session manager normally has), private to the
// user as the XDG base directory rules ask of it.
RuntimeFolder sessionRuntimeFolder(const QString& path)
{
    std::error_code error;
    const std::filesystem::path folder(QFile::encodeName(path).toStdString());
    if (std::filesystem::create_directories(folder, error)) {
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
    }
    if (error) {
        return {{}, errorLine(path, QString::fromLocal8Bit(error.message()))};
    }
    return {path, {}};
}

// Why an existing entry may not serve as the private fallback folder; empty when it may.
QString fallbackProblem(const struct stat& entry)
{
    if (S_ISLNK(entry.st_mode)) {
        return QStringLiteral("it is a symbolic link");
    }
    if (!S_ISDIR(entry.st_mode)) {
        return QStringLiteral("it is not a folder");
    }
    if (entry.st_uid != getuid()) {
        return QStringLiteral("it belongs to another user (uid %1)").arg(entry.st_uid);
    }
    if ((entry.st_mode & 07777) != S_IRWXU) {
        return QStringLiteral("its permissions are %1, not 0700").arg(entry.st_mode & 07777, 4, 8, QLatin1Char('0'));
    }
    return {};
}

// The fallback in the shared temporary folder. lstat, not stat: a link planted there by someone else
// must not lead us into a folder of their choosing.
RuntimeFolder privateTemporaryFolder(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), S_IRWXU) == 0) {
        // The umask may have taken bits away; the folder is ours, so set them.
        ::chmod(name.constData(), S_IRWXU);
    } else if (errno != EEXIST) {
        return {{}, errorLine(path, systemReason(errno))};
    }
    struct stat entry {};
    if (::lstat(name.constData(), &entry) != 0) {
        return {{}, errorLine(path, systemReason(errno))};
    }
    const QString problem = fallbackProblem(entry);
    if (!problem.isEmpty()) {
        return {{}, errorLine(path, problem + QStringLiteral(" (set XDG_RUNTIME_DIR, or remove it)"))};
    }
    return {path, {}};
}

QString lockFailure(QLockFile::LockError error)
{
    // QLockFile reports a denied or read-only folder as PermissionError and anything else (a full
    // disk, a vanished folder) as UnknownError.
    return error == QLockFile::PermissionError
               ? QStringLiteral("the lock file cannot be created there (permission denied or a read-only file system)")
               : QStringLiteral("the lock file cannot be written there");
}

} // namespace

RuntimeFolder findRuntimeFolder()
{
    // The XDG rules ask to ignore a relative XDG_RUNTIME_DIR.
    const QString session = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!session.isEmpty() && QDir::isAbsolutePath(session)) {
        return sessionRuntimeFolder(session);
    }
    return privateTemporaryFolder(QDir::tempPath() + QStringLiteral("/tessaline-runtime-") + QString::number(getuid()));
}

InstanceLock InstanceGuard::acquire()
{
    const RuntimeFolder folder = findRuntimeFolder();
    if (folder.path.isEmpty()) {
        return {InstanceLock::State::Failed, folder.problem};
    }
    folder_ = folder.path;
    lock_ = std::make_unique<QLockFile>(folder_ + QLatin1Char('/') + programTitle() + QStringLiteral(".lock"));
    // A lock left by a crashed process is taken over (QLockFile checks whether its owner lives).
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) {
        return {InstanceLock::State::Held, {}};
    }
    const QLockFile::LockError error = lock_->error();
    lock_.reset();
    if (error == QLockFile::LockFailedError) {
        return {InstanceLock::State::AlreadyRunning, {}};
    }
    return {InstanceLock::State::Failed, errorLine(folder_, lockFailure(error))};
}

QString InstanceGuard::windowSocketPath() const
{
    return folder_.isEmpty() ? QString() : folder_ + QLatin1Char('/') + programTitle() + QStringLiteral(".socket");
}
