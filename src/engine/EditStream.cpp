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
    if (m_bDebug) {
        if (!AppendPending(text) || !AppendPending("\r\n")) return false;
        if (m_pDebugSink) m_pDebugSink->AppendText(m_strOutLine);
        m_strOutLine.clear();
        return true;
    }
    if (!m_fileOutput.IsOpen()) {
        AppendPending(text);
        return false;
    }
    bool written;
    if (m_strOutLine.empty()) {
        written = m_fileOutput.WriteLine(text);  // nothing pending: no copy needed
    } else {
        if (!AppendPending(text)) return false;
        written = m_fileOutput.WriteLine(m_strOutLine);
    }
    if (!written) {
        ReportFileError(m_fileOutput.LastError());
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
        if (!m_fileOutput.Commit(error) && !reported) ReportFileError(error);
    }
}

void EditEngine::DiscardFiles() {
    m_fileSource.Close();
    m_fileOutput.Discard();
}

}  // namespace tavisk
