// The batch on the worker thread: the files in source order, each run here
// or ahead on the jobs, then the verdict and the response file.
#include "BatchRun.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "../engine/DeferredWork.h"
#include "../engine/OpenBeneath.h"
#include "FileJobs.h"
#include "OutputFolders.h"
#include "PieceWorkers.h"

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

}  // namespace

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

std::string BatchRun::OutputPath(int i) const { return m_strDestFolder + m_sources.Element(i); }

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

std::string BatchRun::StartComplaints() {
    const std::string responsePath = ResponsePath();
    const StartSubject subject{!m_arrScriptLines.empty(), m_sources, m_strDestFolder, responsePath,
                               m_pWindow->IsSaveResponseChecked()};
    m_startFacts = CheckStart(subject, m_inputs);
    return m_startFacts.complaints;
}

int BatchRun::CheckSyntax() { return m_parser.CheckWholeScript(); }

StartResult BatchRun::PrepareStart() {
    m_pWindow->SetProgressRange(0, m_sources.Count());
    m_pWindow->SetProgressPos(0);
    const std::string complaints = StartComplaints();
    if (!complaints.empty()) {
        m_pWindow->ShowErrorMessage(complaints);
        return StartResult::Refused;
    }
    return CheckSyntax() == PARSE_END ? StartResult::Ready : StartResult::SyntaxError;
}

bool BatchRun::OpenSourceFile(int i) {
    m_bFileStepShown = false;
    return OpenSource(m_engine, m_sources, m_pSourceOpener, i);
}

bool BatchRun::OpenOutputFile(int i) {
    if (!m_destFolder && !IsDebugRun() && !m_bDryRun) OpenDestination();  // a caller outside RunBatch
    return ChooseOutputSink()->Begin(m_engine, i, nullptr);
}

std::unique_ptr<OutputSink> BatchRun::ChooseOutputSink() {
    const OutputPlace place{m_sources, m_strDestFolder};
    if (IsDebugRun()) return std::make_unique<DebugOutputs>(*m_pWindow);
    if (m_bDryRun) return std::make_unique<PreviewOutputs>(place, m_pPreview, m_bDestMadeFirst);
    return std::make_unique<WrittenOutputs>(place, m_destFolder, m_nDestError, m_startFacts.outputPresent);
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
    if (m_inputs.Holds(path)) {  // it became one while the batch ran
        ReportFileError(FileError{path, "would overwrite an input"});
        return;
    }
    TextFileWriter file;
    // A FIFO with no reader, or a pipe without room, after a stop: the file
    // is not written (reported), and the run ends all the same.
    file.SetStopFlag(&m_stop.Flag(), m_stop.Fd());
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

void BatchRun::RunFiles(int filesToRun, const OutputSink& sink) {
    const FileStepPlaces places{m_sources, m_pSourceOpener, sink};
    // The preview and the debug window take outputs one after another.
    std::unique_ptr<FileJobs> jobs;
    if (m_nJobs > 1 && filesToRun > 1 && sink.AllowsJobs())
        jobs = std::make_unique<FileJobs>(m_nJobs, filesToRun, m_arrScriptLines, m_stop, m_lineEnds, places);
    for (int i = 0; i < filesToRun; ++i) {
        FileOutcome& outcome = BeginFileOutcome();
        FileResult file;
        if (jobs) {
            if (!jobs->TakeNext(file)) break;
            AddWorkerReport(file);
        } else {
            m_bFileStepShown = false;
            file = RunFile(m_engine, m_log, places, i, this);
        }
        if (!TakeFile(i, file, outcome, sink, i + 1 < filesToRun)) break;
    }
    if (jobs) jobs->Abandon();
}

void BatchRun::AddWorkerReport(FileResult& file) {
    for (std::string& line : file.lines) m_log.AddLine(std::move(line));
    m_log.m_nErrorCount += file.nErrors;
    for (const FileError& error : file.fileErrors) ReportFileError(error);
}

bool BatchRun::TakeFile(int i, FileResult& file, FileOutcome& outcome, const OutputSink& sink, bool moreFiles) {
    outcome.bOpened = file.bOpened;
    outcome.nReplacements = file.nReplacements;
    if (!file.bOpened) {
        // Going on past a source that cannot be opened: a stop ends the batch here.
        if (m_bKeepGoing && file.bStopRequested && moreFiles) {
            NoteStop();
            outcome.bStopped = true;
        }
        return m_bKeepGoing && !outcome.bStopped;
    }
    if (!file.bWideText && !file.bOutputOpened) {
        if (file.run == FileRun::Stopped) NoteStop();  // its output waited for a reader
        outcome.bStopped = file.run == FileRun::Stopped;
        return false;
    }
    // A file run here showed its step as it began; one run ahead shows it now.
    if (file.bOnWorker) m_pWindow->SetProgressPos(i + 1);
    if (file.bWideText) {
        if (!file.bOnWorker) ReportFileDone();
        return true;
    }
    outcome.bWritten = sink.Take(file, m_engine);
    // A stop that came as the file ended keeps it and ends the batch, unless no file is left.
    outcome.bStopped = file.run == FileRun::Stopped || (file.bStopRequested && moreFiles);
    if (outcome.bStopped) {
        NoteStop();
        return false;
    }
    if (!file.bOnWorker) ReportFileDone();
    return true;
}

void BatchRun::OpenDestination() {
    const int fd = ::open(m_strDestFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    m_nDestError = fd < 0 ? errno : 0;
    m_destFolder = fd < 0 ? nullptr : std::make_shared<const FolderHandle>(fd);
}

void BatchRun::RemoveLeftovers() {
    RemoveLeftoverTempFiles(m_destFolder->Fd());
    for (const std::string& folder : OutputSubfolders(m_sources.Elements())) {
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

    int filesToRun = m_sources.Count();
    if (m_engine.m_bDebug) {
        filesToRun = std::min(filesToRun, 1);
    } else {
        m_pWindow->ShowDebugWindow(false);
    }
    if (!m_bDryRun) OpenDestination();  // a dry run changes nothing
    // Folders the start checks found clean are not read again.
    if (!m_engine.m_bDebug && m_destFolder && m_startFacts.leftoversMayExist) RemoveLeftovers();

    m_arrFileOutcomes.clear();
    RunFiles(filesToRun, *ChooseOutputSink());
    CountErrorsPerFile();
    ShowBatchVerdict();
    if (m_pWindow->IsSaveResponseChecked() && !m_bDryRun) WriteResponseFile();
    CloseBatchFiles();
    m_stop.Clear();
    m_pWindow->EnableStart(true);
}

}  // namespace tavisk
