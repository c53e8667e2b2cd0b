#include "ScriptFile.h"

#include "../engine/TextFile.h"

namespace tavisk {

bool LoadScriptLines(const std::string& path, std::vector<std::string>& lines, FileError& error) {
    lines.clear();
    TextFileReader file;
    if (!file.Open(path, ShareMode::DenyWrite, error)) return false;
    std::string_view line;
    for (;;) {
        switch (file.ReadLine(line)) {
        case TextFileReader::ReadResult::Line:
            lines.emplace_back(line);
            continue;
        case TextFileReader::ReadResult::End:
            return true;
        case TextFileReader::ReadResult::Error:
            error = file.LastError();
            lines.clear();
            return false;
        }
    }
}

bool SaveScriptLines(const std::string& path, const std::vector<std::string>& lines, FileError& error) {
    TextFileWriter file;
    if (!file.Create(path, error)) return false;
    for (const std::string& line : lines)
        if (!file.WriteLine(line)) {
            error = file.LastError();
            return false;
        }
    return file.Close(error);
}

}  // namespace tavisk
