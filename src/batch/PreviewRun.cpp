#include "PreviewRun.h"

#include <algorithm>
#include <new>

#include "../engine/EditEngine.h"
#include "../engine/WideText.h"
#include "../script/ScriptParser.h"

namespace tavisk {

namespace {

class FirstSyntaxError final : public SyntaxErrorReport {
public:
    explicit FirstSyntaxError(PreviewResult& result) : m_result(result) {}
    void ReportSyntaxError(const SyntaxError& error) override {
        if (m_result.bSyntaxError) return;
        m_result.bSyntaxError = true;
        m_result.syntaxError = error;
    }

private:
    PreviewResult& m_result;
};

// Keeps the output up to a limit; past it, or out of memory, the write
// fails, which ends the run as a full disk would.
class StringCapture final : public OutputCapture {
public:
    StringCapture(std::string& out, size_t limit, bool& cut) : m_out(out), m_nLimit(limit), m_bCut(cut) {}
    bool Take(std::string_view bytes) override {
        if (bytes.size() > m_nLimit - std::min(m_nLimit, m_out.size())) {
            m_out.append(bytes.substr(0, m_nLimit - std::min(m_nLimit, m_out.size())));
            m_bCut = true;
            return false;
        }
        try {
            m_out.append(bytes);
        } catch (const std::bad_alloc&) {
            m_bCut = true;
            return false;
        }
        return true;
    }

private:
    std::string& m_out;
    size_t m_nLimit;
    bool& m_bCut;
};

}  // namespace

bool RunPreview(const PreviewInput& input, const std::atomic<bool>* stop, PreviewResult& result) {
    result = PreviewResult{};
    static const std::vector<std::string> kNoLines;
    const std::vector<std::string>& script = input.scriptLines ? *input.scriptLines : kNoLines;
    FirstSyntaxError syntaxErrors(result);
    ScriptParser parser(script, &syntaxErrors);
    if (parser.CheckWholeScript() == PARSE_ERROR) return true;
    parser.m_bCheckOnly = false;

    ResponseLog log;
    EditEngine engine(parser, log);
    engine.SetStopFlag(stop);
    engine.m_lineEnds = input.lineEnds;
    engine.m_fileSource.OpenMemory(input.source, input.sourceName);
    if (const char* encoding = WideEncodingName(engine.m_fileSource.Peek(4))) {
        // As a batch does: such a source is reported and left alone.
        result.bWideText = true;
        engine.ReportFileError(FileError{input.sourceName, std::string(encoding) + " text cannot be edited"});
        engine.m_fileSource.Close();
    } else {
        StringCapture capture(result.output, input.outputLimit, result.bOutputCut);
        engine.m_fileOutput.CreateCaptured(input.sourceName, &capture);
        if (engine.RunScriptOnFile() == FileRun::Stopped) {
            engine.DiscardFiles();
            return false;
        }
        engine.CloseFiles();
    }
    if (result.bOutputCut) {
        // The limit's refusal reads as an error of the file: it is the preview's, not the script's.
        const std::string refusal = "\t" + input.sourceName + ": ";
        const auto refused = [&](const std::string& line) { return line.compare(0, refusal.size(), refusal) == 0; };
        log.m_nErrorCount -= static_cast<int>(std::count_if(log.m_arrResponseLines.begin(), log.m_arrResponseLines.end(), refused));
        log.m_arrResponseLines.erase(std::remove_if(log.m_arrResponseLines.begin(), log.m_arrResponseLines.end(), refused),
                                     log.m_arrResponseLines.end());
    }
    result.responseLines = std::move(log.m_arrResponseLines);
    result.nErrorCount = log.m_nErrorCount;
    return true;
}

}  // namespace tavisk
