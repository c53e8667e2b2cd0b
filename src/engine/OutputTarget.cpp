#include "OutputTarget.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "DeferredWork.h"
#include "FileLock.h"
#include "HeldLocks.h"
#include "StopEvent.h"
#include "TempFileRegistry.h"

namespace tavisk {

namespace {

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

bool IsDeviceOrPipe(mode_t mode) { return S_ISCHR(mode) || S_ISFIFO(mode); }

// A block device or a socket holds what no output may touch.
const char* UntouchableKind(mode_t mode) {
    if (S_ISBLK(mode)) return "Is a block device";
    if (S_ISSOCK(mode)) return "Is a socket";
    return nullptr;
}

// The file open on standard output or error, by identity.
bool IsStandardDescriptorFile(const FileIdentity& file) {
    for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat info {};
        if (fstat(fd, &info) == 0 && IdentityOf(info) == file) return true;
    }
    return false;
}

// Where the list of locks cannot be read, the file itself is asked.
bool LockedByAnother(int folderFd, const std::string& name, const FileIdentity& file) {
    const LockSeen seen = HeldLocks::Find(file);
    if (seen != LockSeen::Unknown) return seen == LockSeen::Held;
    const int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;  // unreadable: nobody of ours can hold it either
    const bool held = TryLock(fd, LOCK_EX) == LockResult::HeldByAnother;
    ::close(fd);
    return held;
}

}  // namespace

bool IsTempFileName(const char* name) {
    const size_t prefix = std::strlen(kTempFilePrefix);
    if (std::strncmp(name, kTempFilePrefix, prefix) != 0 || std::strlen(name) < prefix + kRandomLength + 1) return false;
    for (size_t i = prefix; i < prefix + kRandomLength; ++i)
        if (!std::strchr(kAlphabet, name[i])) return false;
    return name[prefix + kRandomLength] == '-';
}

OutputTarget::~OutputTarget() {
    Discard();
    CloseFolder();
}

void OutputTarget::CloseFolder() {
    m_folder.reset();
    m_strFolderPath.clear();
}

bool OutputTarget::TakeFolder(const OutputOptions& options, FileError& error) {
    const size_t slash = m_strPath.rfind('/');
    m_strName = slash == std::string::npos ? m_strPath : m_strPath.substr(slash + 1);
    if (options.folder) {
        m_folder = options.folder;
        m_strFolderPath.clear();
        return true;
    }
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : m_strPath.substr(0, slash);
    if (m_folder && !m_strFolderPath.empty() && folder == m_strFolderPath) return true;
    CloseFolder();
    const int fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error.m_strCause = DescribeErrno(errno);
        return false;
    }
    m_folder = std::make_shared<FolderHandle>(fd);
    m_strFolderPath = std::move(folder);
    return true;
}

bool OutputTarget::LookAtOldFile(const OutputOptions& options, InPlace& inPlace, std::string& cause) {
    struct stat info {};  // the name itself, never followed
    if (fstatat(m_folder->Fd(), m_strName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return true;  // absent, or the create tells why
    const FileIdentity old = IdentityOf(info);
    m_oldFile = old;
    if (S_ISLNK(info.st_mode)) return LookThroughLink(options, inPlace, cause);
    if (S_ISDIR(info.st_mode)) {
        cause = DescribeErrno(EISDIR);
        return false;
    }
    if (const char* kind = UntouchableKind(info.st_mode)) {
        cause = kind;
        return false;
    }
    if (IsDeviceOrPipe(info.st_mode) || (options.followDeviceLinks && IsStandardDescriptorFile(old))) {
        inPlace = InPlace{true, false, S_ISREG(info.st_mode), S_ISFIFO(info.st_mode), old};
        return true;
    }
    if (old == options.mustDiffer) {
        cause = kSameAsSource;
        return false;
    }
    if (S_ISREG(info.st_mode) && LockedByAnother(m_folder->Fd(), m_strName, old)) {
        cause = kSharingViolation;
        return false;
    }
    return true;
}

// A link at the name is replaced, never written through; what it reaches
// decides only whether it is refused, or (for the response file) followed.
bool OutputTarget::LookThroughLink(const OutputOptions& options, InPlace& inPlace, std::string& cause) {
    struct stat target {};
    if (fstatat(m_folder->Fd(), m_strName.c_str(), &target, 0) != 0) return true;  // a dangling link is simply replaced
    const FileIdentity reached = IdentityOf(target);
    if (reached == options.mustDiffer) {
        cause = kSameAsSource;
        return false;
    }
    if (!options.followDeviceLinks) return true;
    if (const char* kind = UntouchableKind(target.st_mode)) {
        cause = kind;
        return false;
    }
    if (IsDeviceOrPipe(target.st_mode) || IsStandardDescriptorFile(reached))
        inPlace = InPlace{true, true, S_ISREG(target.st_mode), S_ISFIFO(target.st_mode), reached};
    return true;
}

bool OutputTarget::Open(const std::string& path, const OutputOptions& options, FileError& error) {
    Discard();
    m_bOpenStopped = false;
    m_strPath = path;
    error = FileError{path, {}};
    if (!TakeFolder(options, error)) return false;
    InPlace inPlace;
    // Whatever appears at an absent name meanwhile is replaced by the rename, never written to.
    if (!options.nameWasAbsent && !LookAtOldFile(options, inPlace, error.m_strCause)) {
        Discard();
        return false;
    }
    if (inPlace.wanted) return OpenInPlace(inPlace, error);
    return OpenNew(options.permissions, error);
}

bool OutputTarget::OpenInPlace(const InPlace& inPlace, FileError& error) {
    const int flags = O_WRONLY | O_CLOEXEC | (inPlace.follow ? 0 : O_NOFOLLOW) | (inPlace.append ? O_APPEND : 0);
    const int fd = inPlace.fifo ? OpenFifoForWriting(flags) : ::openat(m_folder->Fd(), m_strName.c_str(), flags);
    if (fd < 0) {
        error.m_strCause = DescribeErrno(errno);
        Discard();
        return false;
    }
    // The file opened must be the one looked at: a name changed in between is not written.
    struct stat info {};
    if (fstat(fd, &info) != 0 || !(IdentityOf(info) == inPlace.identity)) {
        ::close(fd);
        error.m_strCause = DescribeErrno(EAGAIN);
        Discard();
        return false;
    }
    m_fd = fd;
    m_state = OutputState::Direct;
    return true;
}

// Without a reader, a FIFO opened without waiting refuses (ENXIO), and no
// event tells when a reader comes: the open is tried again every 20 ms.
int OutputTarget::OpenFifoForWriting(int flags) {
    for (;;) {
        const int fd = ::openat(m_folder->Fd(), m_strName.c_str(), flags | O_NONBLOCK);
        if (fd >= 0) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);  // from now on writes wait (with the stop)
            return fd;
        }
        if (errno != ENXIO) return -1;
        if (StopWithin(m_pStop, m_nStopFd, 20)) {
            m_bOpenStopped = true;
            errno = EINTR;
            return -1;
        }
    }
}

bool OutputTarget::OpenNew(mode_t permissions, FileError& error) {
    // An unnamed file goes away with the process, however it ends.
    const int fd = ::openat(m_folder->Fd(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, permissions & 0777);
    if (fd >= 0) {
        m_fd = fd;
        m_state = OutputState::Unnamed;
        return true;
    }
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return OpenHidden(permissions, error);  // no unnamed files here
    error.m_strCause = DescribeErrno(errno);
    Discard();
    return false;
}

bool OutputTarget::OpenHidden(mode_t permissions, FileError& error) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = TempName();
        const int fd = ::openat(m_folder->Fd(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                permissions & 0777);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            error.m_strCause = DescribeErrno(errno);
            Discard();
            return false;
        }
        // Another run's clean-up may find the name before the lock is taken:
        // it then holds the lock, or has removed the name, and a new name is tried.
        struct stat info {};
        if (TryLock(fd, LOCK_EX) == LockResult::HeldByAnother || fstat(fd, &info) != 0 || info.st_nlink == 0) {
            ::close(fd);
            continue;
        }
        m_fd = fd;
        m_state = OutputState::Hidden;
        Register(std::move(temp));
        return true;
    }
    error.m_strCause = DescribeErrno(EEXIST);
    Discard();
    return false;
}

std::string OutputTarget::TempName() const {
    const size_t fixed = std::strlen(kTempFilePrefix) + kRandomLength + 1;
    return kTempFilePrefix + RandomPart() + "-" + m_strName.substr(0, kNameMax - fixed);
}

void OutputTarget::Register(std::string temp) {
    m_nRegistrySlot = TempFileRegistry::Add(m_folder->Fd(), temp);
    m_strTempName = std::move(temp);
}

bool OutputTarget::LinkUnnamedAs(const std::string& name) const {
    // Linking a descriptor directly needs a capability most users lack; the
    // link through /proc does the same without it.
    static std::atomic<bool> s_directLinkRefused{false};
    if (!s_directLinkRefused.load(std::memory_order_relaxed)) {
        if (linkat(m_fd, "", m_folder->Fd(), name.c_str(), AT_EMPTY_PATH) == 0) return true;
        if (errno != ENOENT && errno != EPERM) return false;
        s_directLinkRefused.store(true, std::memory_order_relaxed);
    }
    char procPath[48];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", m_fd);
    return linkat(AT_FDCWD, procPath, m_folder->Fd(), name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// An unnamed file takes a free name in one link; a taken one (or one taken
// meanwhile) by way of a hidden name, locked so that another run's clean-up
// leaves it alone until the rename (a file whose name was removed can never
// be linked again).  Where close() may report what the writes did not, the
// file is closed first, and a copy of its descriptor, the same open file,
// links it; elsewhere it is closed once it has its name.
bool OutputTarget::PlaceUnnamedFile() {
    if (!m_folder->CloseReportsNothing() && !CloseKeepingACopy()) return false;
    if (!m_oldFile.valid) {
        if (LinkUnnamedAs(m_strName)) return CloseAfterPlacing();
        if (errno != EEXIST) return false;  // something appeared at the name: it is replaced as an old file is
    }
    if (!NameUnnamedFile() || !TakeFinalName()) return false;  // Discard removes the hidden name
    return CloseAfterPlacing();
}

bool OutputTarget::CloseKeepingACopy() {
    const int copy = fcntl(m_fd, F_DUPFD_CLOEXEC, 3);
    if (copy < 0) return false;
    const bool closed = ::close(m_fd) == 0;
    m_fd = copy;
    return closed;
}

bool OutputTarget::CloseAfterPlacing() {
    ::close(m_fd);  // nothing to report: checked already, or nothing it could say
    m_fd = -1;
    return true;
}

bool OutputTarget::TakeFinalName() {
    return (m_oldFile.valid && SwapWithOldFile()) ||
           ::renameat(m_folder->Fd(), m_strTempName.c_str(), m_folder->Fd(), m_strName.c_str()) == 0;
}

// An unnamed file gets a hidden name first: it can be linked in only while
// it is open, and takes its final name only once closed.
bool OutputTarget::NameUnnamedFile() {
    // Locked before it has a name, so that another run's clean-up of hidden
    // files never takes it for a leftover.
    TryLock(m_fd, LOCK_EX);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = TempName();
        if (LinkUnnamedAs(temp)) {
            Register(std::move(temp));
            m_state = OutputState::Hidden;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    errno = EEXIST;
    return false;
}

bool OutputTarget::CloseAndRename() {
    // A copy of the descriptor keeps the file's lock until the rename, so that
    // another run's clean-up leaves the hidden name alone; closing the
    // original still reports what the file system could not write.
    const int keeper = fcntl(m_fd, F_DUPFD_CLOEXEC, 3);
    bool done = ::close(m_fd) == 0;
    m_fd = -1;
    if (done) done = TakeFinalName();
    const int cause = errno;
    if (keeper >= 0) ::close(keeper);
    errno = cause;
    return done;
}

// The new file and the old one swap names in one step: the name never lacks
// a whole file, and the old one, now at the hidden name, is removed on the
// background thread.  A plain rename over a taken name makes some file
// systems (ext4) write the new file out at once, and frees the old one,
// both on the batch's path.
bool OutputTarget::SwapWithOldFile() {
    static std::atomic<bool> s_swapUnsupported{false};
    if (s_swapUnsupported.load(std::memory_order_relaxed)) return false;
    if (renameat2(m_folder->Fd(), m_strTempName.c_str(), m_folder->Fd(), m_strName.c_str(), RENAME_EXCHANGE) != 0) {
        if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) s_swapUnsupported.store(true, std::memory_order_relaxed);
        return false;  // the name is gone meanwhile, or no swaps here: a rename does it
    }
    // Only the file that was looked at is removed: whatever else was put at
    // the name meanwhile (a folder) stays, under the hidden name.
    RunLater([folder = m_folder, temp = std::move(m_strTempName), old = m_oldFile, slot = m_nRegistrySlot] {
        struct stat info {};
        if (fstatat(folder->Fd(), temp.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && IdentityOf(info) == old)
            ::unlinkat(folder->Fd(), temp.c_str(), 0);
        TempFileRegistry::Remove(slot);
    });
    m_strTempName.clear();
    m_nRegistrySlot = -1;
    return true;
}

void OutputTarget::Forget() {
    TempFileRegistry::Remove(m_nRegistrySlot);
    m_nRegistrySlot = -1;
    m_strTempName.clear();
    m_fd = -1;
    m_oldFile = FileIdentity{};
    m_state = OutputState::Closed;
}

bool OutputTarget::Commit(FileError& error) {
    if (m_state == OutputState::Closed) return true;
    error = FileError{m_strPath, {}};
    bool done = true;
    if (m_state == OutputState::Direct) {
        done = ::close(m_fd) == 0;
        m_fd = -1;
    } else if (m_state == OutputState::Unnamed) {
        done = PlaceUnnamedFile();
    } else {
        done = CloseAndRename();
    }
    if (!done) {
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
    other.m_state = m_state;
    other.m_fd = m_fd;
    other.m_oldFile = m_oldFile;
    other.m_strPath = m_strPath;
    other.m_strName = m_strName;
    other.m_strTempName = std::move(m_strTempName);
    other.m_folder = m_folder;  // shared: this target keeps it for its next output
    other.m_strFolderPath.clear();
    other.m_nRegistrySlot = m_nRegistrySlot;
    m_nRegistrySlot = -1;
    Forget();
}

void OutputTarget::Discard() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_strTempName.empty()) ::unlinkat(m_folder->Fd(), m_strTempName.c_str(), 0);
    Forget();
}

void RemoveLeftoverTempFiles(int folderFd) {
    const int readable = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readable < 0) return;
    DIR* dir = fdopendir(readable);
    if (!dir) {
        ::close(readable);
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        if (!IsTempFileName(entry->d_name)) continue;
        const int fd = openat(readable, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat info {};
        if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && TryLock(fd, LOCK_EX) == LockResult::Taken)
            unlinkat(readable, entry->d_name, 0);
        ::close(fd);
    }
    closedir(dir);
}

}  // namespace tavisk
