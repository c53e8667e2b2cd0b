#pragma once
// A batch: the start checks, the syntax check, and the run over every source
// file with its header lines, verdict and response file.
#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "../engine/EditEngine.h"
#include "../engine/ResponseLog.h"
#include "../script/ScriptParser.h"
#include "BatchWindow.h"

namespace tavisk {

inline constexpr const char* kVerdictErrors = "**** Errors during Processing";
inline constexpr const char* kVerdictClean = " Batch Completed without Errors";
inline constexpr const char* kDefaultResponseFile = "re$pon$e.txt";
inline constexpr const char* kStoppedLine = "\tBatch stopped before its end";
inline constexpr const char* kNoDestination = "No Destination Folder";
inline constexpr const char* kWouldOverwriteInput = "Output would overwrite an input: ";

// Whether a batch may start, and if not, why; the reason has been shown.
enum class StartResult {
    Ready,        // the worker may run RunBatch
    Refused,      // a start check failed: its complaints are shown
    SyntaxError,  // the script has a syntax error: it is reported
};

class BatchRun : private FileErrorReport, private ReadProgress {
public:
    BatchRun();
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    void SetWindow(BatchWindow* window);
    void SetSyntaxErrorReport(SyntaxErrorReport* report) { m_parser.SetReport(report); }

    // Sets the source list from full paths ("dir/name"; a bare name lies in ".").
    void SetSourcePaths(const std::vector<std::string>& paths);

    // The window-thread part of Start: progress, the start checks and the
    // syntax check.
    StartResult PrepareStart();
    // The complaints of the start checks, each ending in "\r\n"; empty when
    // none.  Also records what the batch reads, for the checks of the run.
    std::string StartComplaints();
    // Parses the whole script in check mode; PARSE_END when it is clean.
    int CheckSyntax();

    // The worker's part.
    void RunBatch();
    bool OpenSourceFile(int i);
    bool OpenOutputFile(int i);
    // Ends the current file's output: puts it in place when `keep`, else
    // drops it so that its name keeps what it held before the run.
    void CommitOrDiscardOutput(bool keep);
    void CloseBatchFiles();
    void ShowBatchVerdict();
    void WriteResponseFile();

    // Asks a running batch to end after the current command.
    void RequestStop() { m_bStopRequested.store(true); }

    std::string SourcePath(int i) const;
    std::string OutputPath(int i) const;
    std::string ResponsePath() const;
    std::string SourceFolder(int i) const;

    // The run state.
    std::vector<std::string> m_arrScriptLines;
    std::vector<std::string> m_arrSourceFiles;    // "/name" each
    std::vector<std::string> m_arrSourceFolders;  // per file when sources come from several folders
    std::string m_strSourceFolder;
    std::string m_strDestFolder;
    int m_nSourceCount = 0;
    std::string m_strResponseFile = kDefaultResponseFile;
    std::string m_strControlFile;  // the control file's path; empty when the script has none
    ResponseLog m_log;  // m_arrResponseLines and m_nErrorCount
    // Debug mode of the current or last run (the engine's m_bDebug, taken from
    // the window when the run starts).
    bool IsDebugRun() const { return m_engine.m_bDebug; }

    // How the last run went, beyond the verdict.
    bool m_bFileErrorOccurred = false;
    bool m_bStopped = false;

    ScriptParser& Parser() { return m_parser; }
    EditEngine& Engine() { return m_engine; }

    // Reports of the bytes read within a file are this far apart at least.
    static constexpr std::chrono::milliseconds kFileProgressInterval{50};

private:
    void ReportFileError(const FileError& error) override;
    void BytesRead(uint64_t bytesRead, uint64_t fileSize) override;
    // The progress step of file `i`, and within it the bytes read from then on.
    void ShowFileStep(int i);
    void ReportFileDone();
    // The start complaints about outputs that would replace what the batch reads.
    std::string OverwriteComplaints();
    // Records the identity of every source and the control file, once per start.
    void CollectInputs();
    bool IsInput(const std::string& path);
    // A source in UTF-16 or UTF-32 is reported and left alone; true when it is one.
    bool RefuseWideText();
    void NoteStop();

    ScriptParser m_parser;
    EditEngine m_engine;
    BatchWindow* m_pWindow = nullptr;
    std::atomic<bool> m_bStopRequested{false};
    std::chrono::steady_clock::time_point m_lastFileProgress{};
    bool m_bFileStepShown = false;
    std::vector<FileIdentity> m_arrInputs;  // sorted: every source and the control file
    bool m_bInputsKnown = false;
    std::vector<bool> m_arrOutputPresent;   // per source: its output name existed at the start checks
};

}  // namespace tavisk
