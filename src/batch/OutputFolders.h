#pragma once
// The folders below the destination that an output in a subfolder needs.
#include <string>
#include <vector>

#include "../engine/FileError.h"

namespace tavisk {

// For `element` "/sub/dir/name", makes DEST/sub and DEST/sub/dir where they
// are missing.  The destination itself is never made.  False, with the
// folder and the cause in `error`, when one cannot be made.  The folders it
// made are added to `made`, when given, top first.
bool MakeOutputFolders(const std::string& dest, const std::string& element, FileError& error,
                       std::vector<std::string>* made = nullptr);

// The output folders below the destination that `elements` name ("/sub/name"
// lies in "/sub"), each once: where a killed run may have left temporary files.
std::vector<std::string> OutputSubfolders(const std::vector<std::string>& elements);

}  // namespace tavisk
