#pragma once
// The batch's window operations and its syntax-error report, carried out on
// the main dialog.  The worker calls them from its own thread; each runs on
// the window thread while the worker waits, so they happen in order.
#include "batch/BatchWindow.h"
#include "script/SyntaxError.h"

namespace tavisk::ui {

class CBatchDlg;

class DialogBatchWindow final : public BatchWindow, public SyntaxErrorReport {
public:
    explicit DialogBatchWindow(CBatchDlg& dialog) : m_dlg(dialog) {}

    void ReportFileError(const FileError& error) override;
    void AppendText(std::string_view text) override;
    void EnableStart(bool enable) override;
    bool IsDebugChecked() override;
    bool IsSaveResponseChecked() override;
    void SetStatusText(const std::string& text) override;
    void SetProgressRange(int lower, int upper) override;
    void SetProgressPos(int position) override;
    void ShowDebugWindow(bool show) override;
    void ClearDebugText() override;
    void ShowErrorMessage(const std::string& text) override;
    void ReportSyntaxError(const SyntaxError& error) override;

private:
    CBatchDlg& m_dlg;
};

}  // namespace tavisk::ui
