#include "DialogBatchWindow.h"

#include "BatchDlg.h"
#include "DisplayText.h"
#include "WindowThread.h"

namespace tavisk::ui {

void DialogBatchWindow::ReportFileError(const FileError& error) {
    const QString text = DisplayText(error.Text());
    CallOnWindowThread(&m_dlg, [&] { m_dlg.ShowFileError(text); });
}

void DialogBatchWindow::AppendText(std::string_view text) {
    const QString shown = DisplayText(text);
    CallOnWindowThread(&m_dlg, [&] { m_dlg.AppendDebugText(shown); });
}

void DialogBatchWindow::EnableStart(bool enable) {
    CallOnWindowThread(&m_dlg, [&] { m_dlg.EnableStart(enable); });
}

bool DialogBatchWindow::IsDebugChecked() {
    bool checked = false;
    CallOnWindowThread(&m_dlg, [&] { checked = m_dlg.IsDebugChecked(); });
    return checked;
}

bool DialogBatchWindow::IsSaveResponseChecked() {
    bool checked = false;
    CallOnWindowThread(&m_dlg, [&] { checked = m_dlg.IsSaveResponseChecked(); });
    return checked;
}

void DialogBatchWindow::SetStatusText(const std::string& text) {
    const QString shown = DisplayText(text);
    CallOnWindowThread(&m_dlg, [&] { m_dlg.SetStatusText(shown); });
}

void DialogBatchWindow::SetProgressRange(int lower, int upper) {
    CallOnWindowThread(&m_dlg, [&] { m_dlg.SetProgressRange(lower, upper); });
}

void DialogBatchWindow::SetProgressPos(int position) {
    CallOnWindowThread(&m_dlg, [&] { m_dlg.SetProgressPos(position); });
}

void DialogBatchWindow::ShowDebugWindow(bool show) {
    CallOnWindowThread(&m_dlg, [&] { m_dlg.ShowDebugWindow(show); });
}

void DialogBatchWindow::ClearDebugText() {
    CallOnWindowThread(&m_dlg, [&] { m_dlg.ClearDebugText(); });
}

void DialogBatchWindow::ShowErrorMessage(const std::string& text) {
    const QString shown = DisplayText(text);
    CallOnWindowThread(&m_dlg, [&] { m_dlg.ShowErrorMessage(shown); });
}

void DialogBatchWindow::ReportSyntaxError(const SyntaxError& error) {
    CallOnWindowThread(&m_dlg, [&] { m_dlg.ShowSyntaxError(error); });
}

}  // namespace tavisk::ui
