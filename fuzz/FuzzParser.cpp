// Any bytes as script lines, through the syntax check and through a run's
// command stream.  Beyond "no crash", every command and every error must obey
// the parser's rules, and the run must stop where the check stopped.
#include <algorithm>

#include "FuzzSupport.h"
#include "script/ScriptParser.h"

namespace {

using namespace tavisk;
using namespace tavisk::fuzz;

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// What must hold after every command the parser hands over.
void CheckCommand(const ScriptParser& parser, const std::vector<std::string>& lines, const CScriptCommand& cmd) {
    FUZZ_CHECK(cmd.m_nCommand >= CMD_SKIP && cmd.m_nCommand <= CMD_END);
    FUZZ_CHECK(parser.m_nLoopTop == static_cast<int32_t>(parser.m_arrLoopStarts.size()) - 1);
    FUZZ_CHECK(parser.m_arrLoopStarts.size() == parser.m_arrLoopCounts.size());
    FUZZ_CHECK(parser.m_nScriptLine >= 0 && parser.m_nScriptLine <= static_cast<int32_t>(lines.size()));
    FUZZ_CHECK(parser.m_nScriptCol >= 0);

    // The command text is the stretch of its line that ends at the cursor.
    const std::string& text = parser.m_strCommandText;
    FUZZ_CHECK(!text.empty());
    if (parser.m_nScriptCol == 0) {
        FUZZ_CHECK(parser.m_nScriptLine >= 1);
        FUZZ_CHECK(parser.m_nLoopTop == -1);  // no loop spans lines
        FUZZ_CHECK(EndsWith(lines[static_cast<size_t>(parser.m_nScriptLine) - 1], text));
    } else {
        const std::string& line = lines[static_cast<size_t>(parser.m_nScriptLine)];
        const auto col = static_cast<size_t>(parser.m_nScriptCol);
        FUZZ_CHECK(col < line.size());
        FUZZ_CHECK(EndsWith(std::string_view(line).substr(0, col), text));
        for (uint32_t start : parser.m_arrLoopStarts) FUZZ_CHECK(start < col && line[start] == '(');
    }

    switch (cmd.m_nCommand) {
    case CMD_SKIP:
    case CMD_COPY:
        FUZZ_CHECK(cmd.m_nEndKind >= END_NUMBER && cmd.m_nEndKind <= END_FILE);
        if (cmd.m_nEndKind == END_NUMBER) {
            FUZZ_CHECK(cmd.m_nQualifier == QUAL_NONE || cmd.m_nQualifier == QUAL_ABSOLUTE);
            FUZZ_CHECK(cmd.m_nEndLine >= -1 && cmd.m_nEndChar >= 0);
        } else if (cmd.m_nEndKind == END_TEXT) {
            FUZZ_CHECK(!cmd.m_strEndText.empty());
            FUZZ_CHECK(cmd.m_nQualifier == QUAL_NONE || (cmd.m_nQualifier >= QUAL_STARTS && cmd.m_nQualifier <= QUAL_CONTAINS));
        } else {
            FUZZ_CHECK(cmd.m_nQualifier == QUAL_NONE);
        }
        break;
    case CMD_REPLACE:
        FUZZ_CHECK(!cmd.m_strText.empty());
        FUZZ_CHECK(cmd.m_nQualifier == QUAL_NONE || cmd.m_nQualifier == QUAL_GLOBAL);
        break;
    case CMD_INSERT:
        FUZZ_CHECK(!cmd.m_strText.empty());
        break;
    default:
        FUZZ_CHECK(cmd.m_nEndKind == END_NONE && cmd.m_nQualifier == QUAL_NONE);
        break;
    }
}

void CheckError(const SyntaxError& error, const std::vector<std::string>& lines) {
    FUZZ_CHECK(!error.m_strMessage.empty());
    FUZZ_CHECK(error.m_nLineIndex >= 0 && static_cast<size_t>(error.m_nLineIndex) < lines.size());
    FUZZ_CHECK(error.m_strLineNo == std::to_string(error.m_nLineIndex + 1) + ":");
    FUZZ_CHECK(error.m_strCommandLine == lines[static_cast<size_t>(error.m_nLineIndex)]);
    FUZZ_CHECK(error.m_strCommandLine.find(error.m_strProcessed) != std::string::npos);
    // An unrecognised character is named first in the message and read last.
    if (EndsWith(error.m_strMessage, " : Command not recognised") ||
        EndsWith(error.m_strMessage, " : Endpoint qualifier not recognised")) {
        FUZZ_CHECK(!error.m_strProcessed.empty() && error.m_strProcessed.back() == error.m_strMessage[0]);
    }
}

// Parses in one mode until the end, an error or the budget; returns the last result.
int ParseStream(const std::vector<std::string>& lines, bool checkOnly, RecordingSyntaxReport& report, uint64_t& commands) {
    ScriptParser parser(lines, &report);
    parser.Reset();
    parser.m_bCheckOnly = checkOnly;
    CScriptCommand cmd;
    commands = 0;
    int result = PARSE_COMMAND;
    while ((result = parser.ParseNextCommand(cmd)) == PARSE_COMMAND) {
        CheckCommand(parser, lines, cmd);
        if (++commands == kParserCommandBudget) return PARSE_COMMAND;
    }
    if (result == PARSE_END) {
        FUZZ_CHECK(cmd.m_nCommand == CMD_END);
        FUZZ_CHECK(parser.m_nLoopTop == -1);
        // The end stays the end.
        FUZZ_CHECK(parser.ParseNextCommand(cmd) == PARSE_END);
    }
    FUZZ_CHECK(result == PARSE_END || result == PARSE_ERROR);
    FUZZ_CHECK(report.errors.size() == (result == PARSE_ERROR ? 1u : 0u));
    if (result == PARSE_ERROR) CheckError(report.errors.front(), lines);
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> lines = SplitLines({reinterpret_cast<const char*>(data), size});

    RecordingSyntaxReport checkReport;
    const int checked = CheckScriptSyntax(lines, checkReport);
    FUZZ_CHECK(checked == PARSE_END || checked == PARSE_ERROR);
    FUZZ_CHECK(checkReport.errors.size() == (checked == PARSE_ERROR ? 1u : 0u));

    RecordingSyntaxReport checkStreamReport;
    uint64_t checkCommands = 0;
    const int checkedStream = ParseStream(lines, true, checkStreamReport, checkCommands);
    // Check mode reads every loop body once, so it always comes to an end.
    FUZZ_CHECK(checkedStream == checked);

    RecordingSyntaxReport runReport;
    uint64_t runCommands = 0;
    const int ran = ParseStream(lines, false, runReport, runCommands);
    if (ran == PARSE_COMMAND) return 0;  // stopped by the budget

    // A run meets the same end as the check: the same error at the same place,
    // or the end of a clean script; and it yields at least the check's commands.
    FUZZ_CHECK(ran == checked);
    FUZZ_CHECK(runCommands >= checkCommands);
    if (ran == PARSE_ERROR) {
        const SyntaxError& a = checkReport.errors.front();
        const SyntaxError& b = runReport.errors.front();
        FUZZ_CHECK(a.m_strMessage == b.m_strMessage);
        FUZZ_CHECK(a.m_nLineIndex == b.m_nLineIndex);
        // Both end at the error; a run may have begun the command later, at
        // the "(" of a loop it jumped back to.
        FUZZ_CHECK(EndsWith(a.m_strProcessed, b.m_strProcessed) || EndsWith(b.m_strProcessed, a.m_strProcessed));
    }
    return 0;
}
