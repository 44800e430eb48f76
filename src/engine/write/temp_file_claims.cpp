#include "engine/write/temp_file_claims.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <utility>

namespace {

enum SlotState : int { slotFree = 0, slotFilling = 1, slotHeld = 2 };

struct Slot {
    std::atomic<int> state{slotFree};
    char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the signal handler may use lock-free atomics only");

// Enough for every worker's files in hand, including multi-page files whose pages wait for their
// turn; the table costs nothing until slots are used.
constexpr int slotCount = 1024;
Slot claimSlots[slotCount];
std::atomic<bool> removing{false};

constexpr int randomLetterCount = 6;

QString randomLetters(int count)
{
    QString letters;
    for (int i = 0; i < count; ++i) {
        letters += QChar(u'a' + static_cast<char16_t>(QRandomGenerator::global()->bounded(26)));
    }
    return letters;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True while `path` still names the file open as fd.
bool pathNamesFile(const QByteArray& path, int fd)
{
    struct stat opened {};
    struct stat named {};
    return fstat(fd, &opened) == 0 && lstat(path.constData(), &named) == 0 && sameFile(opened, named);
}

// Creates `name` (which must not exist) and locks it. Returns the locked descriptor; -1 when the
// file was created but the file system takes no locks (it is then written unprotected; no sweep
// can lock it either, so none removes it); -2 with errno set when it cannot be created, or with
// errno EAGAIN when a sweeping run removed it before the lock was taken (retry with another
// name). A sweep locks the files it removes, so the creator waits for it and then checks that its
// file is still there.
int createLocked(const QByteArray& name)
{
    const int fd = open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        return -2;
    }
    int locked = -1;
    do {
        locked = flock(fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        close(fd);
        return -1;
    }
    if (!pathNamesFile(name, fd)) {
        close(fd);
        errno = EAGAIN;
        return -2;
    }
    return fd;
}

// Removes one temporary file when no live process holds it: the lock is taken (never waited for)
// and the name checked to still lead to the same file before it goes.
bool removeIfStale(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    // Opened for writing: an exclusive lock on NFS needs it. Nothing is written.
    const int fd = open(name.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    const bool ours = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid();
    const bool removed =
        ours && flock(fd, LOCK_EX | LOCK_NB) == 0 && pathNamesFile(name, fd) && unlink(name.constData()) == 0;
    close(fd); // drops the lock
    return removed;
}

} // namespace

TempFileClaim::TempFileClaim(const QString& path) : path_(path)
{
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || name.size() >= PATH_MAX || removing.load()) {
        return;
    }
    for (int i = 0; i < slotCount; ++i) {
        int expected = slotFree;
        if (claimSlots[i].state.compare_exchange_strong(expected, slotFilling)) {
            std::memcpy(claimSlots[i].path, name.constData(), static_cast<std::size_t>(name.size()) + 1);
            claimSlots[i].state.store(slotHeld, std::memory_order_release);
            slot_ = i;
            return;
        }
    }
}

TempFileClaim TempFileClaim::create(const QString& outputPath)
{
    const QFileInfo output(outputPath);
    const QString prefix =
        output.path() + QLatin1Char('/') + QLatin1Char('.') + output.fileName() + QStringLiteral(".tessaline-");
    // A name taken by another file, or swept away before its lock was taken, is followed by another.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = prefix + randomLetters(randomLetterCount) + QStringLiteral(".tmp");
        const int fd = createLocked(QFile::encodeName(candidate));
        if (fd >= -1) {
            TempFileClaim claim(candidate);
            claim.lockFd_ = fd;
            return claim;
        }
        if (errno != EEXIST && errno != EAGAIN) {
            return {};
        }
    }
    errno = EEXIST;
    return {};
}

TempFileClaim::~TempFileClaim()
{
    release();
}

TempFileClaim::TempFileClaim(TempFileClaim&& other) noexcept
    : path_(std::exchange(other.path_, QString())), slot_(std::exchange(other.slot_, -1)),
      lockFd_(std::exchange(other.lockFd_, -1))
{
}

TempFileClaim& TempFileClaim::operator=(TempFileClaim&& other) noexcept
{
    if (this != &other) {
        release();
        path_ = std::exchange(other.path_, QString());
        slot_ = std::exchange(other.slot_, -1);
        lockFd_ = std::exchange(other.lockFd_, -1);
    }
    return *this;
}

void TempFileClaim::release() noexcept
{
    if (slot_ >= 0 && !removing.load()) {
        claimSlots[slot_].state.store(slotFree, std::memory_order_release);
    }
    slot_ = -1;
    if (lockFd_ >= 0) {
        close(lockFd_);
        lockFd_ = -1;
    }
}

void removeClaimedTempFiles() noexcept
{
    removing.store(true);
    for (Slot& slot : claimSlots) {
        if (slot.state.load(std::memory_order_acquire) == slotHeld) {
            unlink(slot.path);
        }
    }
}

bool isTempFileName(const QString& fileName)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\..+\.tessaline-[a-z]{%1}\.tmp$)").arg(randomLetterCount));
    return pattern.match(fileName).hasMatch();
}

QStringList removeStaleTempFiles(const QString& folder)
{
    QStringList removed;
    const QDir dir(folder);
    for (const QString& fileName : dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks)) {
        const QString path = dir.filePath(fileName);
        if (isTempFileName(fileName) && removeIfStale(path)) {
            removed << path;
        }
    }
    return removed;
}
