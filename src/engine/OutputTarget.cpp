#include "OutputTarget.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
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

// True when another opener holds a share-mode lock on the file at `path`.
bool HeldByAnother(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
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

// Takes the lock of a new temporary file; false when another run's clean-up
// got to the file first.
bool LockedAndStillNamed(int fd) {
    int locked;
    while ((locked = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (locked != 0 && errno == EWOULDBLOCK) return false;  // a clean-up holds it to remove it
    struct stat info {};  // a file system without locks writes unlocked, as before
    return fstat(fd, &info) == 0 && info.st_nlink > 0;
}

bool IsDeviceOrPipe(mode_t mode) { return S_ISCHR(mode) || S_ISFIFO(mode); }

// A link such as /dev/stdout names a descriptor of this process.
bool LinksToOwnDescriptor(const std::string& path) {
    char target[16] = {};
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    return length >= 6 && std::strncmp(target, "/proc/", 6) == 0;
}

}  // namespace

bool OutputTarget::RefusedExisting(const OutputOptions& options, bool& writeDirectly, int& directFlags,
                                   std::string& cause) const {
    struct stat info {};
    if (lstat(m_strPath.c_str(), &info) != 0) return false;  // absent, or the create below tells why
    if (S_ISLNK(info.st_mode)) {
        struct stat target {};
        if (stat(m_strPath.c_str(), &target) != 0) return false;  // a dangling link is simply replaced
        if (IdentityOf(target) == options.mustDiffer) {
            cause = kSameAsSource;
            return true;
        }
        if (options.followDeviceLinks && (IsDeviceOrPipe(target.st_mode) || LinksToOwnDescriptor(m_strPath))) {
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
    if (S_ISREG(info.st_mode) && HeldByAnother(m_strPath)) {
        cause = kSharingViolation;
        return true;
    }
    return false;
}

bool OutputTarget::Open(const std::string& path, const OutputOptions& options, FileError& error) {
    Discard();
    m_strPath = path;
    error = FileError{path, {}};
    bool writeDirectly = false;
    int directFlags = 0;
    if (RefusedExisting(options, writeDirectly, directFlags, error.m_strCause)) return false;
    return writeDirectly ? OpenDirect(directFlags, error) : OpenTemporary(options.permissions, error);
}

bool OutputTarget::OpenDirect(int flags, FileError& error) {
    const int fd = ::open(m_strPath.c_str(), O_WRONLY | O_CLOEXEC | flags);
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
    const size_t slash = m_strPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : m_strPath.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? m_strPath : m_strPath.substr(slash + 1);
    const size_t fixed = std::strlen(kTempFilePrefix) + kRandomLength + 1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = folder + kTempFilePrefix + RandomPart() + "-" + name.substr(0, kNameMax - fixed);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, permissions & 0777);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            error.m_strCause = DescribeErrno(errno);
            return false;
        }
        // The lock tells the clean-up of another run that this file is alive.
        // That clean-up may have found the file before the lock was taken:
        // then it holds the lock or has removed the name, and a new name is tried.
        if (!LockedAndStillNamed(fd)) {
            ::close(fd);
            continue;
        }
        m_fd = fd;
        m_strTempPath = std::move(temp);
        m_nRegistrySlot = TempFileRegistry::Add(m_strTempPath);
        return true;
    }
    error.m_strCause = DescribeErrno(EEXIST);
    return false;
}

void OutputTarget::Forget() {
    TempFileRegistry::Remove(m_nRegistrySlot);
    m_nRegistrySlot = -1;
    m_strTempPath.clear();
    m_fd = -1;
}

bool OutputTarget::Commit(FileError& error) {
    if (m_fd < 0) return true;
    error = FileError{m_strPath, {}};
    if (::close(m_fd) != 0) {
        error.m_strCause = DescribeErrno(errno);
        m_fd = -1;
        Discard();
        return false;
    }
    m_fd = -1;
    if (m_strTempPath.empty()) return true;
    if (::rename(m_strTempPath.c_str(), m_strPath.c_str()) != 0) {
        error.m_strCause = DescribeErrno(errno);
        Discard();
        return false;
    }
    Forget();
    return true;
}

void OutputTarget::HandOver(OutputTarget& other) {
    if (&other == this) return;
    other.Discard();
    other.m_fd = m_fd;
    other.m_strPath = m_strPath;
    other.m_strTempPath = std::move(m_strTempPath);
    other.m_nRegistrySlot = m_nRegistrySlot;
    m_fd = -1;
    m_strTempPath.clear();
    m_nRegistrySlot = -1;
}

void OutputTarget::Discard() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_strTempPath.empty()) ::unlink(m_strTempPath.c_str());
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
