#include "ScriptParser.h"

#include <algorithm>
#include <limits>

namespace tavisk {

namespace {

constexpr unsigned char kPoundSign = 0xA3;          // Windows-1252 / Latin-1 "£"
constexpr unsigned char kUtf8PoundLead = 0xC2;      // UTF-8 "£" is C2 A3

bool IsDelimiterByte(unsigned char c) {
    switch (c) {
    case '/': case '!': case '$': case kPoundSign: case '?': case ';': case '%': case '~':
        return true;
    default:
        return false;
    }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Numbers beyond 32 bits saturate: a loop count stays finite and an endpoint
// simply lies out of reach.
template <typename T>
T AppendDigit(T value, char digit) {
    const T max = std::numeric_limits<T>::max();
    const T d = static_cast<T>(digit - '0');
    if (value > (max - d) / 10) return max;
    return static_cast<T>(value * 10 + d);
}

}  // namespace

ScriptParser::ScriptParser(const std::vector<std::string>& scriptLines, SyntaxErrorReport* report)
    : m_arrScriptLines(scriptLines), m_pReport(report) {}

void ScriptParser::Reset() {
    m_nScriptLine = 0;
    m_nScriptCol = 0;
    m_nLoopTop = -1;
    m_arrLoopStarts.clear();
    m_arrLoopCounts.clear();
}

int ScriptParser::Fail(std::string_view message, int32_t errorCol) {
    SyntaxError error;
    error.m_strMessage = message;
    error.m_nLineIndex = m_nScriptLine;
    error.m_strLineNo = std::to_string(static_cast<int64_t>(m_nScriptLine) + 1) + ":";
    error.m_strCommandLine = std::string(m_line);
    const size_t start = std::min<size_t>(static_cast<size_t>(m_nCommandStart), m_line.size());
    if (errorCol < 0 || static_cast<size_t>(errorCol) >= m_line.size())
        error.m_strProcessed = std::string(m_line.substr(start));
    else
        error.m_strProcessed = std::string(m_line.substr(start, static_cast<size_t>(errorCol) + 1 - start));
    error.m_nColumn = static_cast<int>(std::max<size_t>(start + error.m_strProcessed.size(), 1));
    m_nScriptCol = errorCol;
    if (m_pReport) m_pReport->ReportSyntaxError(error);
    return PARSE_ERROR;
}

int ScriptParser::FailWithCharacter(char ch, const char* suffix, int32_t errorCol) {
    const std::string message = std::string(1, ch) + suffix;
    return Fail(message, errorCol);
}

size_t ScriptParser::DelimiterLength(int32_t col) const {
    const auto c = static_cast<unsigned char>(m_line[static_cast<size_t>(col)]);
    if (c == kUtf8PoundLead && static_cast<size_t>(col) + 1 < m_line.size() &&
        static_cast<unsigned char>(m_line[static_cast<size_t>(col) + 1]) == kPoundSign)
        return 2;
    return IsDelimiterByte(c) ? 1 : 0;
}

bool ScriptParser::ReadDelimitedText(int32_t openCol, size_t delimLen, int32_t& closeCol,
                                     std::string& text) const {
    const std::string_view delim = m_line.substr(static_cast<size_t>(openCol), delimLen);
    const size_t textStart = static_cast<size_t>(openCol) + delimLen;
    const size_t close = m_line.find(delim, textStart);
    if (close == std::string_view::npos) return false;
    text.assign(m_line.substr(textStart, close - textStart));
    closeCol = static_cast<int32_t>(close + delimLen - 1);
    return true;
}

void ScriptParser::JumpBackToLoopStart() {
    m_nScriptCol = static_cast<int32_t>(m_arrLoopStarts.back());
    m_nCommandStart = m_nScriptCol;
}

void ScriptParser::CloseLoop() {
    m_arrLoopStarts.pop_back();
    m_arrLoopCounts.pop_back();
    --m_nLoopTop;
}

int ScriptParser::OnLoopClose(State& state, CScriptCommand& cmd) {
    const int32_t closeCol = m_nScriptCol;
    if (m_nLoopTop < 0) return Fail("No matching loop start bracket", closeCol);

    const uint32_t remaining = m_arrLoopCounts.back();
    if (remaining >= 2) {
        m_arrLoopCounts.back() = remaining - 1;
        JumpBackToLoopStart();
        return -1;
    }

    uint32_t count = 0;
    int32_t col = closeCol + 1;
    while (static_cast<size_t>(col) < m_line.size() && IsDigit(m_line[static_cast<size_t>(col)]))
        count = AppendDigit(count, m_line[static_cast<size_t>(col++)]);
    m_nScriptCol = col - 1;  // on the last digit, or on the ")" when there is none
    if (count == 0) return Fail("Non Numeric loop count value", m_nScriptCol);
    if (count == 1) return Fail("Loop count value must be 2 or more", m_nScriptCol);

    const bool emptyBody = m_arrLoopStarts.back() + 1 == static_cast<uint32_t>(closeCol);
    if (remaining == 1 || m_bCheckOnly || emptyBody) {
        // An empty body yields nothing on any pass, so its passes are skipped;
        // the command text still starts at its "(" as after a jump back.
        if (emptyBody && remaining == 0 && !m_bCheckOnly) m_nCommandStart = static_cast<int32_t>(m_arrLoopStarts.back());
        CloseLoop();
        cmd.m_nCommand = CMD_LOOPEND;
        state = State::Complete;
        return -1;
    }
    m_arrLoopCounts.back() = count - 1;
    m_nScriptCol = closeCol;
    JumpBackToLoopStart();
    return -1;
}

int ScriptParser::OnCommandChar(char ch, State& state, CScriptCommand& cmd) {
    switch (ToLowerAscii(ch)) {
    case 't': cmd.m_nCommand = CMD_COPY; state = State::Endpoint; return -1;
    case 'p': cmd.m_nCommand = CMD_SKIP; state = State::Endpoint; return -1;
    case 'r': cmd.m_nCommand = CMD_REPLACE; state = State::Replace; return -1;
    case 'g':
        cmd.m_nCommand = CMD_REPLACE;
        cmd.m_nQualifier = QUAL_GLOBAL;
        state = State::Replace;
        return -1;
    case 'l': cmd.m_nCommand = CMD_NEWLINE; state = State::Complete; return -1;
    case 'i': cmd.m_nCommand = CMD_INSERT; state = State::Insert; return -1;
    case 'e': cmd.m_nCommand = CMD_END; state = State::Complete; return -1;
    case '(':
        m_arrLoopStarts.push_back(static_cast<uint32_t>(m_nScriptCol));
        m_arrLoopCounts.push_back(0);
        m_nLoopTop = static_cast<int32_t>(m_arrLoopStarts.size()) - 1;
        return -1;
    case ')':
        return OnLoopClose(state, cmd);
    default:
        return FailWithCharacter(ch, " : Command not recognised", m_nScriptCol);
    }
}

void ScriptParser::ReadNumber(CScriptCommand& cmd) {
    cmd.m_nEndKind = END_NUMBER;
    cmd.m_nEndLine = 0;
    cmd.m_nEndChar = 0;
    int32_t accumulator = -1;  // -1: no digit yet
    bool dotSeen = false;
    for (;;) {
        const char ch = m_line[static_cast<size_t>(m_nScriptCol)];
        if (ch == '.') {
            cmd.m_nEndLine = accumulator;
            accumulator = 0;
            dotSeen = true;
        } else {
            if (accumulator < 0) accumulator = 0;
            accumulator = AppendDigit(accumulator, ch);
        }
        const size_t next = static_cast<size_t>(m_nScriptCol) + 1;
        if (next >= m_line.size() || !(m_line[next] == '.' || IsDigit(m_line[next]))) break;
        ++m_nScriptCol;
    }
    if (dotSeen)
        cmd.m_nEndChar = accumulator;
    else
        cmd.m_nEndLine = accumulator;
}

bool ScriptParser::MayNameAbsoluteLine() const {
    for (const std::string& line : m_arrScriptLines)
        if (line.find('#') != std::string::npos) return true;
    return false;
}

int ScriptParser::OnEndpointChar(char ch, State& state, CScriptCommand& cmd) {
    const int32_t col = m_nScriptCol;
    if (ch == '#') {
        if (cmd.m_nEndKind != END_NONE) return Fail("# must only prefix a line number", col);
        cmd.m_nEndKind = END_NUMBER;
        cmd.m_nQualifier = QUAL_ABSOLUTE;
        return -1;
    }
    if (ch == '.' || IsDigit(ch)) {
        if (cmd.m_nEndKind != END_NONE && cmd.m_nEndKind != END_NUMBER)
            return Fail("Numeric in a text endpoint", col);
        ReadNumber(cmd);
        state = State::Complete;
        return -1;
    }
    // After "#" or a text qualifier no further qualifier letter is accepted.
    if (cmd.m_nQualifier == QUAL_NONE) {
        switch (ToLowerAscii(ch)) {
        case 'a': cmd.m_nEndKind = END_TEXT; cmd.m_nQualifier = QUAL_AFTER; return -1;
        case 'b': cmd.m_nEndKind = END_TEXT; cmd.m_nQualifier = QUAL_BEFORE; return -1;
        case 'c': cmd.m_nEndKind = END_TEXT; cmd.m_nQualifier = QUAL_CONTAINS; return -1;
        case 's': cmd.m_nEndKind = END_TEXT; cmd.m_nQualifier = QUAL_STARTS; return -1;
        case 'e': cmd.m_nEndKind = END_FILE; state = State::Complete; return -1;
        case 'l': cmd.m_nEndKind = END_LINE; state = State::Complete; return -1;
        default: break;
        }
    }
    const size_t delimLen = DelimiterLength(col);
    if (delimLen == 0) return FailWithCharacter(ch, " : Endpoint qualifier not recognised", col);
    const int32_t openEnd = col + static_cast<int32_t>(delimLen) - 1;
    if (cmd.m_nEndKind == END_NUMBER) return Fail("Invalid endpoint mixed numeric and text", openEnd);
    cmd.m_nEndKind = END_TEXT;
    int32_t closeCol = 0;
    if (!ReadDelimitedText(col, delimLen, closeCol, cmd.m_strEndText))
        return Fail("Trailing text delimiter not found", openEnd);
    m_nScriptCol = closeCol;
    if (cmd.m_strEndText.empty()) return Fail("Empty End Point String", closeCol);
    state = State::Complete;
    return -1;
}

int ScriptParser::OnReplaceChar(State& state, CScriptCommand& cmd) {
    const int32_t col = m_nScriptCol;
    const size_t delimLen = DelimiterLength(col);
    if (delimLen == 0) return Fail("Replacement Parameters delimiter not found", col);
    const int32_t openEnd = col + static_cast<int32_t>(delimLen) - 1;
    const std::string_view delim = m_line.substr(static_cast<size_t>(col), delimLen);

    const size_t findStart = static_cast<size_t>(col) + delimLen;
    const size_t findEnd = m_line.find(delim, findStart);
    if (findEnd == std::string_view::npos) return Fail("Replaced Parameter1 terminator not found", openEnd);
    if (findEnd == findStart) return Fail("Empty Find or Replace String", openEnd);

    const size_t replaceStart = findEnd + delimLen;
    const size_t replaceEnd = m_line.find(delim, replaceStart);
    if (replaceEnd == std::string_view::npos)
        return Fail("Replacement Parameter2 terminator not found", openEnd);

    cmd.m_strText.assign(m_line.substr(findStart, findEnd - findStart));
    cmd.m_strReplace.assign(m_line.substr(replaceStart, replaceEnd - replaceStart));
    m_nScriptCol = static_cast<int32_t>(replaceEnd + delimLen - 1);
    state = State::Complete;
    return -1;
}

int ScriptParser::OnInsertChar(State& state, CScriptCommand& cmd) {
    const int32_t col = m_nScriptCol;
    const size_t delimLen = DelimiterLength(col);
    if (delimLen == 0) return Fail("Inserting text delimiter not found", col);
    int32_t closeCol = 0;
    if (!ReadDelimitedText(col, delimLen, closeCol, cmd.m_strText))
        return Fail("Inserting Parameter1 closing terminator not found", col + static_cast<int32_t>(delimLen) - 1);
    m_nScriptCol = closeCol;
    if (cmd.m_strText.empty()) return Fail("Empty Insert String", closeCol);
    state = State::Complete;
    return -1;
}

int ScriptParser::ParseNextCommand(CScriptCommand& cmd) {
    m_nCommandStart = m_nScriptCol;
    cmd.m_nCommand = CMD_NONE;
    cmd.m_nQualifier = QUAL_NONE;
    cmd.m_nEndKind = END_NONE;
    State state = State::Command;

    const auto lineCount = static_cast<int32_t>(m_arrScriptLines.size());
    while (m_nScriptLine < lineCount && m_arrScriptLines[static_cast<size_t>(m_nScriptLine)].starts_with("//"))
        ++m_nScriptLine;
    if (m_nScriptLine >= lineCount) {
        cmd.m_nCommand = CMD_END;
        return PARSE_END;
    }
    m_line = m_arrScriptLines[static_cast<size_t>(m_nScriptLine)];
    const auto lineLength = static_cast<int32_t>(std::min<size_t>(m_line.size(), std::numeric_limits<int32_t>::max()));

    while (m_nScriptCol < lineLength) {
        const char ch = m_line[static_cast<size_t>(m_nScriptCol)];
        if (ch == ' ') return Fail("White Spaces not allowed in script", m_nScriptCol);

        // A ")" after a complete command ends it like a comma but stays for the next call.
        const bool loopEndAsComma = ch == ')' && state == State::Complete;
        if (ch == ',' || loopEndAsComma) {
            if (state != State::Complete) return Fail("Comma found before command complete", m_nScriptCol);
            if (!loopEndAsComma) ++m_nScriptCol;
            if (m_nScriptCol >= lineLength) {
                if (m_nLoopTop >= 0) return Fail("Loop brackets not closed before the end-of-line", lineLength);
                m_strCommandText.assign(m_line.substr(static_cast<size_t>(m_nCommandStart)));
                ++m_nScriptLine;
                m_nScriptCol = 0;
                return PARSE_COMMAND;
            }
            m_strCommandText.assign(m_line.substr(static_cast<size_t>(m_nCommandStart),
                                                  static_cast<size_t>(m_nScriptCol - m_nCommandStart)));
            return PARSE_COMMAND;
        }

        int result = -1;
        switch (state) {
        case State::Command: result = OnCommandChar(ch, state, cmd); break;
        case State::Endpoint: result = OnEndpointChar(ch, state, cmd); break;
        case State::Replace: result = OnReplaceChar(state, cmd); break;
        case State::Insert: result = OnInsertChar(state, cmd); break;
        case State::Complete:
            result = Fail("Extra Character(s) beyond end of command", m_nScriptCol);
            break;
        }
        if (result >= 0) return result;
        ++m_nScriptCol;
    }

    if (m_nLoopTop >= 0) return Fail("Loop brackets not closed before the end-of-line", lineLength);
    if (state != State::Complete) return Fail("Command incomplete at end of line", lineLength);
    m_strCommandText.assign(m_line.substr(static_cast<size_t>(m_nCommandStart)));
    ++m_nScriptLine;
    m_nScriptCol = 0;
    return PARSE_COMMAND;
}

int ScriptParser::CheckWholeScript() {
    Reset();
    m_bCheckOnly = true;
    CScriptCommand scratch;
    int result = PARSE_COMMAND;
    while ((result = ParseNextCommand(scratch)) == PARSE_COMMAND) {
    }
    return result;
}

int CheckScriptSyntax(const std::vector<std::string>& scriptLines, SyntaxErrorReport& report) {
    ScriptParser parser(scriptLines, &report);
    return parser.CheckWholeScript();
}

}  // namespace tavisk
