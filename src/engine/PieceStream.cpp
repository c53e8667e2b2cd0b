// One large file on several cores.  Once a command runs to the end of the
// file ("g", or "t"/"p" to "e"), the rest of it is a stream of whole lines
// that each go out on their own.  Workers edit pieces of it at once, each
// piece into memory, and the engine writes the pieces out in file order, so
// the bytes, the line count and the replacement count are those of one stream.
// The pieces end at the last LF; the engine's own reader does the rest.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>
#include <new>
#include <vector>
#include <cstdlib>

#include "EditEngine.h"
#include "LineBlocks.h"
#include "PieceSplit.h"
#include "ReplaceInLine.h"
#include "OrderedJobs.h"

namespace tavisk {

namespace {

// Pieces finished ahead of the one being written, per worker: enough to keep
// the workers busy while the engine writes, few enough to bound the memory.
constexpr int kPiecesAheadPerWorker = 3;
// A piece this many times its nominal size holds a long line: the engine
// streams it itself, without holding its output in memory.
constexpr uint64_t kLongPieceFactor = 8;

// Appends a piece's output to its result.
class StringCapture final : public OutputCapture {
public:
    std::string* m_pTarget = nullptr;
    bool Take(std::string_view bytes) override {
        try {
            m_pTarget->append(bytes);
            return true;
        } catch (const std::bad_alloc&) {
        } catch (const std::length_error&) {
        }
        return false;
    }
};

struct FreeBuffer {
    void operator()(char* buffer) const { std::free(buffer); }
};
using Buffer = std::unique_ptr<char, FreeBuffer>;

// Output buffers go from the workers to the engine and back, so that pages
// are not mapped afresh for every piece.
class BufferPool {
public:
    Buffer Get() {
        {
            std::lock_guard lock(m_mutex);
            if (!m_free.empty()) {
                Buffer buffer = std::move(m_free.back());
                m_free.pop_back();
                return buffer;
            }
        }
        return Buffer(static_cast<char*>(std::malloc(TextFileWriter::BufferSize())));
    }
    void Put(Buffer buffer) {
        std::lock_guard lock(m_mutex);
        m_free.push_back(std::move(buffer));
    }

private:
    std::mutex m_mutex;
    std::vector<Buffer> m_free;
};

struct PieceResult {
    enum class Outcome { Done, LeftToEngine, ReadFailed, Stopped };
    Outcome outcome = Outcome::Done;
    // The piece's output: what did not fit the writer's buffer, then that buffer.
    std::string bytes;
    Buffer buffer;
    size_t used = 0;
    int64_t lines = 0;
    int64_t replacements = 0;
    uint64_t begin = 0;
    uint64_t end = 0;
    FileError error;
};

// What one piece's run ended with.
enum class WorkEnd { Done, ReadFailed, WriteFailed, Stopped };

// The work of one command on every line `reader` gives, into `out`.
WorkEnd RunWork(PieceWork work, TextFileReader& reader, TextFileWriter& out, LineEndStyle style,
                std::string_view find, std::string_view replace, int64_t& lines, int64_t& replacements, const std::atomic<bool>* stop) {
    using Read = TextFileReader::ReadResult;
    Read result = Read::End;
    switch (work) {
    case PieceWork::Copy:
        switch (reader.CopyRestTo(out, lines)) {
        case TextFileReader::CopyResult::Done: return WorkEnd::Done;
        case TextFileReader::CopyResult::ReadFailed: return WorkEnd::ReadFailed;
        case TextFileReader::CopyResult::WriteFailed: return WorkEnd::WriteFailed;
        case TextFileReader::CopyResult::Stopped: return WorkEnd::Stopped;
        }
        return WorkEnd::Done;
    case PieceWork::Skip:
        result = reader.ForEachLineBlock([&](std::string_view block) {
            lines += CountLineFeeds(block);
            return true;
        });
        break;
    case PieceWork::Replace:
        if (FindsWithinLines(find)) {
            result = reader.ForEachLineBlock([&](std::string_view block) {
                return ReplaceInBlock(out, block, style, find, replace, lines, replacements, stop);
            });
            break;
        }
        result = reader.ForEachLine(
            [&](std::string_view line) {
                return WriteReplacedLine(out, line, reader.LastLineEnd(), find, replace, replacements, stop);
            },
            lines);
        break;
    }
    switch (result) {
    case Read::End: return WorkEnd::Done;
    case Read::Line: return out.Failed() ? WorkEnd::WriteFailed : WorkEnd::Stopped;  // the line action gave up
    case Read::Stopped: return WorkEnd::Stopped;
    case Read::Error:
    case Read::TooLong: break;
    }
    return WorkEnd::ReadFailed;
}

// A worker's reader, writer and search, kept from one piece to the next.
struct PieceWorker {
    TextFileReader reader;
    TextFileWriter writer;
    StringCapture capture;
    LineFeedSearch search;
    PieceWorker(int fd, const std::atomic<bool>* stop) : search(fd, stop) { reader.SetStopFlag(stop); }
};

}  // namespace

bool EditEngine::PiecesWorthIt(uint64_t& begin, uint64_t& end) {
    const int fd = m_fileSource.RegularFileDescriptor();
    if (fd < 0 || m_fileSource.FileSize() < m_nPieceMinimum) return false;  // the size at opening: no system call
    const int64_t unread = m_fileSource.UnreadOffset();
    struct stat info {};
    if (unread < 0 || fstat(fd, &info) != 0 || info.st_size < unread) return false;
    const auto size = static_cast<uint64_t>(info.st_size);
    begin = static_cast<uint64_t>(unread);
    if (size - begin < m_nPieceMinimum) return false;
    // A read error here is met again, and reported, by the usual stream.
    LineFeedSearch search(fd, m_pStopRequested);
    return search.AfterLastLineFeed(begin, size, end) && end > begin;
}

int EditEngine::StreamInPieces(PieceWork work, std::string_view find, std::string_view replace, int64_t& replacements) {
    uint64_t begin = 0;
    uint64_t end = 0;
    if (m_nPieceWorkers < 2 || !PiecesWorthIt(begin, end)) return EXEC_CONTINUE;
    return TakePieces(work, find, replace, begin, end, replacements);
}

int EditEngine::TakePieces(PieceWork work, std::string_view find, std::string_view replace, uint64_t begin,
                           uint64_t end, int64_t& replacements) {
    const int fd = m_fileSource.RegularFileDescriptor();
    const PiecePlan plan{begin, end, m_nPieceSize};
    const int count = static_cast<int>(std::min<int64_t>(plan.Count(), INT32_MAX));
    const int workers = std::min(m_nPieceWorkers, count);
    const uint64_t longPiece = m_nPieceSize * kLongPieceFactor;
    const std::string& sourcePath = m_fileSource.Path();
    const std::string& outputPath = m_fileOutput.Path();
    BufferPool pool;
    std::vector<std::unique_ptr<PieceWorker>> pieceWorkers;
    for (int w = 0; w < workers; ++w) pieceWorkers.push_back(std::make_unique<PieceWorker>(fd, m_pStopRequested));

    const auto editPiece = [&](int worker, int k) {
        PieceWorker& my = *pieceWorkers[static_cast<size_t>(worker)];
        PieceResult piece;
        if (!my.search.PieceBounds(plan, k, piece.begin, piece.end)) {
            piece.outcome = errno == ECANCELED ? PieceResult::Outcome::Stopped : PieceResult::Outcome::ReadFailed;
            piece.error = FileError{sourcePath, DescribeErrno(errno)};
            return piece;
        }
        if (piece.begin == piece.end) return piece;
        if (piece.end - piece.begin > longPiece) {
            piece.outcome = PieceResult::Outcome::LeftToEngine;
            return piece;
        }
        my.reader.OpenRange(fd, piece.begin, piece.end, sourcePath);
        my.capture.m_pTarget = &piece.bytes;
        my.writer.CreateCaptured(outputPath, &my.capture);
        my.writer.SetLineEnds(m_lineEnds, m_madeLineEnd);
        const WorkEnd ended = RunWork(work, my.reader, my.writer, m_lineEnds, find, replace, piece.lines, piece.replacements,
                                      m_pStopRequested);
        // The writer's buffer, mostly the whole output, goes to the engine as it is.
        Buffer fresh = ended == WorkEnd::Done && !my.writer.Failed() ? pool.Get() : Buffer();
        if (fresh) piece.buffer = Buffer(my.writer.ExchangeBuffer(fresh.release(), piece.used));
        const bool kept = piece.buffer != nullptr;
        if (ended == WorkEnd::ReadFailed) {
            piece.outcome = PieceResult::Outcome::ReadFailed;
            piece.error = my.reader.LastError();
        } else if (ended == WorkEnd::Stopped) {
            piece.outcome = PieceResult::Outcome::Stopped;
        } else if (!kept) {  // out of memory: the engine streams the piece itself
            piece.outcome = PieceResult::Outcome::LeftToEngine;
            piece.bytes.clear();
            piece.lines = piece.replacements = 0;
        }
        my.writer.Discard();
        my.reader.Close();
        return piece;
    };
    // The engine's thread is one of the workers: it writes the pieces in
    // order and edits pieces while the next one to write is not ready.
    OrderedJobs<PieceResult> jobs(workers - 1, count, workers * kPiecesAheadPerWorker, editPiece,
                                  OrderedJobs<PieceResult>::Taker::Helps);

    int64_t lines = 0;
    int result = EXEC_CONTINUE;
    PieceResult piece;
    TextFileReader longReader;
    longReader.SetStopFlag(m_pStopRequested);
    while (result == EXEC_CONTINUE && jobs.TakeNext(piece)) {
        if (StopRequested()) {
            result = EXEC_STOPPED;
            break;
        }
        WorkEnd ended = WorkEnd::Done;
        switch (piece.outcome) {
        case PieceResult::Outcome::Done:
            if ((!piece.bytes.empty() && !m_fileOutput.WritePiece(piece.bytes)) ||
                (piece.used > 0 && !m_fileOutput.WriteDirectly(std::string_view(piece.buffer.get(), piece.used))))
                ended = WorkEnd::WriteFailed;
            if (piece.buffer) pool.Put(std::move(piece.buffer));
            break;
        case PieceResult::Outcome::LeftToEngine:
            longReader.OpenRange(fd, piece.begin, piece.end, sourcePath);
            ended = RunWork(work, longReader, m_fileOutput, m_lineEnds, find, replace, piece.lines, piece.replacements,
                            m_pStopRequested);
            piece.error = longReader.LastError();
            longReader.Close();
            break;
        case PieceResult::Outcome::ReadFailed:
            ended = WorkEnd::ReadFailed;
            break;
        case PieceResult::Outcome::Stopped:
            ended = WorkEnd::Stopped;
            break;
        }
        switch (ended) {
        case WorkEnd::Done:
            lines += piece.lines;
            replacements += piece.replacements;
            // An empty piece lies within a line that an earlier one passed.
            if (piece.begin == piece.end || m_fileSource.SkipTo(piece.end)) break;
            [[fallthrough]];  // the source could not be positioned: its next read reports it
        case WorkEnd::ReadFailed:
            // The engine's next read fails the same way and reports it.
            if (ended == WorkEnd::ReadFailed) m_fileSource.FailWith(piece.error);
            jobs.Abandon();
            return EXEC_CONTINUE;
        case WorkEnd::WriteFailed:
            ReportFileError(m_fileOutput.LastError());
            result = EXEC_WRITE_FAILED;
            break;
        case WorkEnd::Stopped:
            result = EXEC_STOPPED;
            break;
        }
    }
    jobs.Abandon();
    m_nLastLineRead += lines;
    m_nCurLine += lines;
    return result;
}

}  // namespace tavisk
