// The edit stream's primitives: reading the next source line, emitting output
// text, and reporting what went wrong.
#include "EditEngine.h"

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
    case TextFileReader::ReadResult::Error:
        break;
    }
    // A read error counts as the end of the source.  The source is closed so
    // that the error is reported once, not again at every later read.
    ReportFileError(m_fileSource.LastError());
    m_fileSource.Close();
    return false;
}

bool EditEngine::EmitText(std::string_view text, bool endLine) {
    if (!endLine) {
        m_strOutLine.append(text);
        return true;
    }
    if (m_bDebug) {
        m_strOutLine.append(text);
        m_strOutLine.append("\r\n");
        if (m_pDebugSink) m_pDebugSink->AppendText(m_strOutLine);
        m_strOutLine.clear();
        return true;
    }
    if (!m_fileOutput.IsOpen()) {
        m_strOutLine.append(text);
        return false;
    }
    bool written;
    if (m_strOutLine.empty()) {
        written = m_fileOutput.WriteLine(text);  // nothing pending: no copy needed
    } else {
        m_strOutLine.append(text);
        written = m_fileOutput.WriteLine(m_strOutLine);
    }
    if (!written) {
        ReportFileError(m_fileOutput.LastError());
        return false;
    }
    m_strOutLine.clear();
    return true;
}

void EditEngine::AddErrorLine(const char* format) {
    m_log.AddErrorLine(FormatMessage(format, m_parser.m_strCommandText));
}

void EditEngine::ReportFileError(const FileError& error) {
    if (m_pFileErrorReport) m_pFileErrorReport->ReportFileError(error);
    std::string line(1, '\t');
    line += error.Text();
    m_log.AddErrorLine(std::move(line));
}

void EditEngine::CloseFiles() {
    m_fileSource.Close();
    if (m_fileOutput.IsOpen()) {
        FileError error;
        if (!m_fileOutput.Close(error)) ReportFileError(error);
    }
}

}  // namespace tavisk
