#pragma once
// The batch's window operations on the standard streams.
#include <cstdio>
#include <string>
#include <vector>

#include "batch/BatchWindow.h"
#include "batch/OutputPreview.h"
#include "script/SyntaxError.h"

namespace tavisk::cli {

class CliWindow final : public BatchWindow {
public:
    CliWindow(bool debug, bool saveResponse, bool showProgress)
        : m_bDebug(debug), m_bSaveResponse(saveResponse), m_bShowProgress(showProgress) {}

    void ReportFileError(const FileError& error) override;
    void AppendText(std::string_view text) override;
    void EnableStart(bool enable) override;
    bool IsDebugChecked() override { return m_bDebug; }
    bool IsSaveResponseChecked() override { return m_bSaveResponse; }
    void SetStatusText(const std::string&) override {}
    void SetProgressRange(int, int upper) override { m_nProgressTop = upper; }
    void SetProgressPos(int position) override;
    void ShowDebugWindow(bool) override {}
    void ClearDebugText() override;
    void ShowErrorMessage(const std::string& text) override;

    // A dry run to standard output: the edited text goes to `preview`, when
    // given, as the output of `sourcePath`, and never to standard output.
    void PreviewText(OutputPreview* preview, std::string sourcePath);
    // The one file's run is over; `complete` when a real run would have kept its text.
    void EndPreview(bool complete);

    // The start complaints shown, one per entry, without their "\r\n".
    const std::vector<std::string>& Complaints() const { return m_complaints; }

private:
    void ClearProgressLine();

    bool m_bDebug;
    bool m_bSaveResponse;
    bool m_bShowProgress;
    bool m_bProgressShown = false;
    int m_nProgressTop = 0;
    bool m_bPreviewText = false;
    OutputPreview* m_pPreview = nullptr;
    std::string m_strPreviewSource;
    OutputCapture* m_pCapture = nullptr;  // the file being previewed
    std::vector<std::string> m_complaints;
};

// Prints "NAME:LINE:COLUMN: MESSAGE" (as compilers do, so editors jump to
// it), then the line and the portion processed, indented; keeps the error.
class CliSyntaxErrorReport final : public SyntaxErrorReport {
public:
    explicit CliSyntaxErrorReport(std::string scriptName) : m_strScriptName(std::move(scriptName)) {}
    void ReportSyntaxError(const SyntaxError& error) override;

    const std::string& ScriptName() const { return m_strScriptName; }
    // The error reported, if any.
    const SyntaxError* Error() const { return m_bReported ? &m_error : nullptr; }

private:
    std::string m_strScriptName;
    SyntaxError m_error;
    bool m_bReported = false;
};

// Messages of this program on standard error begin with its name.
inline constexpr const char* kMessagePrefix = "tavisk-cli: ";

}  // namespace tavisk::cli
