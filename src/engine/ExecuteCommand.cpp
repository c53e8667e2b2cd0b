// Applies one parsed command to the edit stream.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "EditEngine.h"
#include "EndpointTarget.h"
#include "FindText.h"
#include "LineBlocks.h"
#include "Messages.h"
#include "ReplaceInLine.h"

namespace tavisk {

int EditEngine::ExecuteCommand(const CScriptCommand& cmd) {
    // No default: a code added to CommandCode must be handled here (-Wswitch).
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
    case CMD_NONE:
    case CMD_LOOPEND:
        return EXEC_CONTINUE;
    }
    // Only the parser fills the record, always with one of the codes above.
    std::fprintf(stderr, "tavisk: internal error: unknown command code %d\n", static_cast<int>(cmd.m_nCommand));
    std::abort();
}

int EditEngine::FinishFile() {
    if (!m_strOutLine.empty() && !EmitText({}, true)) return EXEC_WRITE_FAILED;
    return EXEC_FILE_DONE;
}

int EditEngine::MoveToEndpoint(const CScriptCommand& cmd) {
    namespace msg = messages;
    NumberEndpoint number;
    if (cmd.m_nEndKind == END_NUMBER) {
        number = ResolveNumberEndpoint(cmd, m_nCurLine, m_nEditPos);
        switch (number.check) {
        case NumberEndpointCheck::Ahead:
            break;
        case NumberEndpointCheck::CharBeforeEditPos:
            AddErrorLine(msg::kCharBeforeEditPos);
            return EXEC_FILE_DONE;
        case NumberEndpointCheck::LineBeforeCurrent:
            AddErrorLine(msg::kLineBeforeCurrent);
            return EXEC_FILE_DONE;
        }
    }

    const bool copying = cmd.m_nCommand == CMD_COPY;
    for (;;) {
        if (StopRequested()) return EXEC_STOPPED;
        if (cmd.m_nEndKind == END_FILE && CanStreamWholeLines()) {
            // Every line from here to the end is passed whole: stream them.
            int64_t noReplacements = 0;
            int result = copying ? CopyBytesByKernel() : EXEC_CONTINUE;
            if (result == EXEC_CONTINUE)
                result = StreamInPieces(copying ? PieceWork::Copy : PieceWork::Skip, {}, {}, noReplacements);
            if (result == EXEC_CONTINUE)
                result = copying ? CopyRestOfSource() : StreamLines([](std::string_view) { return true; });
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
        const EndpointTarget target = TargetOnLine(cmd, number.target, m_strSourceLine, m_nCurLine, m_nEditPos);

        std::string_view piece;
        bool lastIteration = false;
        if (target.line > m_nCurLine) {  // pass the rest of this line
            piece = m_strSourceLine.substr(static_cast<size_t>(m_nEditPos));
            ++m_nCurLine;
            m_nEditPos = 0;
        } else {
            const auto lineLength = static_cast<int64_t>(m_strSourceLine.size());
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
        // Passing the end of a source line completes the output line with that line's end.
        if (copying && !(m_nEditPos == 0 ? EmitSourceLineEnd(piece) : EmitText(piece, false)))
            return EXEC_WRITE_FAILED;
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
            int result = StreamInPieces(PieceWork::Replace, cmd.m_strText, cmd.m_strReplace, replacements);
            if (result == EXEC_CONTINUE && FindsWithinLines(cmd.m_strText)) {
                result = ReplaceInBlocks(cmd, replacements);
            } else if (result == EXEC_CONTINUE) {
                result = StreamLines([&](std::string_view line) {
                    return WriteReplacedLine(m_fileOutput, line, m_fileSource.LastLineEnd(), cmd.m_strText,
                                             cmd.m_strReplace, replacements, m_pStopRequested);
                });
            }
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
                    m_nReplacements += replacements;
                } else {
                    AddErrorLine(msg::kPastEndOfFilePerforming);
                }
                return EXEC_FILE_DONE;
            }
            m_nEditPos = 0;
        }
        bool stopped = false;
        const int64_t found = FindTextWatching(m_strSourceLine, cmd.m_strText, m_nEditPos, m_pStopRequested, stopped);
        if (stopped) return EXEC_STOPPED;
        if (found == kTextNotFound) {
            const std::string_view rest = m_strSourceLine.substr(static_cast<size_t>(m_nEditPos));
            ++m_nCurLine;
            m_nEditPos = 0;
            if (!EmitSourceLineEnd(rest)) return EXEC_WRITE_FAILED;
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

int EditEngine::ReplaceInBlocks(const CScriptCommand& cmd, int64_t& replacements) {
    int64_t lines = 0;
    const auto result = m_fileSource.ForEachLineBlock([&](std::string_view block) {
        return ReplaceInBlock(m_fileOutput, block, m_lineEnds, cmd.m_strText, cmd.m_strReplace, lines, replacements,
                              m_pStopRequested);
    });
    // The block action ends the stream early on a write error, or on a stop.
    const bool actionEnded = result == TextFileReader::ReadResult::Line;
    return AfterStreamedLines(lines, actionEnded && m_fileOutput.Failed(),
                              result == TextFileReader::ReadResult::Stopped || (actionEnded && !m_fileOutput.Failed()));
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
        ReportWriteError();
        return EXEC_WRITE_FAILED;
    }
    return stopped ? EXEC_STOPPED : EXEC_CONTINUE;  // the caller's next read meets the end, or the read error
}

bool EditEngine::CanStreamWholeLines() const {
    return m_nLastLineRead < m_nCurLine && m_strOutLine.empty() && !m_bDebug && m_fileOutput.IsOpen() &&
           m_fileSource.IsOpen() && !StopRequested();
}

}  // namespace tavisk
