#pragma once
// Shell-style patterns over relative paths, as --include and --exclude use them.
#include <string_view>

namespace tavisk::cli {

// True when `path` matches `pattern`.  "*" and "?" stand for bytes other than
// "/", "[...]" for one of a set ("[!...]" or "[^...]": none of it), "\" keeps
// the next byte literal, and "**" also crosses folders ("**/" may match no
// folder at all, so "**/*.txt" matches "a.txt" too).
bool PathGlobMatches(std::string_view pattern, std::string_view path);

}  // namespace tavisk::cli
