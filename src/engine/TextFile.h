#pragma once
// Buffered text files on POSIX descriptors.
//  - Reading: a line ends at LF; one CR directly before it is dropped; a last
//    line without LF is still a line.  Lines of any length; NUL is a byte.
//    The reader remembers the end each line had (LF, CR LF, none).
//  - Writing: every line is written followed by CR LF, or as SetLineEnds
//    says.  Lines hold no LF: every text the program writes was split at LF
//    when it was read.  Output is gathered in a large buffer and goes to a
//    new file that Commit puts in place (see OutputTarget.h), or to an
//    OutputCapture instead (a run that writes nothing).
//  - Sharing: advisory flock locks, taken without blocking; a conflict is the
//    error "sharing violation".
#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "FileError.h"
#include "FileIdentity.h"
#include "LineEnds.h"
#include "OutputTarget.h"

namespace tavisk {

enum class ShareMode {
    Exclusive,  // no other opener (the source files)
    DenyWrite,  // other readers allowed, no writer (control files read)
};

class TextFileWriter;

// Takes the bytes of an output that is not written to a file.
class OutputCapture {
public:
    virtual ~OutputCapture() = default;
    // False when the bytes cannot be kept (out of memory).
    virtual bool Take(std::string_view bytes) = 0;
};

// Told how far a reader has got in its file, after each read from it.
class ReadProgress {
public:
    virtual ~ReadProgress() = default;
    // `fileSize` is the size at opening; 0 when the file has no size (a pipe).
    virtual void BytesRead(uint64_t bytesRead, uint64_t fileSize) = 0;
};

class TextFileReader {
public:
    // Stopped: the stop flag was raised; TooLong: a line passed the line limit.
    enum class ReadResult { Line, End, Error, Stopped, TooLong };

    TextFileReader() = default;
    ~TextFileReader();
    TextFileReader(const TextFileReader&) = delete;
    TextFileReader& operator=(const TextFileReader&) = delete;

    bool Open(const std::string& path, ShareMode share, FileError& error);
    // Opens `relative` below `folder` without following any symbolic link
    // below the folder (a link there is an error): a file found in a tree
    // can never be a way out of it.  Its path is folder + "/" + relative.
    bool OpenBeneath(const std::string& folder, const std::string& relative, ShareMode share, FileError& error);
    // Reads standard input as the source; its path is "standard input".
    bool OpenStandardInput(FileError& error);
    // Reads `bytes`, which the caller keeps alive until Close, as a file
    // named `name`: no descriptor, no lock, no file system work.
    void OpenMemory(std::string_view bytes, const std::string& name);
    // Reads bytes [begin, end) of the open file `fd` with pread, as a file
    // named `name`; `fd` stays the caller's.  Several readers may share one
    // descriptor this way.
    void OpenRange(int fd, uint64_t begin, uint64_t end, const std::string& name);
    // Checked at every refill of the buffer, so a read of any size ends soon
    // after the flag is raised; a read from a pipe or FIFO also waits on
    // `stopFd` (see StopEvent), so it ends even while no data comes.
    void SetStopFlag(const std::atomic<bool>* stop, int stopFd = -1) {
        m_pStop = stop;
        m_nStopFd = stopFd;
    }
    // A line longer than `limit` bytes is not read whole: ReadLine returns TooLong.
    void SetLineLimit(size_t limit) { m_nLineLimit = limit; }
    // The first bytes of the file (fewer when it is shorter), without reading them.
    std::string_view Peek(size_t count);
    // On Line, `line` views the line without its terminator; it stays valid
    // until the next ReadLine or Close.  On Error, LastError() tells why.
    // A read error is kept: every later read returns Error again.
    ReadResult ReadLine(std::string_view& line);
    const FileError& LastError() const { return m_lastError; }
    // The end of the line the last read returned.
    LineEnd LastLineEnd() const { return m_lastEnd; }
    // Before the first line is read: the end of the first line, reading ahead
    // as far as its LF (up to a limit); None when it has none.
    LineEnd PeekFirstLineEnd();

    enum class CopyResult { Done, ReadFailed, WriteFailed, Stopped };
    // Copies everything not read yet to `out`, each line ended as `out` ends
    // a source line, and counts the lines.  A long line goes out in pieces as
    // it is read, so it
    // is never held whole.
    CopyResult CopyRestTo(TextFileWriter& out, int64_t& lines);

    // Hands each remaining line to `sink` (which returns false to stop) and
    // counts them.  Returns as ReadLine does, or Line when the sink stopped.
    template <typename Sink>
    ReadResult ForEachLine(Sink&& sink, int64_t& count) {
        std::string_view line;
        for (;;) {
            while (NextBufferedLine(line)) {
                ++count;
                if (!sink(line)) return ReadResult::Line;
            }
            const ReadResult result = ReadLine(line);  // refills the buffer
            if (result != ReadResult::Line) return result;
            ++count;
            if (!sink(line)) return ReadResult::Line;
        }
    }
    // Hands `sink` the rest of the file in blocks of whole lines, each block
    // the buffered text up to its last LF (which `sink` returns false to stop).
    // Returns as ReadLine does, or Line when the sink stopped; at the End, a
    // last line without LF is still unread: ReadLine gives it.
    template <typename Sink>
    ReadResult ForEachLineBlock(Sink&& sink) {
        if (!IsOpen()) return ReadResult::End;
        if (m_bFailed) return ReadResult::Error;
        for (;;) {
            // Only what was not looked at before: a long line is scanned once.
            const size_t from = m_nScanned > m_nBegin ? m_nScanned : m_nBegin;
            const void* last = from < m_nEnd ? memrchr(m_pBuffer + from, '\n', m_nEnd - from) : nullptr;
            if (last) {
                const size_t end = static_cast<size_t>(static_cast<const char*>(last) - m_pBuffer) + 1;
                const std::string_view block(m_pBuffer + m_nBegin, end - m_nBegin);
                m_lastEnd = end >= m_nBegin + 2 && m_pBuffer[end - 2] == '\r' ? LineEnd::CrLf : LineEnd::Lf;
                m_nBegin = m_nScanned = end;
                if (!sink(block)) return ReadResult::Line;
                continue;
            }
            m_nScanned = m_nEnd;
            if (m_bEof) return ReadResult::End;
            if (StopRequested()) return ReadResult::Stopped;
            if (!Fill()) {
                m_bFailed = true;
                return ReadResult::Error;
            }
        }
    }
    void Close();
    bool IsOpen() const { return m_fd >= 0 || m_pMemory; }
    // The descriptor of a source that is a regular file, else -1.
    int RegularFileDescriptor() const { return m_bRegularFile ? m_fd : -1; }
    // Where in its file the next unread byte lies; -1 when that is not known.
    int64_t UnreadOffset() const;
    // Drops what is buffered and goes on reading at `offset` of the file,
    // which others have read up to there; tells the progress so.
    bool SkipTo(uint64_t offset);
    // Makes every later read fail with `error`, as a failed read of this file would.
    void FailWith(const FileError& error);
    void SetProgress(ReadProgress* progress) { m_pProgress = progress; }
    uint64_t FileSize() const { return m_nFileSize; }
    const FileIdentity& Identity() const { return m_identity; }
    // The permission bits a copy of this file gets (before the umask).
    mode_t Permissions() const { return m_nPermissions; }
    const std::string& Path() const { return m_strPath; }

private:
    bool Adopt(int fd, ShareMode share, FileError& error, bool openedWithoutWaiting = false);
    bool AllocateBuffer();
    void ResetPosition();
    bool Fill();
    bool FillFromMemory(size_t want);
    ssize_t ReadRange(size_t want);  // pread within the range of OpenRange
    bool StopRequested() const { return m_pStop && m_pStop->load(std::memory_order_relaxed); }

    // The next line when its LF is already in the buffer.
    bool NextBufferedLine(std::string_view& line) {
        const size_t from = m_nScanned > m_nBegin ? m_nScanned : m_nBegin;
        if (from >= m_nEnd) return false;
        const void* found = std::memchr(m_pBuffer + from, '\n', m_nEnd - from);
        if (!found) {
            m_nScanned = m_nEnd;
            return false;
        }
        const size_t lineFeed = static_cast<size_t>(static_cast<const char*>(found) - m_pBuffer);
        size_t length = lineFeed - m_nBegin;
        const bool carriageReturn = length > 0 && m_pBuffer[lineFeed - 1] == '\r';
        length -= carriageReturn;
        m_lastEnd = carriageReturn ? LineEnd::CrLf : LineEnd::Lf;
        line = std::string_view(m_pBuffer + m_nBegin, length);
        m_nBegin = m_nScanned = lineFeed + 1;
        return true;
    }

    int m_fd = -1;
    bool m_bBorrowedFd = false;  // OpenRange: the descriptor is not ours to close
    bool m_bRegularFile = false;
    uint64_t m_nRangeOffset = 0;  // OpenRange: the next byte pread gets, and the end
    uint64_t m_nRangeEnd = 0;
    const char* m_pMemory = nullptr;  // the rest of an in-memory source
    size_t m_nMemoryLeft = 0;
    std::string m_strPath;
    FileIdentity m_identity;
    mode_t m_nPermissions = 0666;
    FileError m_lastError;
    const std::atomic<bool>* m_pStop = nullptr;
    int m_nStopFd = -1;
    bool m_bMayWait = false;  // a pipe, FIFO, terminal or socket: a read may wait for ever
    size_t m_nLineLimit = SIZE_MAX;
    char* m_pBuffer = nullptr;
    size_t m_nCapacity = 0;
    size_t m_nBegin = 0;  // start of unread data
    size_t m_nEnd = 0;    // end of data read so far
    size_t m_nScanned = 0;  // data before this offset holds no LF
    bool m_bEof = false;
    bool m_bFailed = false;
    LineEnd m_lastEnd = LineEnd::None;
    uint64_t m_nBytesRead = 0;
    uint64_t m_nFileSize = 0;
    ReadProgress* m_pProgress = nullptr;
};

class TextFileWriter {
public:
    TextFileWriter() = default;
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    // Starts a new file for `path`, which Commit puts in place; see OutputTarget.
    bool Create(const std::string& path, FileError& error, const OutputOptions& options = {});
    // Opens no file: everything written goes to `capture`.  `path` names
    // the output in errors.
    void CreateCaptured(const std::string& path, OutputCapture* capture);
    // How lines end from now on: `style` for the lines of the source, and
    // `made` (LF when None) for lines the script completes itself.  With
    // Keep, a line written with no end gets `made` once anything follows it.
    void SetLineEnds(LineEndStyle style, LineEnd made);
    // Writes `line` and the end of a line the script completed itself.  On
    // failure LastError() tells why.
    bool WriteLine(std::string_view line) { return WritePiece(line) && AppendLineEnd(m_madeEnd); }
    // Writes `line` and the end for a source line that ended with `sourceEnd`.
    bool WriteSourceLine(std::string_view line, LineEnd sourceEnd) {
        return WritePiece(line) && AppendLineEnd(OutputLineEnd(m_style, sourceEnd));
    }
    // As WriteLine, for a text that may hold LF: each goes out as a line end.
    bool WriteTextLine(std::string_view text);
    // Writes the start of a line; a later WriteLine completes it.
    bool WritePiece(std::string_view piece) {
        if (m_nUsed + piece.size() <= kBufferSize && m_bReady) {  // the common case
            // An empty view may carry a null pointer, which memcpy must not get.
            if (!piece.empty()) std::memcpy(m_pBuffer + m_nUsed, piece.data(), piece.size());
            m_nUsed += piece.size();
            return true;
        }
        return WritePieceSlowly(piece);
    }
    // For bulk copies: room for `size` (at most BufferSize()) more bytes,
    // written in place and then counted with Used; null when the writer can
    // take nothing now (failed, or a line end owed), and after a failed flush.
    char* Room(size_t size) {
        if (!m_bReady) return nullptr;
        if (m_nUsed + size > kBufferSize && !Flush()) return nullptr;
        return m_pBuffer + m_nUsed;
    }
    void Used(size_t size) { m_nUsed += size; }
    // As WritePiece, for a large piece: it goes out as it is, not through the buffer.
    bool WriteDirectly(std::string_view piece) {
        if (!m_bReady || !Flush()) return WritePiece(piece);  // a failed flush is reported by it again
        return piece.empty() || WriteAll(piece.data(), piece.size());
    }
    LineEndStyle Style() const { return m_style; }
    const FileError& LastError() const { return m_lastError; }
    bool Failed() const { return m_bFailed; }
    // A captured output: hands over the buffer that holds what was written
    // since the capture last took its bytes (`used` of them), and writes on
    // into `fresh`, a malloc'ed buffer of BufferSize() bytes, without a copy.
    char* ExchangeBuffer(char* fresh, size_t& used);
    static constexpr size_t BufferSize() { return kBufferSize; }
    // The descriptor the bytes go to; -1 for a captured output.  Flush first.
    int FileDescriptor() const { return m_pCapture ? -1 : m_target.Fd(); }
    // Writes out what is buffered; false, with LastError() set, on failure.
    bool FlushBuffer() { return !m_bFailed && Flush(); }
    // Flushes, closes and puts the file in place (a captured output: hands
    // over the rest).  After a failed write nothing is put in place and no
    // second error is returned.
    bool Commit(FileError& error);
    // Drops the file: the final name keeps what it held before.
    void Discard();
    // As Commit, but hands the flushed file to `later` instead of putting it in place.
    bool Finish(OutputTarget& later, FileError& error);
    // A write to a pipe, FIFO or terminal waits on `stopFd` too, and ends
    // with Stopped() once the flag is raised (see StopEvent).
    void SetStopFlag(const std::atomic<bool>* stop, int stopFd = -1) {
        m_pStop = stop;
        m_nStopFd = stopFd;
        m_target.SetStopFlag(stop, stopFd);
    }
    // The last write, or the open of a FIFO, failed because the stop came while it waited.
    bool Stopped() const { return m_bStopped; }
    // See OutputTarget::CloseFolder.
    void CloseFolder() { m_target.CloseFolder(); }
    bool IsOpen() const { return m_target.IsOpen() || m_pCapture; }
    const std::string& Path() const { return m_pCapture ? m_strCapturedPath : m_target.Path(); }

private:
    static constexpr size_t kBufferSize = size_t{1} << 20;

    bool WritePieceSlowly(std::string_view piece);
    bool Append(std::string_view bytes);
    bool AppendLineEnd(LineEnd end) {
        if (m_nUsed + 2 > kBufferSize && !Flush()) return false;
        if (end == LineEnd::CrLf) m_pBuffer[m_nUsed++] = '\r';
        if (end != LineEnd::None) {
            m_pBuffer[m_nUsed++] = '\n';
        } else {
            m_bLineEndOwed = true;
            m_bReady = false;
        }
        return true;
    }
    void UpdateReady() { m_bReady = IsOpen() && !m_bFailed && !m_bLineEndOwed; }
    bool Flush();
    bool WriteAll(const char* data, size_t size);
    bool Fail(int errorNumber);
    bool FailStopped();

    OutputTarget m_target;
    FileError m_lastError;
    OutputCapture* m_pCapture = nullptr;
    std::string m_strCapturedPath;
    const std::atomic<bool>* m_pStop = nullptr;
    int m_nStopFd = -1;
    int m_nWaitsFd = -1;      // the descriptor m_bMayWait was found for
    bool m_bMayWait = false;  // writes to it may wait for ever
    bool m_bStopped = false;
    char* m_pBuffer = nullptr;
    size_t m_nUsed = 0;
    bool m_bFailed = false;
    bool m_bReady = false;        // open, not failed, no line end owed: pieces go straight in
    bool m_bLineEndOwed = false;  // a line went out without an end; one is due before more text
    LineEndStyle m_style = LineEndStyle::CrLf;
    LineEnd m_madeEnd = LineEnd::CrLf;
};

}  // namespace tavisk
