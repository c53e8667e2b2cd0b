#include "ScriptFile.h"

#include <sys/stat.h>

#include "../engine/TextFile.h"

namespace tavisk {

namespace {

// "2 GiB" for the usual limit, else the count of bytes.
std::string LimitText(size_t limit) {
    return limit == kScriptLineLimit ? "2 GiB" : std::to_string(limit) + " bytes";
}

}  // namespace

bool LoadScriptLines(const std::string& path, std::vector<std::string>& lines, FileError& error, size_t lineLimit) {
    lines.clear();
    TextFileReader file;
    if (!file.Open(path, ShareMode::DenyWrite, error)) return false;
    file.SetLineLimit(lineLimit);
    std::string_view line;
    for (;;) {
        switch (file.ReadLine(line)) {
        case TextFileReader::ReadResult::Line:
            lines.emplace_back(line);
            continue;
        case TextFileReader::ReadResult::End:
            return true;
        case TextFileReader::ReadResult::TooLong:
            error = FileError{path, "line " + std::to_string(lines.size() + 1) + " is longer than " + LimitText(lineLimit)};
            lines.clear();
            return false;
        case TextFileReader::ReadResult::Error:
        case TextFileReader::ReadResult::Stopped:  // no stop flag is set here
            error = file.LastError();
            lines.clear();
            return false;
        }
    }
}

bool SaveScriptLines(const std::string& path, const std::vector<std::string>& lines, FileError& error) {
    // A control file saved again keeps its permission bits.
    OutputOptions options;
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) options.permissions = info.st_mode & 0777;
    TextFileWriter file;
    if (!file.Create(path, error, options)) return false;
    for (const std::string& line : lines)
        if (!file.WriteLine(line)) {
            error = file.LastError();
            return false;
        }
    return file.Commit(error);
}

}  // namespace tavisk
