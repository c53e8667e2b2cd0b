// "te" with kept line ends gives back the rest of the file byte for byte: the
// kernel copies it (copy_file_range, which shares the blocks where the file
// system can), in chunks, so that a stop and the progress are seen between them.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "EditEngine.h"
#include "PieceSplit.h"

namespace tavisk {

namespace {

constexpr uint64_t kKernelCopyChunk = uint64_t{32} << 20;

// The kernel cannot copy between these two files; nothing was copied.
bool CopyUnsupported(int errorNumber) {
    return errorNumber == EXDEV || errorNumber == ENOSYS || errorNumber == EINVAL || errorNumber == EOPNOTSUPP ||
           errorNumber == EBADF;
}

}  // namespace

int EditEngine::CopyBytesByKernel() {
    if (m_lineEnds != LineEndStyle::Keep) return EXEC_CONTINUE;
    // The count of lines copied is not known this way: a script that could
    // look at it takes the stream, which counts them.
    if (m_parser.MayNameAbsoluteLine()) return EXEC_CONTINUE;
    const int outFd = m_fileOutput.FileDescriptor();
    uint64_t begin = 0;
    uint64_t end = 0;
    if (outFd < 0 || !PiecesWorthIt(begin, end)) return EXEC_CONTINUE;
    // The last line, if it has no LF, is left to the stream: the output then owes a line end.
    if (!m_fileOutput.FlushBuffer()) {
        ReportFileError(m_fileOutput.LastError());
        return EXEC_WRITE_FAILED;
    }
    auto from = static_cast<off_t>(begin);
    const int inFd = m_fileSource.RegularFileDescriptor();
    while (static_cast<uint64_t>(from) < end) {
        if (StopRequested()) return EXEC_STOPPED;
        const size_t chunk = static_cast<size_t>(std::min(kKernelCopyChunk, end - static_cast<uint64_t>(from)));
        const ssize_t copied = copy_file_range(inFd, &from, outFd, nullptr, chunk, 0);
        if (copied < 0 && errno == EINTR) continue;
        if (copied < 0 && static_cast<uint64_t>(from) == begin && CopyUnsupported(errno))
            return EXEC_CONTINUE;  // the stream does it with read and write
        if (copied < 0) {
            ReportFileError(FileError{m_fileOutput.Path(), DescribeErrno(errno)});
            return EXEC_WRITE_FAILED;
        }
        if (copied == 0) break;  // the file became shorter: the stream sees where it ends
        m_fileSource.SkipTo(static_cast<uint64_t>(from));
    }
    m_fileSource.SkipTo(static_cast<uint64_t>(from));  // should that fail, the stream's read reports it
    return EXEC_CONTINUE;
}

}  // namespace tavisk
