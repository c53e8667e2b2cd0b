// The batch loop on the worker thread: one source after another, then the
// verdict and the response file.
#include "BatchRun.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <thread>

#include "../engine/DeferredWork.h"
#include "../engine/OpenBeneath.h"
#include "../engine/WideText.h"
#include "OutputFolders.h"

namespace tavisk {

namespace {

// Stands in until the caller sets a window, so a run never needs a null check.
class NoWindow final : public BatchWindow {
public:
    void ReportFileError(const FileError&) override {}
    void AppendText(std::string_view) override {}
    void EnableStart(bool) override {}
    bool IsDebugChecked() override { return false; }
    bool IsSaveResponseChecked() override { return false; }
    void SetStatusText(const std::string&) override {}
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int) override {}
    void ShowDebugWindow(bool) override {}
    void ClearDebugText() override {}
    void ShowErrorMessage(const std::string&) override {}
};

NoWindow g_noWindow;

// The outputs of a dry run nobody looks at.
class DiscardedOutput final : public OutputCapture {
public:
    bool Take(std::string_view) override { return true; }
};

DiscardedOutput g_discardedOutput;

// One large file is edited in pieces of this size (its output fits a
// writer's buffer) by up to -j workers, when this much of it is left.
// TAVISK_PIECE_BYTES sets the size (tests use small pieces on small files);
// the minimum is then kPiecesAtLeast pieces.
constexpr uint64_t kPieceSize = uint64_t{768} << 10;
constexpr uint64_t kPiecesMinimum = uint64_t{64} << 20;
constexpr uint64_t kPiecesAtLeast = 32;
// More piece workers than cores only hold more pieces in memory.
int MaxPieceWorkers() {
    static const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::max(2, cores);
}

// The piece size TAVISK_PIECE_BYTES asks for; 0 when it is not set.
uint64_t PieceSizeAskedFor() {
    const char* text = std::getenv("TAVISK_PIECE_BYTES");
    char* end = nullptr;
    const unsigned long long size = text ? std::strtoull(text, &end, 10) : 0;
    return end && *end == '\0' ? size : 0;
}

}  // namespace

void BatchRun::SetPieceWorkers(EditEngine& engine, int workers) const {
    const uint64_t asked = PieceSizeAskedFor();
    engine.SetPieceWorkers(std::min(workers, MaxPieceWorkers()), asked ? asked : kPieceSize,
                           asked ? asked * kPiecesAtLeast : kPiecesMinimum);
}

BatchRun::BatchRun() : m_parser(m_arrScriptLines), m_engine(m_parser, m_log), m_pWindow(&g_noWindow) {
    m_engine.SetFileErrorReport(this);
    m_engine.SetDebugSink(m_pWindow);
    m_engine.SetStopFlag(&m_stop.Flag(), m_stop.Fd());
    m_engine.m_fileSource.SetProgress(this);
}

void BatchRun::SetWindow(BatchWindow* window) {
    m_pWindow = window ? window : &g_noWindow;
    m_engine.SetDebugSink(m_pWindow);
}

void BatchRun::ClearSources() {
    m_arrSourceFiles.clear();
    m_arrSourceFolderIndex.clear();
    m_arrFolders.clear();
    m_folderIndex.clear();
    m_nLastFolder = 0;
    m_nSourceCount = 0;
    m_nStandardInputSource = -1;
    m_arrSourceInTree.clear();
}

void BatchRun::AddTreeSourceFile(const std::string& folder, std::string element) {
    AddSourceFile(folder, std::move(element));
    m_arrSourceInTree.resize(m_arrSourceFiles.size(), false);
    m_arrSourceInTree.back() = true;
}

void BatchRun::AddSourceFile(const std::string& folder, std::string element) {
    if (m_arrFolders.empty() || m_arrFolders[m_nLastFolder] != folder) {
        const auto [known, added] = m_folderIndex.try_emplace(folder, static_cast<uint32_t>(m_arrFolders.size()));
        if (added) m_arrFolders.push_back(folder);
        m_nLastFolder = known->second;
    }
    m_arrSourceFolderIndex.push_back(m_nLastFolder);
    m_arrSourceFiles.push_back(std::move(element));
    m_nSourceCount = static_cast<int>(m_arrSourceFiles.size());
    m_strSourceFolder = folder;
}

void BatchRun::AddSourcePath(std::string_view path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        AddSourceFile(".", "/" + std::string(path));
    else
        AddSourceFile(std::string(path.substr(0, slash)), std::string(path.substr(slash)));
}

void BatchRun::SetSourcePaths(const std::vector<std::string>& paths) {
    ClearSources();
    m_arrSourceFiles.reserve(paths.size());
    for (const std::string& path : paths) AddSourcePath(path);
    if (paths.empty()) m_strSourceFolder.clear();
}

std::string BatchRun::SourcePath(int i) const { return SourceFolder(i) + m_arrSourceFiles[static_cast<size_t>(i)]; }

std::string BatchRun::OutputPath(int i) const { return m_strDestFolder + m_arrSourceFiles[static_cast<size_t>(i)]; }

std::string BatchRun::ResponsePath() const {
    if (m_strResponseFile.find('/') != std::string::npos) return m_strResponseFile;
    return m_strDestFolder + "/" + m_strResponseFile;
}

void BatchRun::ReportFileError(const FileError& error) {
    m_bFileErrorOccurred = true;
    m_pWindow->ReportFileError(error);
}

void BatchRun::BytesRead(uint64_t bytesRead, uint64_t fileSize) {
    // A file without a size (a pipe) has no fraction to show.  The reads are
    // far more frequent than a bar can show, and each report waits for the window.
    // Reads before the file's step is on the bar (the look at its first bytes) are not shown.
    if (fileSize == 0 || !m_bFileStepShown) return;
    const auto now = std::chrono::steady_clock::now();
    if (bytesRead < fileSize && now - m_lastFileProgress < kFileProgressInterval) return;
    m_lastFileProgress = now;
    m_pWindow->SetFileProgress(bytesRead, fileSize);
}

bool BatchRun::OpenSourceFile(int i) {
    m_bFileStepShown = false;
    return OpenSourceFileOn(m_engine, i);
}

bool BatchRun::OpenOutputFile(int i) {
    if (!m_destFolder && !IsDebugRun() && !m_bDryRun) OpenDestination();  // a caller outside RunBatch
    return OpenOutputFileOn(m_engine, i);
}

bool BatchRun::OpenSourceFileOn(EditEngine& engine, int i) const {
    engine.m_nLastLineRead = -1;
    FileError error;
    if (m_pSourceOpener) {
        if (m_pSourceOpener->Open(SourcePath(i), engine.m_fileSource, error)) return true;
    } else if (i == m_nStandardInputSource) {
        if (engine.m_fileSource.OpenStandardInput(error)) return true;
    } else if (static_cast<size_t>(i) < m_arrSourceInTree.size() && m_arrSourceInTree[static_cast<size_t>(i)]) {
        if (engine.m_fileSource.OpenBeneath(SourceFolder(i), m_arrSourceFiles[static_cast<size_t>(i)].substr(1),
                                            ShareMode::Exclusive, error))
            return true;
    } else if (engine.m_fileSource.Open(SourcePath(i), ShareMode::Exclusive, error)) {
        return true;
    }
    engine.ReportFileError(error);
    return false;
}

bool BatchRun::RefuseWideText() { return RefuseWideTextOn(m_engine); }

bool BatchRun::RefuseWideTextOn(EditEngine& engine) const {
    const char* encoding = WideEncodingName(engine.m_fileSource.Peek(4));
    if (!encoding) return false;
    engine.ReportFileError(FileError{engine.m_fileSource.Path(), std::string(encoding) + " text cannot be edited"});
    engine.m_fileSource.Close();
    return true;
}

bool BatchRun::OpenOutputFileOn(EditEngine& engine, int i, std::vector<std::string>* madeFolders) const {
    if (IsDebugRun()) {
        m_pWindow->ShowDebugWindow(true);
        m_pWindow->ClearDebugText();
        return true;
    }
    if (m_bDryRun) return OpenPreviewOutputOn(engine, i);
    OutputOptions options;
    options.mustDiffer = engine.m_fileSource.Identity();  // a last guard: the start checks refused it already
    options.permissions = engine.m_fileSource.Permissions();
    // A name that was absent at the start holds nothing a new file could harm.
    const auto index = static_cast<size_t>(i);
    options.nameWasAbsent = index < m_arrOutputPresent.size() && !m_arrOutputPresent[index];
    FileError error;
    if (!m_destFolder) error = FileError{OutputPath(i), DescribeErrno(m_nDestError)};
    else options.folder = OpenOutputFolder(m_destFolder, m_strDestFolder, m_arrSourceFiles[index], error, madeFolders);
    if (options.folder && engine.m_fileOutput.Create(OutputPath(i), error, options)) return true;
    engine.ReportFileError(error);
    return false;
}

bool BatchRun::CheckOutputCreatable(int i, FileError& error) const {
    const std::string path = OutputPath(i);
    error = FileError{path, {}};
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            error.m_strCause = DescribeErrno(EISDIR);
            return false;
        }
        if (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)) return true;  // written directly, not beside
    }
    // The output is made as a new file in its folder; a folder below the
    // destination that is missing would be made in the nearest one there is.
    // A real run reports the first folder it cannot make, or else the output.
    std::string folder = path;
    std::string toMake;
    for (;;) {
        const size_t slash = folder.rfind('/');
        folder = slash == 0 ? "/" : slash == std::string::npos ? "." : folder.substr(0, slash);
        if (access(folder.c_str(), W_OK | X_OK) == 0) return true;
        if (errno != ENOENT || (folder.size() <= m_strDestFolder.size() && !m_bDestMadeFirst)) break;
        toMake = folder;
    }
    error.m_strCause = DescribeErrno(errno);
    if (!toMake.empty()) error.m_strPath = toMake;
    return false;
}

bool BatchRun::OpenPreviewOutputOn(EditEngine& engine, int i) const {
    FileError error;
    if (!CheckOutputCreatable(i, error)) {
        engine.ReportFileError(error);
        return false;
    }
    OutputCapture* capture = m_pPreview ? m_pPreview->BeginFile(SourcePath(i), OutputPath(i)) : &g_discardedOutput;
    engine.m_fileOutput.CreateCaptured(OutputPath(i), capture);
    return true;
}

void BatchRun::CommitOrDiscardOutput(bool keep) {
    if (keep)
        m_engine.CloseFiles();
    else
        m_engine.DiscardFiles();
}

void BatchRun::CloseBatchFiles() {
    m_engine.DiscardFiles();
    m_engine.m_fileOutput.CloseFolder();  // the next run finds its folders afresh
    m_destFolder.reset();
    FinishDeferredWork();  // the replaced outputs are freed before the batch counts as ended
}

void BatchRun::ShowBatchVerdict() {
    const char* verdict = m_log.m_nErrorCount != 0 ? kVerdictErrors : kVerdictClean;
    m_pWindow->SetStatusText(verdict);
    m_log.AddLine(verdict);
}

void BatchRun::WriteResponseFile() {
    const std::string path = ResponsePath();
    if (IsInput(path)) {  // it became one while the batch ran
        ReportFileError(FileError{path, "would overwrite an input"});
        return;
    }
    TextFileWriter file;
    FileError error;
    OutputOptions options;
    options.followDeviceLinks = true;  // "-r /dev/stdout" means the descriptor
    // A bare name lies in the destination, reached by its descriptor.
    const bool inDestination = m_strResponseFile.find('/') == std::string::npos;
    if (inDestination) options.folder = m_destFolder;
    if (inDestination && !options.folder) {
        ReportFileError(FileError{path, DescribeErrno(m_nDestError)});
        return;
    }
    if (!file.Create(path, error, options)) {
        ReportFileError(error);
        return;
    }
    for (const std::string& line : m_log.m_arrResponseLines) {
        if (!file.WriteTextLine(line)) {
            ReportFileError(file.LastError());
            return;  // the file is dropped: its name keeps what it held
        }
    }
    if (!file.Commit(error)) ReportFileError(error);
}

void BatchRun::NoteStop() {
    m_bStopped = true;
    m_log.AddErrorLine(kStoppedLine);
}

FileOutcome& BatchRun::BeginFileOutcome() {
    FileOutcome& outcome = m_arrFileOutcomes.emplace_back();
    outcome.nFirstLine = m_log.m_arrResponseLines.size();
    outcome.nFirstError = m_log.m_nErrorCount;
    return outcome;
}

void BatchRun::CountErrorsPerFile() {
    // Nothing is counted between one file and the next, so each file's
    // errors run up to the next file's start, the last one's to the end.
    int end = m_log.m_nErrorCount;
    for (auto outcome = m_arrFileOutcomes.rbegin(); outcome != m_arrFileOutcomes.rend(); ++outcome) {
        outcome->nErrors = end - outcome->nFirstError;
        end = outcome->nFirstError;
    }
}

void BatchRun::ShowFileStep(int i) {
    m_pWindow->SetProgressPos(i + 1);
    m_bFileStepShown = true;
    m_lastFileProgress = {};  // the next read is shown at once
}

void BatchRun::ReportFileDone() {
    // The file's step is complete, whether or not the script read all of it.
    const uint64_t size = m_engine.m_fileSource.FileSize();
    m_pWindow->SetFileProgress(size, size);
}

void BatchRun::RunFilesInOrder(int filesToRun) {
    for (int i = 0; i < filesToRun; ++i) {
        FileOutcome& outcome = BeginFileOutcome();
        m_log.AddLine(m_arrSourceFiles[static_cast<size_t>(i)].substr(1));
        const int64_t fileErrorsBefore = m_engine.FileErrorCount();
        outcome.bOpened = OpenSourceFile(i);
        if (!outcome.bOpened) {
            if (!m_bKeepGoing) break;
            // Going on past a source that cannot be opened: a stop ends the batch here.
            if (m_stop.Flag().load() && i + 1 < filesToRun) {
                NoteStop();
                outcome.bStopped = true;
                break;
            }
            continue;
        }
        if (RefuseWideText()) {
            ShowFileStep(i);
            ReportFileDone();
            continue;
        }
        if (!OpenOutputFile(i)) break;
        ShowFileStep(i);
        const FileRun run = m_engine.RunScriptOnFile();
        outcome.nReplacements = m_engine.m_nReplacements;
        const bool keep = run == FileRun::Finished && m_engine.FileErrorCount() == fileErrorsBefore;
        CommitOrDiscardOutput(keep);
        const bool stoppedAtClose = !IsDebugRun() && m_engine.m_fileOutput.Stopped();  // its last write waited on a pipe
        if (m_bDryRun && !IsDebugRun() && m_pPreview) m_pPreview->EndFile(keep);
        outcome.bWritten = keep && !stoppedAtClose && !IsDebugRun() && !m_bDryRun &&
                           m_engine.FileErrorCount() == fileErrorsBefore;
        // A stop that came as the file ended keeps it and ends the batch, unless no file is left.
        outcome.bStopped = run == FileRun::Stopped || stoppedAtClose || (m_stop.Flag().load() && i + 1 < filesToRun);
        if (outcome.bStopped) NoteStop();
        if (outcome.bStopped) break;
        ReportFileDone();
    }
}

void BatchRun::OpenDestination() {
    const int fd = ::open(m_strDestFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    m_nDestError = fd < 0 ? errno : 0;
    m_destFolder = fd < 0 ? nullptr : std::make_shared<const FolderHandle>(fd);
}

void BatchRun::RemoveLeftovers() {
    RemoveLeftoverTempFiles(m_destFolder->Fd());
    for (const std::string& folder : OutputSubfolders(m_arrSourceFiles)) {
        const int fd = OpenFolderBeneath(m_destFolder->Fd(), std::string_view(folder).substr(1), O_PATH);
        if (fd < 0) continue;  // a link is never followed, nor a missing folder made
        RemoveLeftoverTempFiles(fd);
        ::close(fd);
    }
}

void BatchRun::RunBatch() {
    m_pWindow->EnableStart(false);
    m_engine.m_bDebug = m_pWindow->IsDebugChecked();
    m_engine.m_lineEnds = m_lineEnds;
    SetPieceWorkers(m_engine, m_nJobs);  // files one after another: each may use every worker
    m_log.Clear();
    m_bFileErrorOccurred = false;
    m_bStopped = false;
    m_pWindow->SetStatusText("");
    m_parser.m_bCheckOnly = false;

    int filesToRun = m_nSourceCount;
    if (m_engine.m_bDebug) {
        filesToRun = std::min(filesToRun, 1);
    } else {
        m_pWindow->ShowDebugWindow(false);
    }
    if (!m_bDryRun) OpenDestination();  // a dry run changes nothing
    if (!m_engine.m_bDebug && m_destFolder) RemoveLeftovers();

    m_arrFileOutcomes.clear();
    // A dry run's outputs go, one after another, to the preview: it takes the
    // one-engine loop, which gives what the jobs would.
    if (m_nJobs > 1 && !m_engine.m_bDebug && !m_bDryRun && filesToRun > 1)
        RunFilesInParallel(filesToRun);
    else
        RunFilesInOrder(filesToRun);
    CountErrorsPerFile();
    ShowBatchVerdict();
    if (m_pWindow->IsSaveResponseChecked() && !m_bDryRun) WriteResponseFile();
    CloseBatchFiles();
    m_stop.Clear();
    m_pWindow->EnableStart(true);
}

}  // namespace tavisk
