#include "DialogBatchWindow.h"

#include "BatchDlg.h"
#include "DisplayText.h"

namespace tavisk::ui {

void DialogBatchWindow::Call(const std::function<void()>& fn) {
    FlushDebugText();
    m_caller.Call(fn);
}

void DialogBatchWindow::FlushDebugText() {
    if (m_strDebugPending.empty()) return;
    // Chunks end at line ends, so no character is split between two of them.
    const QString shown = DisplayText(m_strDebugPending);
    m_strDebugPending.clear();
    m_caller.Call([&] { m_dlg.AppendDebugText(shown); });
    m_lastDebugChunk = std::chrono::steady_clock::now();
}

void DialogBatchWindow::AppendText(std::string_view text) {
    m_strDebugPending.append(text);
    if (m_strDebugPending.size() >= kDebugChunkBytes ||
        std::chrono::steady_clock::now() - m_lastDebugChunk >= kDebugChunkInterval)
        FlushDebugText();
}

void DialogBatchWindow::ReportFileError(const FileError& error) {
    QString text = DisplayText(error.Text());
    // The response file's name may look like any output's: the box says which file it is.
    if (error.m_strPath == m_dlg.Batch().ResponsePath())
        text = QStringLiteral("The response file cannot be written:\n") + text;
    Call([&] { m_dlg.ShowFileError(text); });
}

void DialogBatchWindow::EnableStart(bool enable) {
    Call([&] { m_dlg.EnableStart(enable); });
}

bool DialogBatchWindow::IsDebugChecked() {
    bool checked = false;
    Call([&] { checked = m_dlg.IsDebugChecked(); });
    return checked;
}

bool DialogBatchWindow::IsSaveResponseChecked() {
    bool checked = false;
    Call([&] { checked = m_dlg.IsSaveResponseChecked(); });
    return checked;
}

void DialogBatchWindow::SetStatusText(const std::string& text) {
    const QString shown = DisplayText(text);
    Call([&] { m_dlg.SetStatusText(shown); });
}

void DialogBatchWindow::SetProgressRange(int lower, int upper) {
    Call([&] { m_dlg.SetProgressRange(lower, upper); });
}

void DialogBatchWindow::SetProgressPos(int position) {
    Call([&] { m_dlg.SetProgressPos(position); });
}

void DialogBatchWindow::SetFileProgress(uint64_t bytesRead, uint64_t fileSize) {
    Call([&] { m_dlg.SetFileProgress(bytesRead, fileSize); });
}

void DialogBatchWindow::ShowDebugWindow(bool show) {
    Call([&] { m_dlg.ShowDebugWindow(show); });
}

void DialogBatchWindow::ClearDebugText() {
    Call([&] { m_dlg.ClearDebugText(); });
}

void DialogBatchWindow::ShowErrorMessage(const std::string& text) {
    const QString shown = DisplayText(text);
    Call([&] { m_dlg.ShowErrorMessage(shown); });
}

void DialogBatchWindow::ReportSyntaxError(const SyntaxError& error) {
    Call([&] { m_dlg.ShowSyntaxError(error); });
}

}  // namespace tavisk::ui
