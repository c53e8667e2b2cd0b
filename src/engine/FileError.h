#pragma once
// A failed file operation as a value: the file and the cause.
#include <string>

namespace tavisk {

struct FileError {
    std::string m_strPath;
    std::string m_strCause;

    // "PATH: cause", the text shown to the user and written to the response lines.
    std::string Text() const { return m_strPath + ": " + m_strCause; }
};

// The cause when another opener holds a file's share-mode lock.
inline constexpr const char* kSharingViolation = "sharing violation";

// The cause text for an errno value.
std::string DescribeErrno(int errorNumber);

// Shows a file error to the user (a message box in the program, standard
// error in the CLI).  Returns once the user has seen it.
class FileErrorReport {
public:
    virtual ~FileErrorReport() = default;
    virtual void ReportFileError(const FileError& error) = 0;
};

}  // namespace tavisk
