#include "TempFileRegistry.h"

#include <limits.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace tavisk {

namespace {

enum SlotState : int { kFree = 0, kFilling = 1, kReady = 2 };

// Fixed storage: a signal handler can neither allocate nor take a lock.  A
// path is copied in while its slot is "filling", so the handler never reads a
// half-written name.
struct Slot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};

constexpr int kSlots = 64;
Slot g_slots[kSlots];

}  // namespace

int TempFileRegistry::Add(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!g_slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
        g_slots[i].state.store(kReady);
        return i;
    }
    return -1;
}

void TempFileRegistry::Remove(int slot) {
    if (slot >= 0 && slot < kSlots) g_slots[slot].state.store(kFree);
}

void TempFileRegistry::UnlinkAll() {
    for (Slot& slot : g_slots)
        if (slot.state.load() == kReady) ::unlink(slot.path);
}

}  // namespace tavisk
