#pragma once
// Runs a script over one source file: the edit stream (one source line, an
// edit position that only moves forward, a pending output line) and the
// execution of each parsed command on it.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "../script/ScriptParser.h"
#include "DebugOutputSink.h"
#include "FileError.h"
#include "ResponseLog.h"
#include "TextFile.h"

namespace tavisk {

// Results of ExecuteCommand.
enum ExecuteResult : int {
    EXEC_CONTINUE = 0,
    EXEC_FILE_DONE = 1,
    EXEC_WRITE_FAILED = 2,
    EXEC_STOPPED = 3,  // the stop flag was raised part-way through the command
};

// What the lines of a stream to the end of the file undergo: "p", "t" or "g".
enum class PieceWork { Skip, Copy, Replace };

// How the run of a script over one file ended.
enum class FileRun { Finished, Stopped };

class EditEngine {
public:
    EditEngine(ScriptParser& parser, ResponseLog& log);

    void SetFileErrorReport(FileErrorReport* report) { m_pFileErrorReport = report; }
    void SetDebugSink(DebugOutputSink* sink) { m_pDebugSink = sink; }
    // Checked between commands, at every source line and at every refill of
    // the source's buffer: a raised flag ends the file's run within moments.
    // `stopFd`, readable once the stop is raised, ends a wait on a pipe (see StopEvent).
    void SetStopFlag(const std::atomic<bool>* stop, int stopFd = -1) {
        m_pStopRequested = stop;
        m_fileSource.SetStopFlag(stop, stopFd);
        m_fileOutput.SetStopFlag(stop, stopFd);
    }

    // Runs the whole script over the open source (and output, unless in
    // debug mode), then closes the source.  The output stays open: the
    // caller commits or discards it.
    FileRun RunScriptOnFile();
    int ExecuteCommand(const CScriptCommand& cmd);

    // Stream primitives.
    bool ReadSourceLine();
    bool EmitText(std::string_view text, bool endLine);
    // Completes the pending line with `text` and the end of the source line
    // the edit position just passed.
    bool EmitSourceLineEnd(std::string_view text);

    // Appends an engine message (its "%s" is the current command text) and counts it.
    void AddErrorLine(const char* format);
    // Shows a file error and records it as a counted response line.
    void ReportFileError(const FileError& error);
    // Reports the output's last write error, unless the stop ended that write.
    void ReportWriteError();
    // Closes the source, then commits the output; a failed final write is reported.
    void CloseFiles();
    // Closes the source and drops the output: its final name keeps what it held.
    void DiscardFiles();
    // Closes the source and hands the flushed output to `later`, which puts
    // it in place when committed; a failed final write is reported.
    void FinishFiles(OutputTarget& later);
    // File errors reported so far, to tell whether a file's run had one.
    int64_t FileErrorCount() const { return m_nFileErrors; }
    // Replacements the "g" commands of the current or last file reported.
    int64_t m_nReplacements = 0;

    // Up to `workers` threads edit pieces of `pieceSize` bytes of one large
    // file at once; a file takes this path when at least `minimum` bytes are left.
    void SetPieceWorkers(int workers, uint64_t pieceSize, uint64_t minimum) {
        m_nPieceWorkers = workers;
        m_nPieceSize = pieceSize;
        m_nPieceMinimum = minimum;
    }

    bool StopRequested() const { return m_pStopRequested && m_pStopRequested->load(std::memory_order_relaxed); }

    // The edit stream.
    std::string_view m_strSourceLine;  // views the source's buffer until the next read
    int64_t m_nCurLine = 0;
    int64_t m_nLastLineRead = -1;
    int64_t m_nEditPos = 0;
    std::string m_strOutLine;
    TextFileReader m_fileSource;
    TextFileWriter m_fileOutput;
    bool m_bDebug = false;
    LineEndStyle m_lineEnds = LineEndStyle::CrLf;

private:
    // Completes the pending line with `text` and `end`, resolved already.
    bool CompleteLine(std::string_view text, LineEnd end, bool sourceEnd);
    // Chooses the end of the lines the script makes itself for this file.
    void ChooseMadeLineEnd();
    int MoveToEndpoint(const CScriptCommand& cmd);
    int Replace(const CScriptCommand& cmd);
    int FinishFile();

    // Fast paths for commands that pass many whole lines: at the start of an
    // unread line with nothing pending, each line goes from the source's
    // buffer to the output without the per-line steps.
    bool CanStreamWholeLines() const;
    template <typename LineAction>
    int StreamLines(LineAction&& action);
    // Adds to the pending output line; false, reported, when memory runs out.
    bool AppendPending(std::string_view text);
    int CopyRestOfSource();
    // "g" over the rest of the source a block of lines at a time (see LineBlocks.h).
    int ReplaceInBlocks(const CScriptCommand& cmd, int64_t& replacements);
    // Counts the lines a fast path passed; reports its write error, if any.
    int AfterStreamedLines(int64_t lines, bool writeFailed, bool stopped);
    // The rest of a large source in pieces on the piece workers (see
    // PieceStream.cpp), up to its last LF; the caller streams what is left.
    // EXEC_CONTINUE also when the file is not worth it.
    int StreamInPieces(PieceWork work, std::string_view find, std::string_view replace, int64_t& replacements);
    bool PiecesWorthIt(uint64_t& begin, uint64_t& end);
    int TakePieces(PieceWork work, std::string_view find, std::string_view replace, uint64_t begin, uint64_t end,
                   int64_t& replacements);
    // With kept line ends, "te" copies bytes: the kernel does it (see KernelCopy.cpp).
    int CopyBytesByKernel();

    ScriptParser& m_parser;
    ResponseLog& m_log;
    FileErrorReport* m_pFileErrorReport = nullptr;
    DebugOutputSink* m_pDebugSink = nullptr;
    const std::atomic<bool>* m_pStopRequested = nullptr;
    int64_t m_nFileErrors = 0;
    LineEnd m_madeLineEnd = LineEnd::CrLf;  // the end of lines the script makes itself
    bool m_bDebugLineEndOwed = false;       // debug mode: a line went out without an end
    int m_nPieceWorkers = 1;
    uint64_t m_nPieceSize = uint64_t{768} << 10;
    uint64_t m_nPieceMinimum = uint64_t{64} << 20;
};

// Streams lines until the source ends (EXEC_CONTINUE: the caller's next read
// meets the end, or the read error) or `action` fails (a write error).
template <typename LineAction>
int EditEngine::StreamLines(LineAction&& action) {
    int64_t lines = 0;
    const auto result = m_fileSource.ForEachLine(action, lines);
    // The action ends the stream early on a write error, or on a stop.
    const bool actionEnded = result == TextFileReader::ReadResult::Line;
    return AfterStreamedLines(lines, actionEnded && m_fileOutput.Failed(),
                              result == TextFileReader::ReadResult::Stopped || (actionEnded && !m_fileOutput.Failed()));
}

}  // namespace tavisk
