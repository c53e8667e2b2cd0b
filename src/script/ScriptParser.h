#pragma once
// Reads a script one command at a time.  Loops are expanded by moving the
// cursor back to the loop's "(", so callers never see a loop except for one
// CMD_LOOPEND after its last pass.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ScriptCommand.h"
#include "SyntaxError.h"

namespace tavisk {

class ScriptParser {
public:
    // Neither the lines nor the report are owned; both must outlive the parser.
    explicit ScriptParser(const std::vector<std::string>& scriptLines, SyntaxErrorReport* report = nullptr);

    void SetReport(SyntaxErrorReport* report) { m_pReport = report; }

    // Puts the cursor at the top of the script with no loop open.
    void Reset();

    // Reads the next command into `cmd`; returns a ParseResult.
    int ParseNextCommand(CScriptCommand& cmd);

    // Parses the whole script from the top in check mode (loops read once);
    // PARSE_END when it is clean, PARSE_ERROR after a reported error.
    int CheckWholeScript();

    // Whether a command might name an absolute line ("#"), the one thing
    // that looks at how many lines a file has had so far; a "#" within a
    // text counts too.
    bool MayNameAbsoluteLine() const;

    // Cursor and loop stack (kept between calls).
    int32_t m_nScriptLine = 0;
    int32_t m_nScriptCol = 0;
    int32_t m_nLoopTop = -1;
    std::vector<uint32_t> m_arrLoopStarts;
    std::vector<uint32_t> m_arrLoopCounts;
    bool m_bCheckOnly = false;
    std::string m_strCommandText;

private:
    enum class State { Command, Endpoint, Replace, Insert, Complete };

    // The message may hold any byte, a NUL included (it can name the offending character).
    int Fail(std::string_view message, int32_t errorCol);
    int FailWithCharacter(char ch, const char* suffix, int32_t errorCol);
    size_t DelimiterLength(int32_t col) const;
    bool ReadDelimitedText(int32_t openCol, size_t delimLen, int32_t& closeCol, std::string& text) const;
    bool IsCurrentLineFinished() const;
    int FinishCommandAt(int32_t endCol);

    // Per-call actions; each returns -1 to go on, or a parse result.
    int OnCommandChar(char ch, State& state, CScriptCommand& cmd);
    int OnEndpointChar(char ch, State& state, CScriptCommand& cmd);
    int OnReplaceChar(State& state, CScriptCommand& cmd);
    int OnInsertChar(State& state, CScriptCommand& cmd);
    int OnLoopClose(State& state, CScriptCommand& cmd);
    void ReadNumber(CScriptCommand& cmd);
    void JumpBackToLoopStart();
    void CloseLoop();

    const std::vector<std::string>& m_arrScriptLines;
    SyntaxErrorReport* m_pReport;
    std::string_view m_line;     // the current script line during a call
    int32_t m_nCommandStart = 0; // where the current command began
};

// Runs the parser over the whole script in check mode; returns the last result
// (PARSE_END when the script is clean, PARSE_ERROR after a reported error).
int CheckScriptSyntax(const std::vector<std::string>& scriptLines, SyntaxErrorReport& report);

}  // namespace tavisk
