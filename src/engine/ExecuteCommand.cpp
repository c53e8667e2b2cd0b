// Applies one parsed command to the edit stream.
#include "EditEngine.h"
#include "FindText.h"
#include "Messages.h"

namespace tavisk {

namespace {

struct Target {
    int64_t line = 0;
    int64_t character = 0;
};

}  // namespace

int EditEngine::ExecuteCommand(const CScriptCommand& cmd) {
    switch (cmd.m_nCommand) {
    case CMD_SKIP:
    case CMD_COPY:
        return MoveToEndpoint(cmd);
    case CMD_REPLACE:
        return Replace(cmd);
    case CMD_NEWLINE:
        return EmitText({}, true) ? EXEC_CONTINUE : EXEC_WRITE_FAILED;
    case CMD_INSERT:
        return EmitText(cmd.m_strText, false) ? EXEC_CONTINUE : EXEC_WRITE_FAILED;
    case CMD_END:
        return FinishFile();
    case CMD_LOOPEND:
    default:
        return EXEC_CONTINUE;
    }
}

int EditEngine::FinishFile() {
    if (!m_strOutLine.empty() && !EmitText({}, true)) return EXEC_WRITE_FAILED;
    return EXEC_FILE_DONE;
}

int EditEngine::MoveToEndpoint(const CScriptCommand& cmd) {
    namespace msg = messages;
    // A numeric endpoint is fixed before any line is read.
    Target number;
    if (cmd.m_nEndKind == END_NUMBER) {
        if (cmd.m_nQualifier == QUAL_ABSOLUTE) {
            number.line = cmd.m_nEndLine < 0 ? m_nCurLine : cmd.m_nEndLine;
            number.character = cmd.m_nEndChar;
            if (number.line == m_nCurLine && number.character < m_nEditPos) {
                AddErrorLine(msg::kCharBeforeEditPos);
                return EXEC_FILE_DONE;
            }
            if (number.line < m_nCurLine) {
                AddErrorLine(msg::kLineBeforeCurrent);
                return EXEC_FILE_DONE;
            }
        } else if (cmd.m_nEndLine > 0) {
            number = {m_nCurLine + cmd.m_nEndLine, cmd.m_nEndChar};
        } else {
            number = {m_nCurLine, m_nEditPos + cmd.m_nEndChar};
        }
    }

    const bool copying = cmd.m_nCommand == CMD_COPY;
    for (;;) {
        if (StopRequested()) return EXEC_STOPPED;
        if (cmd.m_nEndKind == END_FILE && CanStreamWholeLines()) {
            // Every line from here to the end is passed whole: stream them.
            const int result = copying ? CopyRestOfSource() : StreamLines([](std::string_view) { return true; });
            if (result != EXEC_CONTINUE) return result;
        }
        if (m_nLastLineRead < m_nCurLine) {
            if (!ReadSourceLine()) {
                if (StopRequested()) return EXEC_STOPPED;
                if (cmd.m_nEndKind == END_FILE) return EXEC_CONTINUE;
                AddErrorLine(msg::kPastEndOfFileDoing);
                return EXEC_FILE_DONE;
            }
            m_nEditPos = 0;
        }
        const auto lineLength = static_cast<int64_t>(m_strSourceLine.size());

        Target target{m_nCurLine, 0};
        switch (cmd.m_nEndKind) {
        case END_NUMBER:
            target = number;
            break;
        case END_TEXT: {
            const int64_t found = FindText(m_strSourceLine, cmd.m_strEndText, m_nEditPos);
            if (found == kTextNotFound) {
                target.line = m_nCurLine + 1;
            } else if (cmd.m_nQualifier == QUAL_AFTER) {
                target.character = found + static_cast<int64_t>(cmd.m_strEndText.size());
            } else if (cmd.m_nQualifier == QUAL_STARTS) {
                if (found != 0) target.line = m_nCurLine + 1;
            } else if (cmd.m_nQualifier != QUAL_CONTAINS) {
                target.character = found;
            }
            break;
        }
        case END_LINE:
            target.character = lineLength;
            break;
        case END_FILE:
            target.line = m_nCurLine + 1;
            break;
        default:
            break;
        }

        std::string_view piece;
        bool lastIteration = false;
        if (target.line > m_nCurLine) {  // pass the rest of this line
            piece = m_strSourceLine.substr(static_cast<size_t>(m_nEditPos));
            ++m_nCurLine;
            m_nEditPos = 0;
        } else {
            if (target.character > lineLength) {
                AddErrorLine(msg::kPastEndOfLine);
                return EXEC_FILE_DONE;
            }
            if (target.character == 0) return EXEC_CONTINUE;
            const int64_t from = std::min(m_nEditPos, target.character);
            piece = m_strSourceLine.substr(static_cast<size_t>(from), static_cast<size_t>(target.character - from));
            m_nEditPos = target.character;
            lastIteration = true;
        }
        if (copying && !EmitText(piece, m_nEditPos == 0)) return EXEC_WRITE_FAILED;
        if (lastIteration) return EXEC_CONTINUE;
    }
}

int EditEngine::Replace(const CScriptCommand& cmd) {
    namespace msg = messages;
    const bool global = cmd.m_nQualifier == QUAL_GLOBAL;
    int64_t replacements = 0;
    for (;;) {
        if (StopRequested()) return EXEC_STOPPED;
        if (global && CanStreamWholeLines()) {
            // "g" finishes every line it starts, so whole lines go straight out.
            const int result = StreamLines([&](std::string_view line) {
                return WriteReplacedLine(line, cmd.m_strText, cmd.m_strReplace, replacements);
            });
            if (result != EXEC_CONTINUE) return result;
        }
        if (m_nLastLineRead < m_nCurLine) {
            if (!ReadSourceLine()) {
                if (StopRequested()) return EXEC_STOPPED;
                if (global) {
                    // Text inserted before the "g" is still pending: complete it as
                    // the end of the script would, instead of dropping it.
                    if (!m_strOutLine.empty() && !EmitText({}, true)) return EXEC_WRITE_FAILED;
                    m_log.AddLine(FormatMessage(msg::kReplacements, m_parser.m_strCommandText, replacements));
                } else {
                    AddErrorLine(msg::kPastEndOfFilePerforming);
                }
                return EXEC_FILE_DONE;
            }
            m_nEditPos = 0;
        }
        const int64_t found = FindText(m_strSourceLine, cmd.m_strText, m_nEditPos);
        if (found == kTextNotFound) {
            const std::string_view rest = m_strSourceLine.substr(static_cast<size_t>(m_nEditPos));
            ++m_nCurLine;
            m_nEditPos = 0;
            if (!EmitText(rest, true)) return EXEC_WRITE_FAILED;
            continue;
        }
        ++replacements;
        if (!EmitText(m_strSourceLine.substr(static_cast<size_t>(m_nEditPos), static_cast<size_t>(found - m_nEditPos)), false) ||
            !EmitText(cmd.m_strReplace, false))
            return EXEC_WRITE_FAILED;
        m_nEditPos = found + static_cast<int64_t>(cmd.m_strText.size());
        if (!global) return EXEC_CONTINUE;
    }
}

bool EditEngine::WriteReplacedLine(std::string_view line, std::string_view find, std::string_view replace,
                                   int64_t& replacements) {
    int64_t pos = 0;
    for (int64_t found; (found = FindText(line, find, pos)) != kTextNotFound; pos = found + static_cast<int64_t>(find.size())) {
        // A long line can hold millions of matches: look at the stop flag now and then.
        if ((++replacements & 0xFFFF) == 0 && StopRequested()) return false;
        if (!m_fileOutput.WritePiece(line.substr(static_cast<size_t>(pos), static_cast<size_t>(found - pos))) ||
            !m_fileOutput.WritePiece(replace))
            return false;
    }
    return m_fileOutput.WriteLine(line.substr(static_cast<size_t>(pos)));
}

int EditEngine::CopyRestOfSource() {
    int64_t lines = 0;
    const auto result = m_fileSource.CopyRestTo(m_fileOutput, lines);
    return AfterStreamedLines(lines, result == TextFileReader::CopyResult::WriteFailed,
                              result == TextFileReader::CopyResult::Stopped);
}

int EditEngine::AfterStreamedLines(int64_t lines, bool writeFailed, bool stopped) {
    m_nLastLineRead += lines;
    m_nCurLine += lines;
    if (writeFailed) {
        ReportFileError(m_fileOutput.LastError());
        return EXEC_WRITE_FAILED;
    }
    return stopped ? EXEC_STOPPED : EXEC_CONTINUE;  // the caller's next read meets the end, or the read error
}

bool EditEngine::CanStreamWholeLines() const {
    return m_nLastLineRead < m_nCurLine && m_strOutLine.empty() && !m_bDebug && m_fileOutput.IsOpen() &&
           m_fileSource.IsOpen() && !StopRequested();
}

}  // namespace tavisk
