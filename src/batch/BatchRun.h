#pragma once
// A batch: the start checks, the syntax check, and the run over every source
// file with its header lines, verdict and response file.
#include <atomic>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <chrono>
#include <string>
#include <vector>

#include "../engine/EditEngine.h"
#include "../engine/ResponseLog.h"
#include "../engine/StopEvent.h"
#include "../script/ScriptParser.h"
#include "BatchWindow.h"
#include "OutputPreview.h"
#include "SourceOpener.h"

namespace tavisk {

inline constexpr const char* kVerdictErrors = "**** Errors during Processing";
inline constexpr const char* kVerdictClean = " Batch Completed without Errors";
inline constexpr const char* kDefaultResponseFile = "re$pon$e.txt";
inline constexpr const char* kStoppedLine = "\tBatch stopped before its end";
inline constexpr const char* kNoDestination = "No Destination Folder";
inline constexpr const char* kWouldOverwriteInput = "Output would overwrite an input: ";
inline constexpr const char* kResponseWouldReplaceOutput = "Response file would replace an output: ";

// Whether two folder names name one folder by their letters: the same
// string, or the same string but for letter case and one folder on disk
// (a case-insensitive file system).  Nothing is normalised first (the
// identity checks see through other spellings).
bool SameFolder(const std::string& a, const std::string& b);

// The jobs that can run at once without running out of descriptors under
// the process's limit (RLIMIT_NOFILE, whose soft value it raises to the
// hard one): `wanted`, or fewer, at least 1.
int JobsWithinDescriptorLimit(int wanted);

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

class BatchRun : private FileErrorReport, private ReadProgress {
public:
    BatchRun();
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    void SetWindow(BatchWindow* window);
    void SetSyntaxErrorReport(SyntaxErrorReport* report) { m_parser.SetReport(report); }

    // Sets the source list from full paths ("dir/name"; a bare name lies in ".").
    void SetSourcePaths(const std::vector<std::string>& paths);
    // Adds one source: `element` is "/NAME" or, for a file found under a
    // folder, "/RELATIVE/PATH", which the output keeps below the destination.
    void AddSourceFile(const std::string& folder, std::string element);
    // As AddSourceFile, for a file found in a tree below `folder`: it is
    // opened with no symbolic link followed below the folder.
    void AddTreeSourceFile(const std::string& folder, std::string element);
    // Adds one source by its full path, split as SetSourcePaths does.
    void AddSourcePath(std::string_view path);
    void ClearSources();

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

    // The steps of one file on a given engine (the batch's own, or one of a worker's).
    bool OpenSourceFileOn(EditEngine& engine, int i) const;
    bool OpenOutputFileOn(EditEngine& engine, int i, std::vector<std::string>* madeFolders = nullptr) const;

    // Asks a running batch to end after the current command.
    // Safe in a signal handler; reaches reads and writes that wait on a pipe.
    void RequestStop() { m_stop.Raise(); }

    std::string SourcePath(int i) const;
    std::string OutputPath(int i) const;
    std::string ResponsePath() const;
    const std::string& SourceFolder(int i) const;

    // The run state.
    std::vector<std::string> m_arrScriptLines;
    std::vector<std::string> m_arrSourceFiles;    // "/name" each
    // Per file when sources come from several folders: an index into the
    // distinct folders, so a million names in one folder hold it once.
    std::vector<uint32_t> m_arrSourceFolderIndex;
    std::vector<std::string> m_arrFolders;
    std::string m_strSourceFolder;
    std::string m_strDestFolder;
    int m_nSourceCount = 0;
    std::string m_strResponseFile = kDefaultResponseFile;
    std::string m_strControlFile;  // the control file's path; empty when the script has none
    // Other files the batch reads (lists of sources): never to be written.
    std::vector<std::string> m_arrListFiles;
    // Links and special files left out of the trees the sources came from.
    int m_nLeftOutOfTrees = 0;
    ResponseLog m_log;  // m_arrResponseLines and m_nErrorCount
    bool m_bKeepGoing = false;        // a source that cannot be opened is skipped, not the end
    int m_nJobs = 1;                  // files run at once; nothing but the time depends on it
    int m_nStandardInputSource = -1;  // the source read from standard input, if any
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
    bool m_bFileErrorOccurred = false;
    bool m_bStopped = false;
    std::vector<FileOutcome> m_arrFileOutcomes;  // one per file run, in order

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
    // Whether the response file's name is that of an output.
    bool ResponseIsAnOutput(int count) const;
    // A source in UTF-16 or UTF-32 is reported and left alone; true when it is one.
    bool RefuseWideText();
    bool RefuseWideTextOn(EditEngine& engine) const;
    void NoteStop();
    // Starts the outcome of the next file, at its header line.
    FileOutcome& BeginFileOutcome();
    // Each file's count of errors, once the loop has ended.
    void CountErrorsPerFile();
    // What creating output `i` would meet, found without creating anything.
    bool CheckOutputCreatable(int i, FileError& error) const;
    bool OpenPreviewOutputOn(EditEngine& engine, int i) const;
    // The loop over the files, one after another or on m_nJobs engines; both
    // leave the same response lines, outcomes and outputs.
    void RunFilesInOrder(int filesToRun);
    // Lets `engine` edit pieces of one large file on up to `workers` threads.
    void SetPieceWorkers(EditEngine& engine, int workers) const;
    void RunFilesInParallel(int filesToRun);

    ScriptParser m_parser;
    EditEngine m_engine;
    BatchWindow* m_pWindow = nullptr;
    StopEvent m_stop;
    std::chrono::steady_clock::time_point m_lastFileProgress{};
    bool m_bFileStepShown = false;
    std::vector<FileIdentity> m_arrInputs;  // sorted: every source and the control file
    bool m_bInputsKnown = false;
    std::vector<bool> m_arrSourceInTree;    // per source, up to the last tree source
    std::vector<bool> m_arrOutputPresent;   // per source: its output name existed at the start checks
    std::unordered_map<std::string, uint32_t> m_folderIndex;  // m_arrFolders' entries
    // The destination, opened once per run: every output and a bare
    // response-file name are reached from it without following a link.
    void OpenDestination();
    void RemoveLeftovers();
    SharedFolder m_destFolder;
    int m_nDestError = 0;  // why it could not be opened
    uint32_t m_nLastFolder = 0;
};

}  // namespace tavisk
