#pragma once
// A folder held open by descriptor, shared by the outputs taken in it: the
// destination for a whole batch, a subfolder for one output.  Whoever holds
// the last reference closes it, so an output finished by a worker and put in
// place later still has its folder.
#include <unistd.h>

#include <memory>

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

private:
    int m_fd;
};

using SharedFolder = std::shared_ptr<const FolderHandle>;

}  // namespace tavisk
