#pragma once
// Control files: one script line per text line.  Read with other writers
// denied; written as CR LF lines, created or truncated, held exclusively.
#include <string>
#include <vector>

#include "../engine/FileError.h"

namespace tavisk {

// Reads `path` into `lines`; on failure `lines` is left empty.
bool LoadScriptLines(const std::string& path, std::vector<std::string>& lines, FileError& error);

// Writes every line followed by CR LF.  Lines written before a failure stay.
bool SaveScriptLines(const std::string& path, const std::vector<std::string>& lines, FileError& error);

}  // namespace tavisk
