#include "DiffPreview.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "UnifiedDiff.h"

namespace tavisk {

namespace {

constexpr size_t kChunk = size_t{1} << 20;

// Reads up to `size` bytes at `offset`; the count read, or -1.
ssize_t ReadAt(int fd, char* data, size_t size, uint64_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

uint64_t CountLineFeeds(std::string_view bytes) { return static_cast<uint64_t>(std::count(bytes.begin(), bytes.end(), '\n')); }

// Reads the whole of a file of at most `limit` bytes; false with `cause` set
// when it cannot be read, with `tooLarge` set when it is larger.
bool ReadWholeFile(const std::string& path, size_t limit, std::string& text, bool& tooLarge, std::string& cause) {
    tooLarge = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        cause = DescribeErrno(errno);
        return false;
    }
    text.clear();
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) > limit) {
        tooLarge = true;
        ::close(fd);
        return true;
    }
    for (;;) {
        if (text.size() > limit) {
            tooLarge = true;
            break;
        }
        const size_t old = text.size();
        text.resize(old + kChunk);
        const ssize_t got = ReadAt(fd, text.data() + old, kChunk, old);
        if (got < 0) {
            cause = DescribeErrno(errno);
            ::close(fd);
            return false;
        }
        text.resize(old + static_cast<size_t>(got));
        if (got == 0) break;
    }
    ::close(fd);
    return true;
}

// Counts the lines of a file as a stream; false when it cannot be read.
bool CountFileLines(const std::string& path, uint64_t& lines) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string buffer(kChunk, '\0');
    uint64_t offset = 0;
    char last = '\n';
    lines = 0;
    for (;;) {
        const ssize_t got = ReadAt(fd, buffer.data(), kChunk, offset);
        if (got <= 0) {
            ::close(fd);
            if (last != '\n') ++lines;
            return got == 0;
        }
        lines += CountLineFeeds(std::string_view(buffer.data(), static_cast<size_t>(got)));
        last = buffer[static_cast<size_t>(got) - 1];
        offset += static_cast<uint64_t>(got);
    }
}

// How the lines of `text` end: "LF", "CR LF", "mixed", or "none" (no LF at all).
std::string_view LineEndsOf(std::string_view text) {
    bool lf = false, crLf = false;
    for (size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
        (at > 0 && text[at - 1] == '\r' ? crLf : lf) = true;
        if (lf && crLf) return "mixed";
    }
    return crLf ? "CR LF" : lf ? "LF" : "none";
}

// A diff shows lines without their ends: when the ends change too, one line
// under the "+++" label says so.
void NoteChangedLineEnds(std::string_view source, std::string_view output, std::string& diff) {
    const std::string_view before = LineEndsOf(source), after = LineEndsOf(output);
    if (before == after) return;
    const size_t labelsEnd = diff.find('\n', diff.find('\n') + 1);
    if (labelsEnd == std::string::npos) return;
    diff.insert(labelsEnd + 1, "Line ends change as well: " + std::string(before) + " to " + std::string(after) + "\n");
}

std::string LineCountText(uint64_t lines) { return std::to_string(lines) + (lines == 1 ? " line" : " lines"); }

std::string SizeText(size_t bytes) {
    return bytes % (size_t{1} << 20) == 0 ? std::to_string(bytes >> 20) + " MiB" : std::to_string(bytes) + " bytes";
}

}  // namespace

DiffPreview::~DiffPreview() { CloseSource(); }

OutputCapture* DiffPreview::BeginFile(const std::string& sourcePath, const std::string& outputPath) {
    CloseSource();
    m_strSourcePath = sourcePath;
    m_strOutputPath = outputPath;
    m_output.clear();
    m_bKeeping = true;
    m_nOutputBytes = 0;
    m_nOutputLines = 0;
    m_bOutputEndsInLineFeed = true;
    m_bSameSoFar = true;
    return this;
}

bool DiffPreview::Take(std::string_view bytes) {
    if (bytes.empty()) return true;
    m_nOutputLines += CountLineFeeds(bytes);
    m_bOutputEndsInLineFeed = bytes.back() == '\n';
    if (m_bKeeping && m_output.size() + bytes.size() > m_nSizeLimit) StopKeeping();
    const uint64_t offset = m_nOutputBytes;
    m_nOutputBytes += bytes.size();
    if (!m_bKeeping) {
        CompareWithSource(bytes, offset);
        return true;
    }
    try {
        m_output.append(bytes);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void DiffPreview::StopKeeping() {
    m_bKeeping = false;
    m_nSourceFd = ::open(m_strSourcePath.c_str(), O_RDONLY | O_CLOEXEC);
    m_bSameSoFar = m_nSourceFd >= 0;
    CompareWithSource(m_output, 0);
    std::string().swap(m_output);
}

void DiffPreview::CompareWithSource(std::string_view bytes, uint64_t offset) {
    for (size_t done = 0; m_bSameSoFar && done < bytes.size();) {
        const size_t want = std::min(kChunk, bytes.size() - done);
        m_buffer.resize(want);
        const ssize_t got = ReadAt(m_nSourceFd, m_buffer.data(), want, offset + done);
        m_bSameSoFar = got == static_cast<ssize_t>(want) && std::memcmp(m_buffer.data(), bytes.data() + done, want) == 0;
        done += want;
    }
}

void DiffPreview::CloseSource() {
    if (m_nSourceFd >= 0) ::close(m_nSourceFd);
    m_nSourceFd = -1;
}

void DiffPreview::ReportLargeFile() {
    uint64_t sourceLines = 0;
    const bool counted = CountFileLines(m_strSourcePath, sourceLines);
    if (m_nSourceFd >= 0 && m_bSameSoFar) {
        char extra = 0;  // the same bytes so far: the same file unless the source goes on
        if (ReadAt(m_nSourceFd, &extra, 1, m_nOutputBytes) == 0) return;
    }
    const uint64_t outputLines = m_nOutputLines + (m_nOutputBytes > 0 && !m_bOutputEndsInLineFeed ? 1 : 0);
    std::string text = "Files " + m_strSourcePath + " and " + m_strOutputPath + " differ (" +
                       (counted ? LineCountText(sourceLines) : std::string("? lines")) + " and " +
                       LineCountText(outputLines) + "; over " + SizeText(m_nSizeLimit) + " or " +
                       std::to_string(m_nLineLimit) + " lines, not compared line by line)\n";
    m_print(text);
}

void DiffPreview::EndFile(bool complete) {
    if (complete) ShowFile();
    CloseSource();
    std::string().swap(m_output);
}

void DiffPreview::ShowFile() {
    if (!m_bKeeping) {  // the output was too large to keep: it was compared as a stream
        ReportLargeFile();
        return;
    }
    std::string source;
    bool sourceTooLarge = false;
    std::string cause;
    if (!ReadWholeFile(m_strSourcePath, m_nSizeLimit, source, sourceTooLarge, cause)) {
        m_print("Cannot compare with " + m_strSourcePath + ": " + cause + "\n");
        return;
    }
    if (!sourceTooLarge && source == m_output) return;
    const uint64_t outputLines = m_nOutputLines + (m_nOutputBytes > 0 && !m_bOutputEndsInLineFeed ? 1 : 0);
    if (sourceTooLarge || outputLines > m_nLineLimit || SplitLines(source).size() > m_nLineLimit) {
        m_bSameSoFar = false;  // a source over the limit is larger than the output kept
        ReportLargeFile();
        return;
    }
    std::string text;
    switch (AppendUnifiedDiff(source, m_output, m_strSourcePath, m_strOutputPath, text)) {
    case DiffOutcome::Same: break;
    case DiffOutcome::LineEndsOnly:
        m_print("Files " + m_strSourcePath + " and " + m_strOutputPath + " differ only in their line ends\n");
        break;
    case DiffOutcome::Differs:
        NoteChangedLineEnds(source, m_output, text);
        m_print(text);
        break;
    }
}

}  // namespace tavisk
