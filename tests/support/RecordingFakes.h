#pragma once
// One recording fake per interface the core calls out through: each keeps
// what it was told, for the test to read afterwards.  Header-only, so that
// the fuzz targets use them too.
#include <string>
#include <string_view>
#include <vector>

#include "batch/BatchWindow.h"
#include "engine/DebugOutputSink.h"
#include "engine/FileError.h"
#include "script/SyntaxError.h"

namespace tavisk::test {

// Every syntax error, instead of showing it.
struct RecordingSyntaxReport : SyntaxErrorReport {
    std::vector<SyntaxError> errors;

    void ReportSyntaxError(const SyntaxError& error) override { errors.push_back(error); }
    // The message of the last error; empty when there was none.
    std::string LastMessage() const { return errors.empty() ? std::string() : errors.back().m_strMessage; }
};

// Every file error, as the text a user would see.
struct RecordingFileErrors : FileErrorReport {
    std::vector<std::string> texts;

    void ReportFileError(const FileError& error) override { texts.push_back(error.Text()); }
};

// Every debug-mode line, in order.
struct RecordingDebugSink : DebugOutputSink {
    std::vector<std::string> pieces;

    void AppendText(std::string_view text) override { pieces.emplace_back(text); }
};

// The window of a batch: its check boxes answer as set, and everything the
// run shows is kept.  Read it only once the run has ended (a worker thread
// writes it).
struct RecordingBatchWindow : BatchWindow {
    bool debugChecked = false;
    bool saveResponseChecked = false;

    std::vector<std::string> calls;  // Start, progress and debug-window operations in order
    std::vector<std::string> fileErrors;
    std::vector<std::string> errorMessages;
    std::string debugText;
    std::string status = "unset";
    int progressTop = -1;
    int progressPos = -1;
    bool startEnabled = true;
    bool debugShown = false;

    void ReportFileError(const FileError& error) override { fileErrors.push_back(error.Text()); }
    void AppendText(std::string_view text) override { debugText.append(text); }
    void EnableStart(bool enable) override {
        startEnabled = enable;
        calls.push_back(enable ? "enable" : "disable");
    }
    bool IsDebugChecked() override { return debugChecked; }
    bool IsSaveResponseChecked() override { return saveResponseChecked; }
    void SetStatusText(const std::string& text) override { status = text; }
    void SetProgressRange(int, int upper) override { progressTop = upper; }
    void SetProgressPos(int position) override {
        progressPos = position;
        calls.push_back("progress " + std::to_string(position));
    }
    void ShowDebugWindow(bool show) override {
        debugShown = show;
        calls.push_back(show ? "show debug" : "hide debug");
    }
    void ClearDebugText() override {
        debugText.clear();
        calls.push_back("clear debug");
    }
    void ShowErrorMessage(const std::string& text) override { errorMessages.push_back(text); }
};

}  // namespace tavisk::test
