#include "engine/write/temp_file_claims.h"

#include <QFile>

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

} // namespace

TempFileClaim::TempFileClaim(const QString& path)
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

TempFileClaim::~TempFileClaim()
{
    release();
}

TempFileClaim::TempFileClaim(TempFileClaim&& other) noexcept : slot_(std::exchange(other.slot_, -1)) {}

TempFileClaim& TempFileClaim::operator=(TempFileClaim&& other) noexcept
{
    if (this != &other) {
        release();
        slot_ = std::exchange(other.slot_, -1);
    }
    return *this;
}

void TempFileClaim::release() noexcept
{
    if (slot_ >= 0 && !removing.load()) {
        claimSlots[slot_].state.store(slotFree, std::memory_order_release);
    }
    slot_ = -1;
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
