#pragma once
// A folder held open by descriptor, shared by the outputs taken in it: the
// destination for a whole batch, a subfolder for one output.  Whoever holds
// the last reference closes it, so an output finished by a worker and put in
// place later still has its folder.
#include <unistd.h>

#include <atomic>
#include <memory>

#include "LocalFileSystem.h"

namespace tavisk {

class FolderHandle {
public:
    explicit FolderHandle(int fd) : m_fd(fd) {}
    ~FolderHandle() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    int Fd() const { return m_fd; }
    // Whether close() of a file here reports nothing (see LocalFileSystem.h),
    // looked up once, when first asked.
    bool CloseReportsNothing() const {
        int known = m_nLocal.load(std::memory_order_relaxed);
        if (known < 0) {
            known = IsLocalFileSystem(m_fd) ? 1 : 0;
            m_nLocal.store(known, std::memory_order_relaxed);
        }
        return known == 1;
    }

private:
    int m_fd;
    mutable std::atomic<int> m_nLocal{-1};  // -1 not yet known
};

using SharedFolder = std::shared_ptr<const FolderHandle>;

}  // namespace tavisk
