// A script and a source from one input (the script up to the first NUL byte,
// the source after it), run as a batch of one file and again in debug mode,
// all in memory: the source is read from the input's bytes and the output is
// captured as a dry run captures it.  Beyond "no crash": the two runs agree,
// the edit stream keeps its rules between commands, a source the batch must
// refuse is refused, and two scripts with a known result ("te" and a lone
// "g") give exactly that result.
#include <sys/stat.h>

#include <algorithm>

#include "FuzzSupport.h"
#include "batch/BatchRun.h"
#include "engine/FindText.h"
#include "engine/WideText.h"

namespace {

using namespace tavisk;
using namespace tavisk::fuzz;

// The source is named as if it lay in a folder; nothing is read from there.
// The destination exists (a dry run asks whether an output could be made in
// it) but is never written.
struct Paths {
    std::string sourceFolder, source, destFolder, output;
};

const Paths& ScratchPaths() {
    static const Paths paths = [] {
        Paths p;
        p.sourceFolder = ScratchFolder() + "/src";
        p.destFolder = ScratchFolder() + "/out";
        mkdir(p.destFolder.c_str(), 0700);
        p.source = p.sourceFolder + "/s.txt";
        p.output = p.destFolder + "/s.txt";
        return p;
    }();
    return paths;
}

// The input's source bytes, handed to the batch as its one source.
class MemorySource final : public SourceOpener {
public:
    std::string_view bytes;
    bool Open(const std::string& path, TextFileReader& reader, FileError& error) override {
        if (path != ScratchPaths().source) {
            error = FileError{path, "no such source"};
            return false;
        }
        reader.OpenMemory(bytes, path);
        return true;
    }
};

// What a run would have written, kept in memory.
class CapturedOutput final : public OutputPreview, public OutputCapture {
public:
    std::string text;
    int filesBegun = 0;
    int filesComplete = 0;
    void Clear() {
        text.clear();
        filesBegun = filesComplete = 0;
    }
    OutputCapture* BeginFile(const std::string&, const std::string& outputPath) override {
        FUZZ_CHECK(outputPath == ScratchPaths().output);
        ++filesBegun;
        return this;
    }
    void EndFile(bool complete) override { filesComplete += complete; }
    bool Take(std::string_view bytes) override {
        text.append(bytes);
        return true;
    }
};

MemorySource g_source;
CapturedOutput g_output;

struct RunOutcome {
    std::string text;  // the captured output, or the debug window's text
    std::vector<std::string> responseLines;
    int errorCount = 0;
    std::vector<std::string> fileErrors;
};

// The batches live for the whole fuzzing run, as the program's one batch
// does across runs: their file buffers are made once, which keeps each
// input fast under AddressSanitizer.
enum BatchRole { kWholeCopy, kDebugRun, kFileRun, kRoles };

BatchRun& PrepareBatch(BatchRole role, const std::vector<std::string>& script, RecordingBatchWindow& window,
                       RecordingSyntaxReport& syntaxReport) {
    static BatchRun batches[kRoles];
    BatchRun& batch = batches[role];
    batch.m_arrScriptLines = script;
    if (batch.m_sources.Empty()) batch.m_sources.SetPaths({ScratchPaths().source});
    batch.m_strDestFolder = ScratchPaths().destFolder;
    batch.m_bDryRun = true;
    batch.m_pPreview = &g_output;
    batch.m_pSourceOpener = &g_source;
    batch.SetWindow(&window);
    batch.SetSyntaxErrorReport(&syntaxReport);
    g_output.Clear();
    return batch;
}

// The start checks look only at names, which are the same for every input:
// they are asked once (the syntax check is asked per input instead).
void CheckStartChecksOnce() {
    static const bool checked = [] {
        RecordingBatchWindow window;
        RecordingSyntaxReport syntax;
        BatchRun& batch = PrepareBatch(kWholeCopy, {"te"}, window, syntax);
        FUZZ_CHECK(batch.StartComplaints().empty());
        batch.m_arrScriptLines.clear();
        FUZZ_CHECK(batch.StartComplaints() == "Empty or No Control File\r\n");
        return true;
    }();
    (void)checked;
}

// The rules of the edit stream between two commands.
void CheckStream(const EditEngine& engine) {
    FUZZ_CHECK(engine.m_nLastLineRead <= engine.m_nCurLine);
    FUZZ_CHECK(engine.m_nEditPos >= 0);
    if (engine.m_nLastLineRead == engine.m_nCurLine)
        FUZZ_CHECK(engine.m_nEditPos <= static_cast<int64_t>(engine.m_strSourceLine.size()));
    FUZZ_CHECK(engine.m_strOutLine.find('\n') == std::string::npos);
}

// The batch of one file, with the interpreter loop unrolled here so that the
// stream can be checked after every command and the run cut off at the budget.
// True when the file came to its end within the budget.
bool RunWatched(BatchRun& batch, bool debug) {
    EditEngine& engine = batch.Engine();
    ScriptParser& parser = batch.Parser();
    batch.m_log.Clear();
    batch.m_log.AddLine("s.txt");
    engine.m_bDebug = debug;
    parser.m_bCheckOnly = false;
    bool ended = true;
    if (batch.OpenSourceFile(0) && batch.OpenOutputFile(0)) {
        engine.m_nCurLine = 0;
        engine.m_nEditPos = 0;
        parser.Reset();
        parser.m_strCommandText.clear();
        engine.m_strOutLine.clear();
        CScriptCommand cmd;
        int result = 0;
        for (uint64_t commands = 0; result < EXEC_FILE_DONE && commands < kCommandBudget; ++commands) {
            result = parser.ParseNextCommand(cmd);
            if (result < PARSE_ERROR) result = engine.ExecuteCommand(cmd);
            CheckStream(engine);
        }
        ended = result >= EXEC_FILE_DONE;
        engine.CloseFiles();
    }
    batch.CloseBatchFiles();
    batch.ShowBatchVerdict();
    return ended;
}

RunOutcome Collect(BatchRun& batch, const RecordingBatchWindow& window, bool debug) {
    RunOutcome outcome;
    if (debug)
        outcome.text = window.debugText;
    else
        outcome.text = g_output.text;
    outcome.responseLines = batch.m_log.m_arrResponseLines;
    outcome.errorCount = batch.m_log.m_nErrorCount;
    outcome.fileErrors = window.fileErrors;
    return outcome;
}

// What every run's results must look like.
void CheckOutcome(const RunOutcome& run) {
    FUZZ_CHECK(run.fileErrors.empty());
    // Every output line ends in CR LF, the last one included.
    for (size_t at = run.text.find('\n'); at != std::string::npos; at = run.text.find('\n', at + 1))
        FUZZ_CHECK(at > 0 && run.text[at - 1] == '\r');
    FUZZ_CHECK(run.text.empty() || run.text.back() == '\n');

    // Header, at most one engine message (each one ends the file), verdict.
    const auto& lines = run.responseLines;
    FUZZ_CHECK(lines.size() == 2 || lines.size() == 3);
    FUZZ_CHECK(lines.front() == "s.txt");
    FUZZ_CHECK(lines.back() == (run.errorCount ? kVerdictErrors : kVerdictClean));
    if (lines.size() == 3) {
        FUZZ_CHECK(lines[1].size() > 1 && lines[1][0] == '\t');
        const bool replacementCount = lines[1].ends_with(", Replacements");
        FUZZ_CHECK(run.errorCount == (replacementCount ? 0 : 1));
    } else {
        FUZZ_CHECK(run.errorCount == 0);
    }
}

// "te" copies the whole source, whatever bytes it holds.
void CheckWholeCopy(std::string_view source) {
    RecordingBatchWindow window;
    RecordingSyntaxReport syntaxReport;
    BatchRun& batch = PrepareBatch(kWholeCopy, {"te"}, window, syntaxReport);
    FUZZ_CHECK(batch.CheckSyntax() == PARSE_END);
    batch.RunBatch();
    const RunOutcome run = Collect(batch, window, false);
    FUZZ_CHECK(run.text == NormaliseLines(source));
    FUZZ_CHECK(g_output.filesBegun == 1 && g_output.filesComplete == 1);
    FUZZ_CHECK(run.responseLines == std::vector<std::string>({"s.txt", kVerdictClean}));
}

// A source in a two- or four-byte encoding is refused in every mode: one
// file error naming it, counted in the response lines; nothing written or shown.
void CheckWideTextRefused(const std::vector<std::string>& script, const char* encoding) {
    const std::string expectedError = ScratchPaths().source + ": " + encoding + " text cannot be edited";
    for (const bool debug : {false, true}) {
        RecordingBatchWindow window;
        window.debugChecked = debug;
        RecordingSyntaxReport syntaxReport;
        BatchRun& batch = PrepareBatch(debug ? kDebugRun : kFileRun, script, window, syntaxReport);
        batch.RunBatch();
        FUZZ_CHECK(window.fileErrors == std::vector<std::string>({expectedError}));
        FUZZ_CHECK(g_output.filesBegun == 0 && window.debugText.empty());
        FUZZ_CHECK(batch.m_log.m_arrResponseLines ==
                   std::vector<std::string>({"s.txt", "\t" + expectedError, kVerdictErrors}));
    }
}

// A script that is a single "g" command: every line, each occurrence replaced
// from left to right without overlap, then the count.
void CheckLoneGlobalReplace(const std::vector<std::string>& script, std::string_view source, const RunOutcome& run) {
    if (script.size() != 1) return;
    ScriptParser parser(script);
    parser.Reset();
    CScriptCommand cmd;
    if (parser.ParseNextCommand(cmd) != PARSE_COMMAND || cmd.m_nCommand != CMD_REPLACE ||
        cmd.m_nQualifier != QUAL_GLOBAL || parser.ParseNextCommand(cmd) != PARSE_END)
        return;
    ScriptParser again(script);
    again.Reset();
    again.ParseNextCommand(cmd);

    std::string expected;
    int64_t count = 0;
    const std::string normalised = NormaliseLines(source);
    std::string_view rest = normalised;
    while (!rest.empty()) {
        const size_t end = rest.find("\r\n");
        std::string_view line = rest.substr(0, end);
        for (size_t hit; (hit = line.find(cmd.m_strText)) != std::string_view::npos; ++count) {
            expected.append(line.substr(0, hit)).append(cmd.m_strReplace);
            line.remove_prefix(hit + cmd.m_strText.size());
        }
        expected.append(line).append("\r\n");
        rest.remove_prefix(end + 2);
    }
    FUZZ_CHECK(run.text == expected);
    FUZZ_CHECK(run.responseLines.size() == 3);
    FUZZ_CHECK(run.responseLines[1] == "\t" + again.m_strCommandText + " caused " + std::to_string(count) + ", Replacements");
}

// The line search against the plain one: the source as the text, needles cut
// from the script's lines, searches begun around the vector widths.
void CheckFindText(std::string_view text, const std::vector<std::string>& script) {
    for (const std::string& line : script) {
        for (size_t length : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{16}, size_t{33}, line.size()}) {
            if (length == 0 || length > line.size()) continue;
            const std::string_view needle = std::string_view(line).substr(line.size() - length);
            for (size_t from : {0, 1, 15, 16, 17, 31, 32, 33, 64}) {
                if (from > text.size()) break;
                const size_t want = text.find(needle, from);
                const int64_t found = FindText(text, needle, static_cast<int64_t>(from));
                FUZZ_CHECK(found == (want == std::string_view::npos ? kTextNotFound : static_cast<int64_t>(want)));
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    const std::vector<std::string> script = SplitLines(input.substr(0, split));
    const std::string_view source = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    g_source.bytes = source;
    CheckStartChecksOnce();

    CheckFindText(source, script);

    // Every refusal comes before any file is touched: an empty script is a
    // start complaint, a syntax error is reported once, a wide source is
    // refused when the run opens it.
    if (script.empty()) return 0;
    {
        RecordingBatchWindow window;
        RecordingSyntaxReport syntax;
        BatchRun& batch = PrepareBatch(kDebugRun, script, window, syntax);
        if (batch.CheckSyntax() != PARSE_END) {
            FUZZ_CHECK(syntax.errors.size() == 1);
            return 0;
        }
        FUZZ_CHECK(syntax.errors.empty());
    }
    if (const char* encoding = WideEncodingName(source.substr(0, 4))) {
        CheckWideTextRefused(script, encoding);
        return 0;
    }
    CheckWholeCopy(source);

    RecordingBatchWindow debugWindow;
    debugWindow.debugChecked = true;
    RecordingSyntaxReport debugSyntax;
    BatchRun& debugBatch = PrepareBatch(kDebugRun, script, debugWindow, debugSyntax);
    const bool endedWithinBudget = RunWatched(debugBatch, true);
    const RunOutcome debugRun = Collect(debugBatch, debugWindow, true);
    CheckOutcome(debugRun);
    FUZZ_CHECK(g_output.filesBegun == 0);

    // The same batch with an output: through the program's own loop when the
    // run above came to its end (the same commands end it here), else through
    // the watched loop, cut at the same budget.
    RecordingBatchWindow fileWindow;
    RecordingSyntaxReport fileSyntax;
    BatchRun& fileBatch = PrepareBatch(kFileRun, script, fileWindow, fileSyntax);
    FUZZ_CHECK(fileBatch.CheckSyntax() == PARSE_END);
    if (endedWithinBudget) {
        fileBatch.RunBatch();
        FUZZ_CHECK(g_output.filesBegun == 1 && g_output.filesComplete == 1);
    } else {
        RunWatched(fileBatch, false);
    }
    const RunOutcome fileRun = Collect(fileBatch, fileWindow, false);
    CheckOutcome(fileRun);

    FUZZ_CHECK(fileRun.text == debugRun.text);
    FUZZ_CHECK(fileRun.responseLines == debugRun.responseLines);
    FUZZ_CHECK(fileRun.errorCount == debugRun.errorCount);

    CheckLoneGlobalReplace(script, source, fileRun);
    return 0;
}
