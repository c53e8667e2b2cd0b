#pragma once
// Share-mode locks: advisory flock locks, taken without waiting.
#include <sys/file.h>

#include <cerrno>

namespace tavisk {

enum class LockResult {
    Taken,
    HeldByAnother,  // another opener holds a lock that conflicts
    Unsupported,    // the file system gives no locks: a conflict with nobody
    Failed,         // errno tells why
};

// Takes a lock (LOCK_EX or LOCK_SH) on `fd` without waiting; a call
// interrupted by a signal is made again.
inline LockResult TryLock(int fd, int operation) {
    while (flock(fd, operation | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return LockResult::HeldByAnother;
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) return LockResult::Unsupported;
        return LockResult::Failed;
    }
    return LockResult::Taken;
}

}  // namespace tavisk
