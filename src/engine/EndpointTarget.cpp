#include "EndpointTarget.h"

#include "FindText.h"

namespace tavisk {

NumberEndpoint ResolveNumberEndpoint(const CScriptCommand& cmd, int64_t curLine, int64_t editPos) {
    NumberEndpoint number;
    EndpointTarget& target = number.target;
    if (cmd.m_nQualifier == QUAL_ABSOLUTE) {
        // "#.K" (a negative line) stays on the current line.
        target = {cmd.m_nEndLine < 0 ? curLine : cmd.m_nEndLine, cmd.m_nEndChar};
        if (target.line == curLine && target.character < editPos)
            number.check = NumberEndpointCheck::CharBeforeEditPos;
        else if (target.line < curLine)
            number.check = NumberEndpointCheck::LineBeforeCurrent;
    } else if (cmd.m_nEndLine > 0) {
        target = {curLine + cmd.m_nEndLine, cmd.m_nEndChar};
    } else {
        // ".K" and "0.K" count from the edit position.
        target = {curLine, editPos + cmd.m_nEndChar};
    }
    return number;
}

EndpointTarget TargetOnLine(const CScriptCommand& cmd, const EndpointTarget& number, std::string_view line,
                            int64_t curLine, int64_t editPos) {
    const EndpointTarget passLine{curLine + 1, 0};
    switch (cmd.m_nEndKind) {
    case END_NUMBER:
        return number;
    case END_TEXT: {
        const int64_t found = FindText(line, cmd.m_strEndText, editPos);
        if (found == kTextNotFound) return passLine;
        switch (cmd.m_nQualifier) {
        case QUAL_AFTER:
            return {curLine, found + static_cast<int64_t>(cmd.m_strEndText.size())};
        case QUAL_STARTS:
            return found == 0 ? EndpointTarget{curLine, 0} : passLine;
        case QUAL_CONTAINS:
            return {curLine, 0};
        case QUAL_NONE:
        case QUAL_BEFORE:
        case QUAL_ABSOLUTE:
        case QUAL_GLOBAL:
            return {curLine, found};
        }
        return {curLine, found};
    }
    case END_LINE:
        return {curLine, static_cast<int64_t>(line.size())};
    case END_FILE:
        return passLine;
    case END_NONE:
        break;
    }
    // A "t" or "p" without an endpoint does not parse; were it to reach here,
    // it would stop where it stands.
    return {curLine, 0};
}

}  // namespace tavisk
