#include "PreviewRun.h"

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

class StringCapture final : public OutputCapture {
public:
    explicit StringCapture(std::string& out) : m_out(out) {}
    bool Take(std::string_view bytes) override {
        try {
            m_out.append(bytes);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

private:
    std::string& m_out;
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
        StringCapture capture(result.output);
        engine.m_fileOutput.CreateCaptured(input.sourceName, &capture);
        if (engine.RunScriptOnFile() == FileRun::Stopped) {
            engine.DiscardFiles();
            return false;
        }
        engine.CloseFiles();
    }
    result.responseLines = std::move(log.m_arrResponseLines);
    result.nErrorCount = log.m_nErrorCount;
    return true;
}

}  // namespace tavisk
