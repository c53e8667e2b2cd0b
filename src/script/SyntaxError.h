#pragma once
// What the parser hands over when it finds a syntax error, and who it hands it to.
#include <string>

namespace tavisk {

struct SyntaxError {
    std::string m_strMessage;      // one of the parser's messages
    std::string m_strLineNo;       // "%d:" with the 1-based script line number
    std::string m_strCommandLine;  // the whole script line
    std::string m_strProcessed;    // from the command start through the error column
    int m_nLineIndex = 0;          // 0-based index of the script line
    int m_nColumn = 1;             // 1-based column of the last byte processed
};

// Shown to the user (a dialog in the program, standard error in the CLI).
// The call returns once the user has seen it.
class SyntaxErrorReport {
public:
    virtual ~SyntaxErrorReport() = default;
    virtual void ReportSyntaxError(const SyntaxError& error) = 0;
};

}  // namespace tavisk
