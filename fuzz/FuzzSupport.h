#pragma once
// Shared pieces of the fuzz targets: splitting the input, a recording window,
// a scratch folder, and the check that stops the process on a broken rule.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "batch/BatchWindow.h"
#include "script/SyntaxError.h"

namespace tavisk::fuzz {

// A broken rule is a finding: print where and abort, so the fuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);   \
            std::abort();                                                                         \
        }                                                                                         \
    } while (0)

// Commands one input may run before the harness stops it; a script such as
// «(t1)4294967295» would otherwise run for ever on a long enough source.
inline constexpr uint64_t kCommandBudget = 20000;

// Splits at LF as the control-file loader does (a CR before the LF is kept:
// -e lines may hold one anywhere); a last line without LF still counts.
std::vector<std::string> SplitLines(std::string_view bytes);

// Source text as the engine reads it, written back the way the output writer
// writes it: every line ends in CR LF, one CR before each LF dropped.
std::string NormaliseLines(std::string_view source);

// Remembers every syntax error instead of showing it.
class RecordingSyntaxReport final : public SyntaxErrorReport {
public:
    void ReportSyntaxError(const SyntaxError& error) override { m_errors.push_back(error); }
    std::vector<SyntaxError> m_errors;
};

// The window of a batch, recording what a user would have seen.
class RecordingWindow final : public BatchWindow {
public:
    explicit RecordingWindow(bool debug) : m_bDebug(debug) {}
    void ReportFileError(const FileError& error) override { m_fileErrors.push_back(error.Text()); }
    void AppendText(std::string_view text) override { m_debugText.append(text); }
    void EnableStart(bool) override {}
    bool IsDebugChecked() override { return m_bDebug; }
    bool IsSaveResponseChecked() override { return false; }
    void SetStatusText(const std::string& text) override { m_status = text; }
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int) override {}
    void ShowDebugWindow(bool) override {}
    void ClearDebugText() override { m_debugText.clear(); }
    void ShowErrorMessage(const std::string& text) override { m_complaints += text; }

    bool m_bDebug;
    std::string m_debugText;
    std::string m_status;
    std::string m_complaints;
    std::vector<std::string> m_fileErrors;
};

// A private folder for the engine target's files, removed at exit.
const std::string& ScratchFolder();

bool WriteWholeFile(const std::string& path, std::string_view bytes);
bool ReadWholeFile(const std::string& path, std::string& bytes);

}  // namespace tavisk::fuzz
