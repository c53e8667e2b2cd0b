#pragma once
// Control files: one script line per text line.  Read with other writers
// denied; written as CR LF lines to a new file put in place when complete.
#include <cstddef>
#include <string>
#include <vector>

#include "../engine/FileError.h"

namespace tavisk {

// The parser counts a line's columns in an int: a longer line is refused
// when the file is read, before it is held whole.
inline constexpr size_t kScriptLineLimit = (size_t{1} << 31) - 1;

// Reads `path` into `lines`; on failure `lines` is left empty.
bool LoadScriptLines(const std::string& path, std::vector<std::string>& lines, FileError& error,
                     size_t lineLimit = kScriptLineLimit);

// Writes every line followed by CR LF.  On failure the file keeps what it held.
bool SaveScriptLines(const std::string& path, const std::vector<std::string>& lines, FileError& error);

}  // namespace tavisk
