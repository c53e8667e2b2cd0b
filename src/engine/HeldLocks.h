#pragma once
// Whether another opener holds a share-mode lock on a file, told without
// opening it: the kernel lists every flock lock in /proc/locks, and one read
// of that list serves many outputs in a row.  The list is read again when
// the last reading is older than kMaxAge, so a lock taken while a batch runs
// is seen within that time; an output is never truncated in any case, only
// replaced by a rename, so a lock missed in that window loses nothing.
// Reading the list is not cheap: the kernel waits for a grace period of
// its own (up to tens of milliseconds, while every flock() elsewhere takes a
// slower path), so a batch reads it twice a second at most.
#include <chrono>

#include "FileIdentity.h"

namespace tavisk {

enum class LockSeen { Held, Free, Unknown };

class HeldLocks {
public:
    static constexpr std::chrono::milliseconds kMaxAge{500};
    // Unknown when the list cannot be read: the caller asks the file itself.
    static LockSeen Find(const FileIdentity& file);
};

}  // namespace tavisk
