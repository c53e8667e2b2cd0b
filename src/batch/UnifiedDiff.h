#pragma once
// Unified diffs of two texts, as `diff -u` prints them: "--- " and "+++ "
// label lines, then hunks with three lines of context.  Lines are compared
// without their ends (LF, CR LF, or none on a last line).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tavisk {

enum class DiffOutcome {
    Same,          // byte for byte
    LineEndsOnly,  // the same lines, ended differently
    Differs,       // a diff was written
};

// Splits `text` into lines without their ends.
std::vector<std::string_view> SplitLines(std::string_view text);

// Compares `before` with `after`; when their lines differ, appends the
// unified diff to `out`.
DiffOutcome AppendUnifiedDiff(std::string_view before, std::string_view after, std::string_view beforeLabel,
                              std::string_view afterLabel, std::string& out);

}  // namespace tavisk
