#include "TextFile.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <linux/openat2.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "LineBlocks.h"
#include "StopEvent.h"

namespace tavisk {

namespace {

constexpr size_t kReadBufferSize = size_t{1} << 20;   // grows for longer lines
constexpr size_t kReadChunk = size_t{1} << 20;        // bytes asked of one read()
constexpr size_t kWriteChunk = size_t{16} << 20;      // bytes given to one write() of a large piece
constexpr size_t kPeekLimit = size_t{16} << 20;       // how far to look for the first line end

// A pipe, FIFO, socket or terminal may have nothing to read, or no room,
// for ever; files, block devices and such as /dev/null answer in their own time.
bool MayWaitForEver(int fd, const struct stat& info) {
    return S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) || (S_ISCHR(info.st_mode) && isatty(fd));
}

// A FIFO opened to read waits in open() for a writer, where no stop can
// reach it: it is opened without waiting, and the reads wait instead.
constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Our own descriptor, opened without waiting: from now on reads wait.
void WaitOnReads(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

// `relative` below `folder`, opened with no symbolic link followed on the
// way and none at the end (-1 with errno ELOOP when there is one).
int OpenWithoutLinks(const std::string& folder, const std::string& relative) {
    const int folderFd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) return -1;
    open_how how {};
    how.flags = kOpenFlags;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    int fd = static_cast<int>(syscall(SYS_openat2, folderFd, relative.c_str(), &how, sizeof how));
    if (fd < 0 && errno == ENOSYS) {  // a kernel before openat2: one name at a time
        int at = ::dup(folderFd);
        size_t begin = 0;
        while (at >= 0) {
            const size_t slash = relative.find('/', begin);
            const std::string name = relative.substr(begin, slash - begin);
            const bool last = slash == std::string::npos;
            const int flags = last ? kOpenFlags : O_PATH | O_DIRECTORY | O_CLOEXEC;
            const int next = ::openat(at, name.c_str(), flags | O_NOFOLLOW);
            ::close(at);
            if (last || next < 0) {
                fd = next;
                break;
            }
            at = next;
            begin = slash + 1;
        }
    }
    const int cause = errno;
    ::close(folderFd);
    errno = cause;
    return fd;
}

// Bytes a write to `fd`, found ready, surely takes without waiting.  A pipe
// holds its bytes in pages: the free pages, less one for a page another
// writer's piece may have started, take a write whole; elsewhere (or when
// the pipe cannot say) only PIPE_BUF bytes are promised.
size_t RoomToWrite(int fd) {
    constexpr long kPage = 4096;
    const long capacity = fcntl(fd, F_GETPIPE_SZ);
    int queued = 0;
    if (capacity <= 0 || ioctl(fd, FIONREAD, &queued) != 0) return PIPE_BUF;
    const long freePages = capacity / kPage - (queued + kPage - 1) / kPage - 1;
    return freePages * kPage > PIPE_BUF ? static_cast<size_t>(freePages * kPage) : PIPE_BUF;
}

// Share-mode locks are taken on regular files only: a device such as
// /dev/null or /dev/full is shared by every program on the machine.
// Locks that the file system cannot give are not a conflict with anybody.
bool LockUnsupported(int errorNumber) {
    return errorNumber == ENOLCK || errorNumber == EOPNOTSUPP || errorNumber == EINVAL;
}

// Takes the share-mode lock; false with `cause` set on a conflict or failure.
bool TakeShareLock(int fd, ShareMode share, std::string& cause) {
    const int operation = (share == ShareMode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    while (flock(fd, operation) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) {
            cause = kSharingViolation;
            return false;
        }
        if (LockUnsupported(errno)) return true;
        cause = DescribeErrno(errno);
        return false;
    }
    return true;
}

}  // namespace

std::string DescribeErrno(int errorNumber) { return std::strerror(errorNumber); }

// ---------------------------------------------------------------- reader

TextFileReader::~TextFileReader() {
    Close();
    std::free(m_pBuffer);
}

bool TextFileReader::Open(const std::string& path, ShareMode share, FileError& error) {
    Close();
    m_strPath = path;
    error = FileError{path, {}};
    const int fd = ::open(path.c_str(), kOpenFlags);
    if (fd < 0) {
        error.m_strCause = DescribeErrno(errno);
        return false;
    }
    return Adopt(fd, share, error, true);
}

bool TextFileReader::OpenBeneath(const std::string& folder, const std::string& relative, ShareMode share,
                                 FileError& error) {
    Close();
    m_strPath = folder + "/" + relative;
    error = FileError{m_strPath, {}};
    const int fd = OpenWithoutLinks(folder, relative);
    if (fd < 0) {
        error.m_strCause = errno == ELOOP ? "a symbolic link on the way, not followed" : DescribeErrno(errno);
        return false;
    }
    return Adopt(fd, share, error, true);
}

bool TextFileReader::OpenStandardInput(FileError& error) {
    Close();
    m_strPath = "standard input";
    error = FileError{m_strPath, {}};
    // A copy of the descriptor, so that closing the source leaves standard input as it was.
    const int fd = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) {
        error.m_strCause = DescribeErrno(errno);
        return false;
    }
    return Adopt(fd, ShareMode::DenyWrite, error);
}

bool TextFileReader::Adopt(int fd, ShareMode share, FileError& error, bool openedWithoutWaiting) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        error.m_strCause = DescribeErrno(S_ISDIR(info.st_mode) ? EISDIR : errno);
        ::close(fd);
        return false;
    }
    // A regular file's reads never wait, whatever the flag says.
    if (openedWithoutWaiting && !S_ISREG(info.st_mode)) WaitOnReads(fd);
    if (S_ISREG(info.st_mode) && !TakeShareLock(fd, share, error.m_strCause)) {
        ::close(fd);
        return false;
    }
    if (!AllocateBuffer()) {
        error.m_strCause = DescribeErrno(ENOMEM);
        ::close(fd);
        return false;
    }
    if (info.st_size > static_cast<off_t>(kReadChunk)) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);  // one read does a small file
    m_fd = fd;
    m_bRegularFile = S_ISREG(info.st_mode);
    m_identity = IdentityOf(info);
    m_nPermissions = S_ISREG(info.st_mode) ? (info.st_mode & 0777) : 0666;
    ResetPosition();
    m_nFileSize = S_ISREG(info.st_mode) ? static_cast<uint64_t>(info.st_size) : 0;
    m_bMayWait = MayWaitForEver(fd, info);
    return true;
}

void TextFileReader::OpenMemory(std::string_view bytes, const std::string& name) {
    Close();
    m_strPath = name;
    m_nPermissions = 0666;
    ResetPosition();
    if (!AllocateBuffer()) {
        m_lastError = FileError{name, DescribeErrno(ENOMEM)};
        m_bFailed = true;
    }
    // A non-null pointer marks the reader open even for an empty source.
    m_bMayWait = false;
    m_pMemory = bytes.empty() ? "" : bytes.data();
    m_nMemoryLeft = bytes.size();
    m_nFileSize = bytes.size();
}

void TextFileReader::OpenRange(int fd, uint64_t begin, uint64_t end, const std::string& name) {
    Close();
    m_strPath = name;
    ResetPosition();
    if (!AllocateBuffer()) {
        m_lastError = FileError{name, DescribeErrno(ENOMEM)};
        m_bFailed = true;
    }
    m_fd = fd;
    m_bBorrowedFd = true;
    m_bMayWait = false;  // a range of a file, read by position
    m_nRangeOffset = begin;
    m_nRangeEnd = end;
    m_nFileSize = end - begin;
}

int64_t TextFileReader::UnreadOffset() const {
    if (m_fd < 0) return -1;
    const off_t after = m_bBorrowedFd ? static_cast<off_t>(m_nRangeOffset) : lseek(m_fd, 0, SEEK_CUR);
    if (after < 0) return -1;
    return static_cast<int64_t>(after) - static_cast<int64_t>(m_nEnd - m_nBegin);
}

bool TextFileReader::SkipTo(uint64_t offset) {
    if (m_fd < 0 || m_bFailed) return false;
    if (m_bBorrowedFd) {
        m_nRangeOffset = offset;
    } else if (lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
        FailWith(FileError{m_strPath, DescribeErrno(errno)});
        return false;
    }
    m_nBegin = m_nEnd = m_nScanned = 0;
    m_bEof = false;
    m_nBytesRead = offset;
    if (m_pProgress) m_pProgress->BytesRead(m_nBytesRead, m_nFileSize);
    return true;
}

void TextFileReader::FailWith(const FileError& error) {
    m_lastError = error;
    m_bFailed = true;
}

bool TextFileReader::AllocateBuffer() {
    if (m_pBuffer) return true;
    m_pBuffer = static_cast<char*>(std::malloc(kReadBufferSize));
    if (!m_pBuffer) return false;
    m_nCapacity = kReadBufferSize;
    return true;
}

void TextFileReader::ResetPosition() {
    m_nBegin = m_nEnd = m_nScanned = 0;
    m_bEof = false;
    m_bFailed = false;
    m_lastEnd = LineEnd::None;
    m_nBytesRead = 0;
}

LineEnd TextFileReader::PeekFirstLineEnd() {
    if (!IsOpen() || m_bFailed) return LineEnd::None;
    for (;;) {
        const size_t pending = m_nEnd - m_nBegin;
        const void* found = pending ? std::memchr(m_pBuffer + m_nBegin, '\n', pending) : nullptr;
        if (found) {
            const size_t lineFeed = static_cast<size_t>(static_cast<const char*>(found) - m_pBuffer);
            return lineFeed > m_nBegin && m_pBuffer[lineFeed - 1] == '\r' ? LineEnd::CrLf : LineEnd::Lf;
        }
        if (m_bEof || pending >= kPeekLimit || StopRequested()) return LineEnd::None;
        if (!Fill()) {
            m_bFailed = true;  // the next read reports it
            return LineEnd::None;
        }
    }
}

void TextFileReader::Close() {
    if (m_fd >= 0 && !m_bBorrowedFd) ::close(m_fd);  // a failed close of a file only read loses nothing
    m_fd = -1;
    m_bBorrowedFd = false;
    m_bRegularFile = false;
    m_pMemory = nullptr;
    m_nMemoryLeft = 0;
    m_identity = FileIdentity{};
}

bool TextFileReader::Fill() {
    if (m_nBegin > 0) {  // keep the partial line at the front
        std::memmove(m_pBuffer, m_pBuffer + m_nBegin, m_nEnd - m_nBegin);
        m_nEnd -= m_nBegin;
        m_nScanned -= m_nBegin;
        m_nBegin = 0;
    }
    if (m_nEnd == m_nCapacity) {  // one line fills the buffer: make it larger
        const size_t larger = m_nCapacity * 2;
        char* grown = static_cast<char*>(std::realloc(m_pBuffer, larger));
        if (!grown) {
            m_lastError = FileError{m_strPath, DescribeErrno(ENOMEM)};
            return false;
        }
        m_pBuffer = grown;
        m_nCapacity = larger;
    }
    const size_t want = std::min(m_nCapacity - m_nEnd, kReadChunk);
    if (m_pMemory) return FillFromMemory(want);
    for (;;) {
        // A stop ends the wait with nothing read; the caller sees the flag.
        if (m_bMayWait && !m_bBorrowedFd && !WaitReadyOrStopped(m_fd, POLLIN, m_pStop, m_nStopFd)) return true;
        const ssize_t got = m_bBorrowedFd ? ReadRange(want) : ::read(m_fd, m_pBuffer + m_nEnd, want);
        if (got > 0) {
            m_nEnd += static_cast<size_t>(got);
            m_nBytesRead += static_cast<uint64_t>(got);
            if (m_pProgress) m_pProgress->BytesRead(m_nBytesRead, m_nFileSize);
            // A short read that reached the size the file had when opened
            // is its end: a small file costs one read, not two.
            if (m_bRegularFile && !m_bBorrowedFd && static_cast<size_t>(got) < want && m_nBytesRead == m_nFileSize)
                m_bEof = true;
            return true;
        }
        if (got == 0) {
            m_bEof = true;
            return true;
        }
        if (errno == EINTR) {
            if (StopRequested()) return true;  // interrupted by the stop: not retried
            continue;
        }
        m_lastError = FileError{m_strPath, DescribeErrno(errno)};
        return false;
    }
}

ssize_t TextFileReader::ReadRange(size_t want) {
    const uint64_t left = m_nRangeEnd - m_nRangeOffset;
    if (left == 0) return 0;
    const ssize_t got = ::pread(m_fd, m_pBuffer + m_nEnd, std::min<uint64_t>(want, left), static_cast<off_t>(m_nRangeOffset));
    if (got > 0) m_nRangeOffset += static_cast<uint64_t>(got);
    return got;
}

bool TextFileReader::FillFromMemory(size_t want) {
    const size_t got = std::min(want, m_nMemoryLeft);
    if (got == 0) {
        m_bEof = true;
        return true;
    }
    std::memcpy(m_pBuffer + m_nEnd, m_pMemory, got);
    m_pMemory += got;
    m_nMemoryLeft -= got;
    m_nEnd += got;
    m_nBytesRead += got;
    if (m_pProgress) m_pProgress->BytesRead(m_nBytesRead, m_nFileSize);
    return true;
}

TextFileReader::ReadResult TextFileReader::ReadLine(std::string_view& line) {
    if (!IsOpen()) return ReadResult::End;
    if (m_bFailed) return ReadResult::Error;
    for (;;) {
        if (NextBufferedLine(line)) return ReadResult::Line;
        if (m_bEof) {
            if (m_nBegin == m_nEnd) return ReadResult::End;
            line = std::string_view(m_pBuffer + m_nBegin, m_nEnd - m_nBegin);  // last line without LF
            m_nBegin = m_nScanned = m_nEnd;
            m_lastEnd = LineEnd::None;
            return ReadResult::Line;
        }
        if (StopRequested()) return ReadResult::Stopped;
        if (m_nEnd - m_nBegin > m_nLineLimit) return ReadResult::TooLong;
        if (!Fill()) {
            m_bFailed = true;
            return ReadResult::Error;
        }
    }
}

TextFileReader::CopyResult TextFileReader::CopyRestTo(TextFileWriter& out, int64_t& lines) {
    if (!IsOpen()) return CopyResult::Done;
    if (m_bFailed) return CopyResult::ReadFailed;
    std::string_view line;
    bool lineStarted = false;  // part of the current line is out already
    for (;;) {
        // Every whole line in the buffer goes out in one block.
        const size_t from = m_nScanned > m_nBegin ? m_nScanned : m_nBegin;
        const void* last = from < m_nEnd ? memrchr(m_pBuffer + from, '\n', m_nEnd - from) : nullptr;
        m_nScanned = m_nEnd;
        if (last) {
            const size_t end = static_cast<size_t>(static_cast<const char*>(last) - m_pBuffer) + 1;
            m_lastEnd = end >= m_nBegin + 2 && m_pBuffer[end - 2] == '\r' ? LineEnd::CrLf : LineEnd::Lf;
            const std::string_view block(m_pBuffer + m_nBegin, end - m_nBegin);
            m_nBegin = end;
            lineStarted = false;
            if (!WriteSourceText(out, block, out.Style(), lines)) return CopyResult::WriteFailed;
        }
        if (m_bEof) {
            if (m_nBegin == m_nEnd && !lineStarted) return CopyResult::Done;
            ++lines;  // the last line, without LF
            line = std::string_view(m_pBuffer + m_nBegin, m_nEnd - m_nBegin);
            m_nBegin = m_nScanned = m_nEnd;
            m_lastEnd = LineEnd::None;
            return out.WriteSourceLine(line, LineEnd::None) ? CopyResult::Done : CopyResult::WriteFailed;
        }
        // The start of a line whose LF is not read yet goes out now, but for a
        // final CR, which is dropped if an LF follows it.
        const size_t pending = m_nEnd - m_nBegin;
        const size_t now = pending > 0 && m_pBuffer[m_nEnd - 1] == '\r' ? pending - 1 : pending;
        if (now > 0) {
            if (!out.WritePiece(std::string_view(m_pBuffer + m_nBegin, now))) return CopyResult::WriteFailed;
            m_nBegin += now;
            lineStarted = true;
        }
        if (StopRequested()) return CopyResult::Stopped;
        if (!Fill()) {
            m_bFailed = true;
            return CopyResult::ReadFailed;
        }
    }
}

std::string_view TextFileReader::Peek(size_t count) {
    while (IsOpen() && !m_bFailed && !m_bEof && m_nEnd - m_nBegin < count && m_nEnd < m_nCapacity &&
           !StopRequested()) {
        if (!Fill()) m_bFailed = true;  // ReadLine reports it
    }
    return std::string_view(m_pBuffer + m_nBegin, std::min(count, m_nEnd - m_nBegin));
}

// ---------------------------------------------------------------- writer

TextFileWriter::~TextFileWriter() {
    Discard();
    std::free(m_pBuffer);
}

bool TextFileWriter::FailStopped() {
    m_bStopped = true;
    return Fail(EINTR);
}

bool TextFileWriter::Fail(int errorNumber) {
    m_lastError = FileError{Path(), DescribeErrno(errorNumber)};
    m_bFailed = true;
    m_bReady = false;
    return false;
}

void TextFileWriter::SetLineEnds(LineEndStyle style, LineEnd made) {
    m_style = style;
    m_madeEnd = OutputLineEnd(style, made == LineEnd::None ? LineEnd::Lf : made);
}

void TextFileWriter::CreateCaptured(const std::string& path, OutputCapture* capture) {
    Discard();
    m_strCapturedPath = path;
    m_bFailed = false;
    m_bLineEndOwed = false;
    m_bStopped = false;
    m_nUsed = 0;
    if (!m_pBuffer) m_pBuffer = static_cast<char*>(std::malloc(kBufferSize));
    m_pCapture = capture;
    if (!m_pBuffer) Fail(ENOMEM);  // the first write reports it
    UpdateReady();
}

char* TextFileWriter::ExchangeBuffer(char* fresh, size_t& used) {
    char* full = m_pBuffer;
    used = m_nUsed;
    m_pBuffer = fresh;
    m_nUsed = 0;
    return full;
}

bool TextFileWriter::Create(const std::string& path, FileError& error, const OutputOptions& options) {
    Discard();
    m_bFailed = false;
    m_bLineEndOwed = false;
    m_bStopped = false;
    m_nWaitsFd = -1;
    m_nUsed = 0;
    if (!m_pBuffer) {
        m_pBuffer = static_cast<char*>(std::malloc(kBufferSize));
        if (!m_pBuffer) {
            error = FileError{path, DescribeErrno(ENOMEM)};
            return false;
        }
    }
    const bool opened = m_target.Open(path, options, error);
    m_bStopped = m_target.OpenStopped();
    if (opened && m_target.State() != OutputState::Direct) {  // a new regular file: writes never wait
        m_nWaitsFd = m_target.Fd();
        m_bMayWait = false;
    }
    UpdateReady();
    return opened;
}

bool TextFileWriter::WriteAll(const char* data, size_t size) {
    if (m_pCapture) return m_pCapture->Take(std::string_view(data, size)) || Fail(ENOMEM);
    const int fd = m_target.Fd();
    if (m_nWaitsFd != fd) {
        struct stat info {};
        m_bMayWait = fstat(fd, &info) == 0 && MayWaitForEver(fd, info);
        m_nWaitsFd = fd;
    }
    for (bool first = true; size > 0; first = false) {
        // Where a write may wait for ever, it waits for room first, together
        // with the stop, and writes no more than room is promised for.
        if (m_bMayWait && !WaitReadyOrStopped(fd, POLLOUT, m_pStop, m_nStopFd)) return FailStopped();
        // A line of gigabytes goes out in pieces, so a stop is seen between them.
        if (!first && m_pStop && m_pStop->load(std::memory_order_relaxed)) return FailStopped();
        const ssize_t written = ::write(fd, data, std::min(size, m_bMayWait ? RoomToWrite(fd) : kWriteChunk));
        if (written < 0) {
            if (errno == EINTR && m_pStop && m_pStop->load()) return FailStopped();
            if (errno == EINTR) continue;
            return Fail(errno);
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool TextFileWriter::Flush() {
    if (m_nUsed == 0) return true;
    const size_t used = m_nUsed;
    m_nUsed = 0;
    return WriteAll(m_pBuffer, used);
}

bool TextFileWriter::Append(std::string_view bytes) {
    if (m_nUsed + bytes.size() > kBufferSize) {
        if (!Flush()) return false;
        if (bytes.size() >= kBufferSize / 2) return WriteAll(bytes.data(), bytes.size());
    }
    if (bytes.empty()) return true;  // an empty view may carry a null pointer, which memcpy must not get
    std::memcpy(m_pBuffer + m_nUsed, bytes.data(), bytes.size());
    m_nUsed += bytes.size();
    return true;
}

bool TextFileWriter::WritePieceSlowly(std::string_view piece) {
    if (!IsOpen() || m_bFailed) {
        if (!m_bFailed) m_lastError = FileError{Path(), DescribeErrno(EBADF)};
        return false;
    }
    if (m_bLineEndOwed) {  // a line without an end is followed by more text
        m_bLineEndOwed = false;
        UpdateReady();
        if (!Append(LineEndBytes(m_madeEnd))) return false;
    }
    return Append(piece);
}

bool TextFileWriter::WriteTextLine(std::string_view text) {
    for (size_t lineFeed; (lineFeed = text.find('\n')) != std::string_view::npos; text.remove_prefix(lineFeed + 1))
        if (!WriteLine(text.substr(0, lineFeed))) return false;
    return WriteLine(text);
}

bool TextFileWriter::Commit(FileError& error) {
    if (!IsOpen()) return true;
    if (m_bFailed) {  // a write failed: nothing goes in place
        error = m_lastError;
        Discard();
        return false;
    }
    if (!Flush()) {
        error = m_lastError;
        Discard();
        return false;
    }
    m_nUsed = 0;
    if (m_pCapture) {  // everything went to the capture: nothing to put in place
        m_pCapture = nullptr;
        UpdateReady();
        return true;
    }
    const bool committed = m_target.Commit(error);
    UpdateReady();
    return committed;
}

bool TextFileWriter::Finish(OutputTarget& later, FileError& error) {
    if (!m_target.IsOpen()) return true;
    if (m_bFailed || !Flush()) {
        error = m_lastError;
        Discard();
        return false;
    }
    m_nUsed = 0;
    m_target.HandOver(later);
    return true;
}

void TextFileWriter::Discard() {
    m_target.Discard();
    m_pCapture = nullptr;
    m_nUsed = 0;
    m_bReady = false;
}

}  // namespace tavisk
