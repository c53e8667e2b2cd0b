#include "OpenBeneath.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <vector>

namespace tavisk {

namespace {

std::atomic<bool> g_openat2Missing{false};

// One step of the walk: a single name, never followed.
int OpenComponent(int folder, const std::string& name, int flags) {
    if (name == "..") {  // the kernel's own walk refuses it the same way
        errno = EXDEV;
        return -1;
    }
    const int fd = ::openat(folder, name.c_str(), flags | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOTDIR) {  // a link, with O_NOFOLLOW, reads as "not a folder"
        struct stat info {};
        if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) errno = ELOOP;
    }
    return fd;
}

}  // namespace

// Each component is held by descriptor while the next is opened below it.
int WalkFolderBeneath(int base, std::string_view relative, int flags) {
    std::vector<std::string> names;
    for (size_t start = 0; start <= relative.size();) {
        size_t slash = relative.find('/', start);
        if (slash == std::string_view::npos) slash = relative.size();
        std::string name(relative.substr(start, slash - start));
        if (!name.empty() && name != ".") names.push_back(std::move(name));
        start = slash + 1;
    }
    if (names.empty()) return ::openat(base, ".", flags | O_DIRECTORY | O_CLOEXEC);
    int folder = base;
    for (size_t k = 0; k < names.size(); ++k) {
        const int next = OpenComponent(folder, names[k], k + 1 == names.size() ? flags : O_PATH);
        const int cause = errno;
        if (folder != base) ::close(folder);
        if (next < 0) {
            errno = cause;
            return -1;
        }
        folder = next;
    }
    return folder;
}

int OpenFolderBeneath(int base, std::string_view relative, int flags) {
    if (!g_openat2Missing.load(std::memory_order_relaxed)) {
        const std::string path(relative.empty() ? std::string_view(".") : relative);
        open_how how {};
        how.flags = static_cast<__u64>(static_cast<unsigned>(flags | O_DIRECTORY | O_CLOEXEC));
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        for (int attempt = 0; attempt < 3; ++attempt) {
            const long fd = syscall(SYS_openat2, base, path.c_str(), &how, sizeof how);
            if (fd >= 0) return static_cast<int>(fd);
            if (errno == EAGAIN || errno == EINTR) continue;  // a rename elsewhere in the file system meanwhile
            if (errno != ENOSYS && errno != EPERM && errno != E2BIG) return -1;
            if (errno == ENOSYS) g_openat2Missing.store(true, std::memory_order_relaxed);
            break;  // refused by a filter or an older kernel: the walk does the same
        }
    }
    return WalkFolderBeneath(base, relative, flags);
}

}  // namespace tavisk
