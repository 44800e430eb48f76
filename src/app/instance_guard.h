#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// Only one instance runs at a time: an exclusive lock file named after the program title in the
// user's runtime folder, held until the guard is destroyed.
class InstanceGuard {
public:
    // Tries to take the lock; false when another live process holds it.
    bool acquire();

private:
    std::unique_ptr<QLockFile> lock_;
};
