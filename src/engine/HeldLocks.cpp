#include "HeldLocks.h"

#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace tavisk {

namespace {

struct Snapshot {
    std::mutex mutex;
    std::vector<FileIdentity> locked;  // sorted
    std::chrono::steady_clock::time_point readAt{};
    bool readable = true;
};

Snapshot g_snapshot;

std::string ReadLockList() {
    std::string text;
    const int fd = ::open("/proc/locks", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char buffer[16384];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
        if (got > 0) text.append(buffer, static_cast<size_t>(got));
    ::close(fd);
    return text;
}

// A line reads "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; one that
// waits for a lock has "->" before FLOCK and holds nothing yet.
bool ParseFlockLine(const char* line, FileIdentity& file) {
    char kind[16] = {}, mode[16] = {}, access[16] = {};
    unsigned major = 0, minor = 0;
    unsigned long inode = 0;
    int pid = 0;
    if (std::sscanf(line, "%*d: %15s %15s %15s %d %x:%x:%lu", kind, mode, access, &pid, &major, &minor, &inode) != 7)
        return false;
    if (std::strcmp(kind, "FLOCK") != 0) return false;
    file = FileIdentity{makedev(major, minor), static_cast<ino_t>(inode), true};
    return true;
}

void Refresh(Snapshot& snapshot) {
    const std::string text = ReadLockList();
    snapshot.locked.clear();
    snapshot.readable = !text.empty() || ::access("/proc/locks", R_OK) == 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        FileIdentity file;
        if (ParseFlockLine(text.c_str() + start, file)) snapshot.locked.push_back(file);
        start = end + 1;
    }
    std::sort(snapshot.locked.begin(), snapshot.locked.end());
    snapshot.readAt = std::chrono::steady_clock::now();
}

}  // namespace

LockSeen HeldLocks::Find(const FileIdentity& file) {
    std::lock_guard lock(g_snapshot.mutex);
    const auto now = std::chrono::steady_clock::now();
    if (now - g_snapshot.readAt >= kMaxAge) Refresh(g_snapshot);
    if (!g_snapshot.readable) return LockSeen::Unknown;
    return std::binary_search(g_snapshot.locked.begin(), g_snapshot.locked.end(), file) ? LockSeen::Held
                                                                                      : LockSeen::Free;
}

}  // namespace tavisk
