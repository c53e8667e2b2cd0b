#include "OutputTarget.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "TempFileRegistry.h"

namespace tavisk {

namespace {

constexpr const char* kSharingViolation = "sharing violation";
constexpr const char* kSameAsSource = "is the same file as the source being read";
constexpr size_t kRandomLength = 6;
constexpr size_t kNameMax = 255;
constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// Six characters that differ between threads, processes and calls.
std::string RandomPart() {
    thread_local uint64_t state = [] {
        timespec now {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        int local = 0;
        return (static_cast<uint64_t>(getpid()) << 40) ^ static_cast<uint64_t>(now.tv_nsec) ^
               (static_cast<uint64_t>(now.tv_sec) << 20) ^ reinterpret_cast<uintptr_t>(&local);
    }();
    state += 0x9E3779B97F4A7C15ull;  // splitmix64
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    std::string part(kRandomLength, 'a');
    for (char& c : part) {
        c = kAlphabet[z % (sizeof kAlphabet - 1)];
        z /= sizeof kAlphabet - 1;
    }
    return part;
}

bool IsTempFileName(const char* name) {
    const size_t prefix = std::strlen(kTempFilePrefix);
    if (std::strncmp(name, kTempFilePrefix, prefix) != 0 || std::strlen(name) < prefix + kRandomLength + 1) return false;
    for (size_t i = prefix; i < prefix + kRandomLength; ++i)
        if (!std::strchr(kAlphabet, name[i])) return false;
    return name[prefix + kRandomLength] == '-';
}

bool IsDeviceOrPipe(mode_t mode) { return S_ISCHR(mode) || S_ISFIFO(mode); }

// A link such as /dev/stdout names a descriptor of this process.
bool LinksToOwnDescriptor(int folderFd, const std::string& name) {
    char target[16] = {};
    const ssize_t length = readlinkat(folderFd, name.c_str(), target, sizeof target - 1);
    return length >= 6 && std::strncmp(target, "/proc/", 6) == 0;
}

}  // namespace

OutputTarget::~OutputTarget() {
    Discard();
    CloseFolder();
}

void OutputTarget::CloseFolder() {
    if (m_nFolderFd >= 0) ::close(m_nFolderFd);
    m_nFolderFd = -1;
    m_strFolder.clear();
}

bool OutputTarget::OpenFolder(FileError& error) {
    const size_t slash = m_strPath.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : m_strPath.substr(0, slash);
    m_strName = slash == std::string::npos ? m_strPath : m_strPath.substr(slash + 1);
    if (m_nFolderFd >= 0 && folder == m_strFolder) return true;
    if (m_nFolderFd >= 0) ::close(m_nFolderFd);
    m_nFolderFd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_nFolderFd < 0) {
        error.m_strCause = DescribeErrno(errno);
        m_strFolder.clear();
        return false;
    }
    m_strFolder = std::move(folder);
    return true;
}

// True when another opener holds a share-mode lock on the file at the name.
bool OutputTarget::HeldByAnother() const {
    const int fd = ::openat(m_nFolderFd, m_strName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;  // unreadable: nobody of ours can hold it either
    bool held = false;
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        held = errno == EWOULDBLOCK;
        break;
    }
    ::close(fd);
    return held;
}

bool OutputTarget::RefusedExisting(const OutputOptions& options, bool& writeDirectly, int& directFlags,
                                   std::string& cause) {
    struct stat info {};
    if (fstatat(m_nFolderFd, m_strName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return false;  // absent, or the create tells why
    m_bNameTaken = true;
    if (S_ISLNK(info.st_mode)) {
        struct stat target {};
        if (fstatat(m_nFolderFd, m_strName.c_str(), &target, 0) != 0) return false;  // a dangling link is simply replaced
        if (IdentityOf(target) == options.mustDiffer) {
            cause = kSameAsSource;
            return true;
        }
        if (options.followDeviceLinks &&
            (IsDeviceOrPipe(target.st_mode) || LinksToOwnDescriptor(m_nFolderFd, m_strName))) {
            writeDirectly = true;
            directFlags = S_ISREG(target.st_mode) ? O_APPEND : 0;
        }
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        cause = DescribeErrno(EISDIR);
        return true;
    }
    if (IsDeviceOrPipe(info.st_mode)) {
        writeDirectly = true;
        directFlags = O_NOFOLLOW;
        return false;
    }
    if (IdentityOf(info) == options.mustDiffer) {
        cause = kSameAsSource;
        return true;
    }
    if (S_ISREG(info.st_mode) && HeldByAnother()) {
        cause = kSharingViolation;
        return true;
    }
    return false;
}

bool OutputTarget::Open(const std::string& path, const OutputOptions& options, FileError& error) {
    Discard();
    m_strPath = path;
    m_bNameTaken = false;
    error = FileError{path, {}};
    if (!OpenFolder(error)) return false;
    bool writeDirectly = false;
    int directFlags = 0;
    // Whatever appears at an absent name meanwhile is replaced by the rename, never written to.
    if (!options.nameWasAbsent && RefusedExisting(options, writeDirectly, directFlags, error.m_strCause)) return false;
    return writeDirectly ? OpenDirect(directFlags, error) : OpenTemporary(options.permissions, error);
}

bool OutputTarget::OpenDirect(int flags, FileError& error) {
    const int fd = ::openat(m_nFolderFd, m_strName.c_str(), O_WRONLY | O_CLOEXEC | flags);
    if (fd < 0) {
        error.m_strCause = DescribeErrno(errno);
        return false;
    }
    struct stat info {};
    const bool fits = fstat(fd, &info) == 0 && (IsDeviceOrPipe(info.st_mode) || (flags & O_APPEND));
    if (!fits) {  // replaced since it was looked at: write a new file after all
        ::close(fd);
        return OpenTemporary(0666, error);
    }
    m_fd = fd;
    return true;
}

bool OutputTarget::OpenTemporary(mode_t permissions, FileError& error) {
    // An unnamed file goes away with the process, however it ends.
    const int fd = ::openat(m_nFolderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, permissions & 0777);
    if (fd >= 0) {
        m_fd = fd;
        m_bUnnamed = true;
        return true;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {  // those mean: no unnamed files here
        error.m_strCause = DescribeErrno(errno);
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = TempName();
        const int named = ::openat(m_nFolderFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                   permissions & 0777);
        if (named < 0) {
            if (errno == EEXIST) continue;
            error.m_strCause = DescribeErrno(errno);
            return false;
        }
        m_fd = named;
        HoldTempName(std::move(temp));
        return true;
    }
    error.m_strCause = DescribeErrno(EEXIST);
    return false;
}

std::string OutputTarget::TempName() const {
    const size_t fixed = std::strlen(kTempFilePrefix) + kRandomLength + 1;
    return kTempFilePrefix + RandomPart() + "-" + m_strName.substr(0, kNameMax - fixed);
}

void OutputTarget::HoldTempName(std::string temp) {
    // The lock tells the clean-up of another run that this file is alive.
    while (flock(m_fd, LOCK_EX | LOCK_NB) != 0 && errno == EINTR) {
    }
    m_nRegistrySlot = TempFileRegistry::Add(m_strFolder + "/" + temp);
    m_strTempName = std::move(temp);
}

bool OutputTarget::LinkUnnamedAs(const std::string& name) const {
    // Linking a descriptor directly needs a capability most users lack; the
    // link through /proc does the same without it.
    static std::atomic<bool> s_directLinkRefused{false};
    if (!s_directLinkRefused.load(std::memory_order_relaxed)) {
        if (linkat(m_fd, "", m_nFolderFd, name.c_str(), AT_EMPTY_PATH) == 0) return true;
        if (errno != ENOENT && errno != EPERM) return false;
        s_directLinkRefused.store(true, std::memory_order_relaxed);
    }
    char procPath[48];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", m_fd);
    return linkat(AT_FDCWD, procPath, m_nFolderFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

bool OutputTarget::NameUnnamedFile() {
    // A free name takes the file at once.  A taken one can only be replaced
    // by a rename, from a hidden name.
    if (!m_bNameTaken) {
        if (LinkUnnamedAs(m_strName)) return true;
        if (errno != EEXIST) return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = TempName();
        if (!LinkUnnamedAs(temp)) {
            if (errno == EEXIST) continue;
            return false;
        }
        HoldTempName(std::move(temp));
        return ::renameat(m_nFolderFd, m_strTempName.c_str(), m_nFolderFd, m_strName.c_str()) == 0;
    }
    errno = EEXIST;
    return false;
}

void OutputTarget::Forget() {
    TempFileRegistry::Remove(m_nRegistrySlot);
    m_nRegistrySlot = -1;
    m_strTempName.clear();
    m_fd = -1;
    m_bUnnamed = false;
}

bool OutputTarget::Commit(FileError& error) {
    if (m_fd < 0) return true;
    error = FileError{m_strPath, {}};
    if (m_bUnnamed) {
        if (!NameUnnamedFile()) {
            error.m_strCause = DescribeErrno(errno);
            Discard();
            return false;
        }
        m_strTempName.clear();  // renamed: nothing to remove any more
    }
    const bool closed = ::close(m_fd) == 0;
    const int closeError = errno;
    m_fd = -1;
    if (!closed) {
        error.m_strCause = DescribeErrno(closeError);
        Discard();
        return false;
    }
    if (!m_strTempName.empty() &&
        ::renameat(m_nFolderFd, m_strTempName.c_str(), m_nFolderFd, m_strName.c_str()) != 0) {
        error.m_strCause = DescribeErrno(errno);
        Discard();
        return false;
    }
    Forget();
    return true;
}

void OutputTarget::Discard() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_strTempName.empty()) ::unlinkat(m_nFolderFd, m_strTempName.c_str(), 0);
    Forget();
}

void RemoveLeftoverTempFiles(const std::string& folder) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return;
    const int dirFd = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        if (!IsTempFileName(entry->d_name)) continue;
        const int fd = openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat info {};
        if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0)
            unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    closedir(dir);
}

}  // namespace tavisk
