#include "TempFileRegistry.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace tavisk {

namespace {

enum SlotState : int { kFree = 0, kFilling = 1, kReady = 2 };

// Fixed storage: a signal handler can neither allocate nor take a lock.  A
// path is copied in while its slot is "filling", so the handler never reads a
// half-written name.
struct Slot {
    std::atomic<int> state{kFree};
    int folderFd = -1;  // held open by the file's writer while the slot is in use
    char name[NAME_MAX + 1];
};

constexpr int kSlots = 64;
Slot g_slots[kSlots];

constexpr int kFatalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

void RemoveAndDie(int signalNumber) {
    TempFileRegistry::UnlinkAll();
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

// Only signals left at their default: a handler the program installed has
// its own idea of what the signal means.
void InstallHooks() {
    std::atexit(TempFileRegistry::UnlinkAll);
    for (int signalNumber : kFatalSignals) {
        struct sigaction current {};
        if (sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
        struct sigaction action {};
        action.sa_handler = RemoveAndDie;
        sigemptyset(&action.sa_mask);
        action.sa_flags = static_cast<int>(SA_RESETHAND);
        sigaction(signalNumber, &action, nullptr);
    }
}

std::once_flag g_hooksInstalled;

}  // namespace

int TempFileRegistry::Add(int folderFd, const std::string& name) {
    std::call_once(g_hooksInstalled, InstallHooks);
    if (name.size() > NAME_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (g_slots[i].state.load(std::memory_order_relaxed) != kFree) continue;  // no write to a taken slot's line
        if (!g_slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
        g_slots[i].folderFd = folderFd;
        std::memcpy(g_slots[i].name, name.c_str(), name.size() + 1);
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
        if (slot.state.load() == kReady) ::unlinkat(slot.folderFd, slot.name, 0);
}

}  // namespace tavisk
