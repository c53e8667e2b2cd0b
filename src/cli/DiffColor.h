#pragma once
// Colours for --diff, as git diff colours them.
#include <string>
#include <string_view>

namespace tavisk::cli {

// `text` holds whole lines of one file's diff (or a line that says how two
// files differ).  The "---"/"+++" label lines come out bold, hunk headers
// cyan, removed lines red and added lines green; other lines as they are.
std::string ColorDiff(std::string_view text);

}  // namespace tavisk::cli
