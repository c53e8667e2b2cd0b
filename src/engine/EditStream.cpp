// The edit stream's primitives: reading the next source line, emitting output
// text, and reporting what went wrong.
#include "EditEngine.h"

#include <cerrno>
#include <new>
#include <stdexcept>

namespace tavisk {

EditEngine::EditEngine(ScriptParser& parser, ResponseLog& log) : m_parser(parser), m_log(log) {}

bool EditEngine::ReadSourceLine() {
    if (!m_fileSource.IsOpen()) return false;
    switch (m_fileSource.ReadLine(m_strSourceLine)) {
    case TextFileReader::ReadResult::Line:
        ++m_nLastLineRead;
        return true;
    case TextFileReader::ReadResult::End:
        m_fileSource.Close();
        return false;
    case TextFileReader::ReadResult::Stopped:  // the caller sees the stop flag
        return false;
    case TextFileReader::ReadResult::Error:
    case TextFileReader::ReadResult::TooLong:  // sources have no line limit
        break;
    }
    // A read error counts as the end of the source.  The source is closed so
    // that the error is reported once, not again at every later read.
    ReportFileError(m_fileSource.LastError());
    m_fileSource.Close();
    return false;
}

bool EditEngine::EmitText(std::string_view text, bool endLine) {
    if (!endLine) return AppendPending(text);
    return CompleteLine(text, m_madeLineEnd, false);
}

bool EditEngine::EmitSourceLineEnd(std::string_view text) {
    return CompleteLine(text, OutputLineEnd(m_lineEnds, m_fileSource.LastLineEnd()), true);
}

void EditEngine::ChooseMadeLineEnd() {
    // With kept line ends, a line the script makes takes the end of the
    // file's first line (LF when it has none).
    LineEnd first = LineEnd::Lf;
    if (m_lineEnds == LineEndStyle::Keep) {
        first = m_fileSource.PeekFirstLineEnd();
        if (first == LineEnd::None) first = LineEnd::Lf;
    }
    m_madeLineEnd = OutputLineEnd(m_lineEnds, first);
    m_fileOutput.SetLineEnds(m_lineEnds, m_madeLineEnd);
    m_bDebugLineEndOwed = false;
}

bool EditEngine::CompleteLine(std::string_view text, LineEnd end, bool sourceEnd) {
    if (m_bDebug) {
        // A line that went out without an end gets one once more text follows.
        const std::string_view owed = m_bDebugLineEndOwed ? LineEndBytes(m_madeLineEnd) : std::string_view();
        m_bDebugLineEndOwed = end == LineEnd::None;
        if (!AppendPending(text) || !AppendPending(LineEndBytes(end))) return false;
        if (m_pDebugSink) {
            if (!owed.empty()) m_pDebugSink->AppendText(owed);
            m_pDebugSink->AppendText(m_strOutLine);
        }
        m_strOutLine.clear();
        return true;
    }
    if (!m_fileOutput.IsOpen()) {
        AppendPending(text);
        return false;
    }
    bool written;
    if (m_strOutLine.empty()) {
        written = sourceEnd ? m_fileOutput.WriteSourceLine(text, m_fileSource.LastLineEnd())
                            : m_fileOutput.WriteLine(text);  // nothing pending: no copy needed
    } else {
        if (!AppendPending(text)) return false;
        written = sourceEnd ? m_fileOutput.WriteSourceLine(m_strOutLine, m_fileSource.LastLineEnd())
                            : m_fileOutput.WriteLine(m_strOutLine);
    }
    if (!written) {
        ReportWriteError();
        return false;
    }
    m_strOutLine.clear();
    return true;
}

bool EditEngine::AppendPending(std::string_view text) {
    // A script can make one output line longer than the memory there is (an
    // insert in a loop of four billion passes): that fails this file's
    // output, like a full disk, instead of ending the program.
    try {
        m_strOutLine.append(text);
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    std::string().swap(m_strOutLine);  // the line is lost anyway; give its memory back
    ReportFileError(FileError{m_bDebug ? m_fileSource.Path() : m_fileOutput.Path(), DescribeErrno(ENOMEM)});
    return false;
}

void EditEngine::AddErrorLine(const char* format) {
    m_log.AddErrorLine(FormatMessage(format, m_parser.m_strCommandText));
}

void EditEngine::ReportWriteError() {
    // A write the stop ended, while it waited on a pipe, is the stop, not a file error.
    if (!m_fileOutput.Stopped()) ReportFileError(m_fileOutput.LastError());
}

void EditEngine::ReportFileError(const FileError& error) {
    ++m_nFileErrors;
    if (m_pFileErrorReport) m_pFileErrorReport->ReportFileError(error);
    std::string line(1, '\t');
    line += error.Text();
    m_log.AddErrorLine(std::move(line));
}

void EditEngine::CloseFiles() {
    m_fileSource.Close();
    if (m_fileOutput.IsOpen()) {
        const bool reported = m_fileOutput.Failed();
        FileError error;
        // The last write ended by the stop: the file stopped, no error.
        if (!m_fileOutput.Commit(error) && !reported && !m_fileOutput.Stopped()) ReportFileError(error);
    }
}

void EditEngine::FinishFiles(OutputTarget& later) {
    m_fileSource.Close();
    if (!m_fileOutput.IsOpen()) return;
    const bool reported = m_fileOutput.Failed();
    FileError error;
    if (!m_fileOutput.Finish(later, error) && !reported && !m_fileOutput.Stopped()) ReportFileError(error);
}

void EditEngine::DiscardFiles() {
    m_fileSource.Close();
    m_fileOutput.Discard();
}

}  // namespace tavisk
