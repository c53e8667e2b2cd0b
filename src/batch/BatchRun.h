#pragma once
// A batch: the start checks, the syntax check, and the run over every source
// file with its header lines, verdict and response file.
#include <cstdint>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "../engine/EditEngine.h"
#include "../engine/ResponseLog.h"
#include "../engine/StopEvent.h"
#include "../script/ScriptParser.h"
#include "BatchSources.h"
#include "BatchWindow.h"
#include "FileResult.h"
#include "OutputPreview.h"
#include "OutputSinks.h"
#include "RunFile.h"
#include "SourceOpener.h"
#include "StartChecks.h"

namespace tavisk {

inline constexpr const char* kVerdictErrors = "**** Errors during Processing";
inline constexpr const char* kVerdictClean = " Batch Completed without Errors";
inline constexpr const char* kDefaultResponseFile = "re$pon$e.txt";
inline constexpr const char* kStoppedLine = "\tBatch stopped before its end";

// What became of one source in the last run, beside its response lines.
struct FileOutcome {
    size_t nFirstLine = 0;  // its header line among the response lines
    int nFirstError = 0;    // the error count before it
    int nErrors = 0;        // the counted lines it added
    int64_t nReplacements = 0;  // those its "g" commands reported
    bool bOpened = false;   // the source could be opened
    bool bWritten = false;  // its output was written whole
    bool bStopped = false;  // the batch stopped inside it
};

// Whether a batch may start, and if not, why; the reason has been shown.
enum class StartResult {
    Ready,        // the worker may run RunBatch
    Refused,      // a start check failed: its complaints are shown
    SyntaxError,  // the script has a syntax error: it is reported
};

class BatchRun : private FileErrorReport, private ReadProgress, private FileStepStart {
public:
    BatchRun();
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    void SetWindow(BatchWindow* window);
    void SetSyntaxErrorReport(SyntaxErrorReport* report) { m_parser.SetReport(report); }

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
    // The first steps of file `i` on the batch's own engine, for a caller
    // that runs the script itself and then ends with the two calls below.
    bool OpenSourceFile(int i);
    bool OpenOutputFile(int i);
    void CloseBatchFiles();
    void ShowBatchVerdict();

    // Asks a running batch to end after the current command.
    // Safe in a signal handler; reaches reads and writes that wait on a pipe.
    void RequestStop() { m_stop.Raise(); }

    std::string OutputPath(int i) const;
    std::string ResponsePath() const;

    // What the batch runs, and how.
    std::vector<std::string> m_arrScriptLines;
    BatchSources m_sources;
    std::string m_strDestFolder;
    std::string m_strResponseFile = kDefaultResponseFile;
    std::string m_strControlFile;  // the control file's path; empty when the script has none
    // Other files the batch reads (lists of sources): never to be written.
    std::vector<std::string> m_arrListFiles;
    // Links and special files left out of the trees the sources came from.
    int m_nLeftOutOfTrees = 0;
    ResponseLog m_log;  // m_arrResponseLines and m_nErrorCount
    bool m_bKeepGoing = false;        // a source that cannot be opened is skipped, not the end
    int m_nJobs = 1;                  // files run at once; nothing but the time depends on it
    // Debug mode of the current or last run (the engine's m_bDebug, taken from
    // the window when the run starts).
    bool IsDebugRun() const { return m_engine.m_bDebug; }
    LineEndStyle m_lineEnds = LineEndStyle::CrLf;  // of the outputs; the response file keeps CR LF
    // A dry run runs the whole batch and writes nothing: no output, no
    // response file, no folder.  Each output goes to the preview, if any.
    bool m_bDryRun = false;
    // The destination folder and its missing parents are made before a real
    // run, so a dry run takes a missing one as made.
    bool m_bDestMadeFirst = false;
    OutputPreview* m_pPreview = nullptr;
    // Sources are read through this, when set, instead of from their files.
    SourceOpener* m_pSourceOpener = nullptr;

    // How the last run went, beyond the verdict.
    bool FileErrorOccurred() const { return m_bFileErrorOccurred; }
    bool Stopped() const { return m_bStopped; }
    const std::vector<FileOutcome>& FileOutcomes() const { return m_arrFileOutcomes; }  // one per file run, in order

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
    void FileStepStarts(int i) override { ShowFileStep(i); }
    void WriteResponseFile();
    void NoteStop();
    // Starts the outcome of the next file, at its header line.
    FileOutcome& BeginFileOutcome();
    // Each file's count of errors, once the loop has ended.
    void CountErrorsPerFile();
    // Where this run's outputs go: the file, the preview or the debug window.
    std::unique_ptr<OutputSink> ChooseOutputSink();
    // The loop over the files in source order: each runs here at one job,
    // or ahead on m_nJobs engines; both leave the same response lines,
    // outcomes and outputs.
    void RunFiles(int filesToRun, const OutputSink& sink);
    // Does with a file's result what the batch does after its run, in
    // source order; false when the batch ends with it.
    bool TakeFile(int i, FileResult& file, FileOutcome& outcome, const OutputSink& sink, bool moreFiles);
    // A worker's response lines and file errors join the batch's.
    void AddWorkerReport(FileResult& file);
    void OpenDestination();
    // Temporary files a killed run left in the destination and the folders below it.
    void RemoveLeftovers();

    ScriptParser m_parser;
    EditEngine m_engine;
    BatchWindow* m_pWindow = nullptr;
    StopEvent m_stop;
    std::chrono::steady_clock::time_point m_lastFileProgress{};
    bool m_bFileStepShown = false;
    bool m_bFileErrorOccurred = false;
    bool m_bStopped = false;
    std::vector<FileOutcome> m_arrFileOutcomes;
    BatchInputs m_inputs{m_sources, m_strControlFile, m_arrListFiles};
    StartFacts m_startFacts;  // of the last start checks
    // The destination, opened once per run: every output and a bare
    // response-file name are reached from it without following a link.
    SharedFolder m_destFolder;
    int m_nDestError = 0;  // why it could not be opened
};

}  // namespace tavisk
