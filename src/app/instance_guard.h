#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// What taking the single-instance lock gave.
struct InstanceLock {
    enum class State {
        Held,           // this process runs the window
        AlreadyRunning, // another live process holds the lock
        Failed,         // no lock could be taken: problem says why
    };
    State state = State::Failed;
    // For Failed: the "Error: " line naming the folder and the reason.
    QString problem;
};

// Only one window runs at a time: an exclusive lock file named after the program title in the
// user's runtime folder, held until the guard is destroyed. The window's hand-over socket sits
// beside it, so both live in the one folder that only the user can enter.
class InstanceGuard {
  public:
    InstanceLock acquire();

    // The runtime folder's socket on which the window takes files from later starts; empty until
    // acquire() has found the folder.
    QString windowSocketPath() const;

  private:
    QString folder_;
    std::unique_ptr<QLockFile> lock_;
};

// The folder that holds the lock and the socket, or the "Error: " line saying why there is none.
// $XDG_RUNTIME_DIR when set (created if missing); without it, tessaline-runtime-<uid> in the
// temporary folder, used only when it is a real folder (not a link) of the user's with mode 0700,
// and created so when missing, because anyone can create names in /tmp before us.
struct RuntimeFolder {
    QString path;
    QString problem;
};
RuntimeFolder findRuntimeFolder();
