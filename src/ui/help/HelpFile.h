#pragma once
// Where the help file is: named after the program, next to it, or in the
// program's data folder when installed.  Plain string rules, no Qt.
#include <string>
#include <vector>

namespace tavisk::ui {

// The program's path with the extension of its file name replaced by ".rcc"
// ("/usr/bin/tavisk" -> "/usr/bin/tavisk.rcc", "/opt/a.b/x.bin" -> "/opt/a.b/x.rcc").
std::string HelpFileNameFor(const std::string& strProgramPath);

// The places to look for the help file, in order: next to the program, then
// the data folder "../share/tavisk/" beside the program's folder.
std::vector<std::string> HelpFileCandidates(const std::string& strProgramPath);

}  // namespace tavisk::ui
