#pragma once

#include <QString>

// The temporary files a run holds at a given moment (being written, or finished and waiting for
// their turn to take their names).
//
// Each claim made by create() keeps an exclusive advisory lock (flock(2)) on its file for as long
// as the claim lives. The kernel drops the lock with the process, however it ends (kill -9, a
// crash, power loss), so a locked temporary file belongs to a live run and an unlocked one was
// left by a run that can no longer finish it: removeStaleTempFiles removes only the latter. A lock
// needs no name scheme (no process id that a later process may reuse) and holds across machines
// sharing a folder over NFS, whose client passes flock(2) locks to the server.
//
// A process that has to end at once, from a signal handler, removes the files in hand with
// removeClaimedTempFiles so that no ".*.tessaline-*.tmp" file is left behind. For that, claims
// are also recorded in a fixed table of process-wide slots: a signal handler may touch nothing
// else (no allocation, no locks). When every slot is taken a claim is simply not recorded.
class TempFileClaim {
  public:
    TempFileClaim() = default;
    // Records an existing file for removeClaimedTempFiles only (no lock).
    explicit TempFileClaim(const QString& path);
    ~TempFileClaim();
    TempFileClaim(TempFileClaim&& other) noexcept;
    TempFileClaim& operator=(TempFileClaim&& other) noexcept;
    TempFileClaim(const TempFileClaim&) = delete;
    TempFileClaim& operator=(const TempFileClaim&) = delete;

    // Creates a fresh, empty file ".<file name>.tessaline-<random>.tmp" beside outputPath (in the
    // same folder, so a rename can replace the target atomically) and locks it. Writers open it by
    // its path and write over it; the lock stays with the file. When the file cannot be created
    // the claim is empty (path() is empty) and errno says why.
    static TempFileClaim create(const QString& outputPath);

    const QString& path() const { return path_; }
    bool recorded() const { return slot_ >= 0; }
    bool locked() const { return lockFd_ >= 0; }

  private:
    void release() noexcept;
    QString path_;
    int slot_ = -1;
    int lockFd_ = -1;
};

// Unlinks every claimed temporary file. Async-signal-safe (atomics and unlink(2) only); claims
// released afterwards leave their slots alone, so the names stay valid until the process ends.
void removeClaimedTempFiles() noexcept;

// True for names of our own temporary files (".<file name>.tessaline-<six letters>.tmp").
bool isTempFileName(const QString& fileName);

// Removes the temporary files in folder that runs which ended without cleaning up left behind:
// files of our own naming, owned by this user, that no live process holds locked. Files of a run
// still writing (in this process or another) are left alone, and so is every other file. Returns
// the paths removed.
QStringList removeStaleTempFiles(const QString& folder);
