#include "app/instance_guard.h"

#include "app/program_info.h"

#include <QDir>
#include <QStandardPaths>

bool InstanceGuard::acquire()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
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
