// The batch loop on the worker thread: one source after another, then the
// verdict and the response file.
#include "BatchRun.h"

#include "../engine/WideText.h"

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
    m_engine.SetStopFlag(&m_bStopRequested);
    m_engine.m_fileSource.SetProgress(this);
}

void BatchRun::SetWindow(BatchWindow* window) {
    m_pWindow = window ? window : &g_noWindow;
    m_engine.SetDebugSink(m_pWindow);
}

void BatchRun::SetSourcePaths(const std::vector<std::string>& paths) {
    m_arrSourceFiles.clear();
    m_arrSourceFolders.clear();
    for (const std::string& path : paths) {
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos) {
            m_arrSourceFolders.emplace_back(".");
            m_arrSourceFiles.push_back("/" + path);
        } else {
            m_arrSourceFolders.push_back(path.substr(0, slash));
            m_arrSourceFiles.push_back(path.substr(slash));
        }
    }
    m_nSourceCount = static_cast<int>(m_arrSourceFiles.size());
    m_strSourceFolder = m_arrSourceFolders.empty() ? std::string() : m_arrSourceFolders.back();
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
    m_engine.m_nLastLineRead = -1;
    FileError error;
    if (m_engine.m_fileSource.Open(SourcePath(i), ShareMode::Exclusive, error)) return true;
    m_engine.ReportFileError(error);
    return false;
}

bool BatchRun::RefuseWideText() {
    const char* encoding = WideEncodingName(m_engine.m_fileSource.Peek(4));
    if (!encoding) return false;
    m_engine.ReportFileError(FileError{m_engine.m_fileSource.Path(), std::string(encoding) + " text cannot be edited"});
    m_engine.m_fileSource.Close();
    return true;
}

bool BatchRun::OpenOutputFile(int i) {
    if (m_engine.m_bDebug) {
        m_pWindow->ShowDebugWindow(true);
        m_pWindow->ClearDebugText();
        return true;
    }
    OutputOptions options;
    options.mustDiffer = m_engine.m_fileSource.Identity();  // a last guard: the start checks refused it already
    options.permissions = m_engine.m_fileSource.Permissions();
    // A name that was absent at the start holds nothing a new file could harm.
    const auto index = static_cast<size_t>(i);
    options.nameWasAbsent = index < m_arrOutputPresent.size() && !m_arrOutputPresent[index];
    FileError error;
    if (m_engine.m_fileOutput.Create(OutputPath(i), error, options)) return true;
    m_engine.ReportFileError(error);
    return false;
}

void BatchRun::CommitOrDiscardOutput(bool keep) {
    if (keep)
        m_engine.CloseFiles();
    else
        m_engine.DiscardFiles();
}

void BatchRun::CloseBatchFiles() {
    m_engine.DiscardFiles();
    m_engine.m_fileOutput.CloseFolder();  // the next run finds its folder afresh
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

void BatchRun::RunBatch() {
    m_pWindow->EnableStart(false);
    m_engine.m_bDebug = m_pWindow->IsDebugChecked();
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
        RemoveLeftoverTempFiles(m_strDestFolder);
    }

    for (int i = 0; i < filesToRun; ++i) {
        m_log.AddLine(m_arrSourceFiles[static_cast<size_t>(i)].substr(1));
        const int64_t fileErrorsBefore = m_engine.FileErrorCount();
        if (!OpenSourceFile(i)) break;
        if (RefuseWideText()) {
            ShowFileStep(i);
            ReportFileDone();
            continue;
        }
        if (!OpenOutputFile(i)) break;
        ShowFileStep(i);
        const FileRun run = m_engine.RunScriptOnFile();
        CommitOrDiscardOutput(run == FileRun::Finished && m_engine.FileErrorCount() == fileErrorsBefore);
        // A stop that came as the file ended keeps it and ends the batch, unless no file is left.
        if (run == FileRun::Stopped || (m_bStopRequested.load() && i + 1 < filesToRun)) {
            NoteStop();
            break;
        }
        ReportFileDone();
    }
    CloseBatchFiles();
    ShowBatchVerdict();
    if (m_pWindow->IsSaveResponseChecked()) WriteResponseFile();
    m_bStopRequested.store(false);
    m_pWindow->EnableStart(true);
}

}  // namespace tavisk
