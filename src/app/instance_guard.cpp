#include "app/instance_guard.h"

#include "app/program_info.h"

#include <QDir>
#include <QStandardPaths>

#include <unistd.h>

bool InstanceGuard::acquire()
{
    // Without XDG_RUNTIME_DIR (cron, ssh without a session) Qt would warn on standard error and
    // fall back to a folder of its own; we fall back quietly to a per-user folder in /tmp.
    const QString folder = qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")
                               ? QDir::tempPath() + QStringLiteral("/tessaline-runtime-") + QString::number(getuid())
                               : QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QDir().mkpath(folder);
    lock_ = std::make_unique<QLockFile>(folder + QLatin1Char('/') + programTitle() + QStringLiteral(".lock"));
    // A lock left by a crashed process is taken over (QLockFile checks whether its owner lives).
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) {
        return true;
    }
    lock_.reset();
    return false;
}
