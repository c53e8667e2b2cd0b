#pragma once
// The work of "g" on one whole line, shared by the engine's stream and the
// workers that edit pieces of a file.
#include <atomic>
#include <cstdint>
#include <string_view>

#include "FindText.h"
#include "TextFile.h"

namespace tavisk {

// Writes `line` to `out` with every `find` replaced by `replace`, then the end
// for a source line that ended with `end`; counts the replacements.  False
// when a write fails or, within a line of very many matches, `stop` is raised.
inline bool WriteReplacedLine(TextFileWriter& out, std::string_view line, LineEnd end, std::string_view find,
                              std::string_view replace, int64_t& replacements, const std::atomic<bool>* stop) {
    int64_t pos = 0;
    bool stopped = false;
    for (int64_t found; (found = FindTextWatching(line, find, pos, stop, stopped)) != kTextNotFound;
         pos = found + static_cast<int64_t>(find.size())) {
        // A long line can hold millions of matches: look at the stop flag now and then.
        if ((++replacements & 0xFFFF) == 0 && stop && stop->load(std::memory_order_relaxed)) return false;
        if (!out.WritePiece(line.substr(static_cast<size_t>(pos), static_cast<size_t>(found - pos))) ||
            !out.WritePiece(replace))
            return false;
    }
    if (stopped) return false;
    return out.WriteSourceLine(line.substr(static_cast<size_t>(pos)), end);
}

}  // namespace tavisk
