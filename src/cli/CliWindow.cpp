#include "CliWindow.h"

namespace tavisk::cli {

namespace {

void WriteLineTo(FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fputc('\n', stream);
}

}  // namespace

void CliWindow::ClearProgressLine() {
    if (!m_bProgressShown) return;
    std::fputs("\r\033[K", stderr);
    m_bProgressShown = false;
}

void CliWindow::ReportFileError(const FileError& error) {
    ClearProgressLine();
    std::fputs(kMessagePrefix, stderr);
    WriteLineTo(stderr, error.Text());
}

void CliWindow::AppendText(std::string_view text) {
    if (!m_bPreviewText) {
        std::fwrite(text.data(), 1, text.size(), stdout);
    } else if (m_pCapture) {
        m_pCapture->Take(text);
    }
}

void CliWindow::ClearDebugText() {
    if (m_pPreview) m_pCapture = m_pPreview->BeginFile(m_strPreviewSource, "-");
}

void CliWindow::PreviewText(OutputPreview* preview, std::string sourcePath) {
    m_bPreviewText = true;
    m_pPreview = preview;
    m_strPreviewSource = std::move(sourcePath);
}

void CliWindow::EndPreview(bool complete) {
    if (m_pCapture) m_pPreview->EndFile(complete);
    m_pCapture = nullptr;
}

void CliWindow::EnableStart(bool enable) {
    if (enable) ClearProgressLine();  // the run is over
}

void CliWindow::SetProgressPos(int position) {
    if (!m_bShowProgress || position <= 0) return;
    std::fprintf(stderr, "\r%d/%d files", position, m_nProgressTop);
    std::fflush(stderr);
    m_bProgressShown = true;
}

void CliWindow::ShowErrorMessage(const std::string& text) {
    ClearProgressLine();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        m_complaints.emplace_back(std::string_view(text).substr(start, end - start));
        std::fputs(kMessagePrefix, stderr);
        WriteLineTo(stderr, m_complaints.back());
        start = end + 2;
    }
}

void CliSyntaxErrorReport::ReportSyntaxError(const SyntaxError& error) {
    m_error = error;
    m_bReported = true;
    std::fprintf(stderr, "%s:%d:%d: ", m_strScriptName.c_str(), error.m_nLineIndex + 1, error.m_nColumn);
    WriteLineTo(stderr, error.m_strMessage);
    std::fputs("    ", stderr);
    WriteLineTo(stderr, error.m_strCommandLine);
    std::fputs("    ", stderr);
    WriteLineTo(stderr, error.m_strProcessed);
}

}  // namespace tavisk::cli
