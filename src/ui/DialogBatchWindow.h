#pragma once
// The batch's window operations and its syntax-error report, carried out on
// the main dialog.  The worker calls them from its own thread; each runs on
// the window thread while the worker waits, so they happen in order.  Debug
// text is gathered and handed over in chunks, by size and by time, so a
// large file neither waits for the window line by line nor shows up only at
// the end.
#include <chrono>
#include <string>

#include "WindowThread.h"
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
    void SetFileProgress(uint64_t bytesRead, uint64_t fileSize) override;
    void ShowDebugWindow(bool show) override;
    void ClearDebugText() override;
    void ShowErrorMessage(const std::string& text) override;
    void ReportSyntaxError(const SyntaxError& error) override;

    // Hands over the debug text gathered so far.
    void FlushDebugText();

    // A chunk goes to the window when it holds this much text (small enough
    // that the window adds it in well under a tenth of a second)...
    static constexpr size_t kDebugChunkBytes = size_t{1} << 18;
    // ...or when this long has passed since the last one.
    static constexpr std::chrono::milliseconds kDebugChunkInterval{100};

private:
    // Runs `fn` on the window thread after the debug text gathered before it.
    void Call(const std::function<void()>& fn);

    CBatchDlg& m_dlg;
    WindowThreadCaller m_caller;
    std::string m_strDebugPending;
    std::chrono::steady_clock::time_point m_lastDebugChunk{};
};

}  // namespace tavisk::ui
