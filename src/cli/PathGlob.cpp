#include "PathGlob.h"

namespace tavisk::cli {

namespace {

// Matches a "[...]" set at the start of `pattern` against `c`; `length` gets
// the set's length.  A "[" without its "]" is an ordinary byte.
bool MatchSet(std::string_view pattern, unsigned char c, size_t& length, bool& isSet) {
    size_t i = 1;
    const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
    if (negated) ++i;
    const size_t first = i;
    bool found = false;
    for (; i < pattern.size() && (pattern[i] != ']' || i == first); ++i) {
        unsigned char low = static_cast<unsigned char>(pattern[i]);
        if (low == '\\' && i + 1 < pattern.size()) low = static_cast<unsigned char>(pattern[++i]);
        unsigned char high = low;
        if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
            high = static_cast<unsigned char>(pattern[i + 2]);
            i += 2;
        }
        if (low <= c && c <= high) found = true;
    }
    isSet = i < pattern.size();
    length = i + 1;
    return found != negated && c != '/';
}

bool Match(std::string_view pattern, std::string_view path) {
    while (!pattern.empty()) {
        const char p = pattern.front();
        if (p == '*') {
            if (pattern.starts_with("**")) {
                std::string_view rest = pattern.substr(2);
                // "**/" may stand for no folder at all.
                if (rest.starts_with('/') && Match(rest.substr(1), path)) return true;
                for (size_t k = 0; k <= path.size(); ++k)
                    if (Match(rest, path.substr(k))) return true;
                return false;
            }
            const std::string_view rest = pattern.substr(1);
            for (size_t k = 0; k <= path.size(); ++k) {
                if (Match(rest, path.substr(k))) return true;
                if (k < path.size() && path[k] == '/') return false;
            }
            return false;
        }
        if (path.empty()) return false;
        const unsigned char c = static_cast<unsigned char>(path.front());
        size_t used = 1;
        if (p == '?') {
            if (c == '/') return false;
        } else if (p == '[') {
            bool isSet = false;
            const bool inSet = MatchSet(pattern, c, used, isSet);
            if (!isSet) {
                used = 1;
                if (c != '[') return false;
            } else if (!inSet) {
                return false;
            }
        } else if (p == '\\' && pattern.size() > 1) {
            if (c != static_cast<unsigned char>(pattern[1])) return false;
            used = 2;
        } else if (c != static_cast<unsigned char>(p)) {
            return false;
        }
        pattern.remove_prefix(used);
        path.remove_prefix(1);
    }
    return path.empty();
}

}  // namespace

bool PathGlobMatches(std::string_view pattern, std::string_view path) { return Match(pattern, path); }

}  // namespace tavisk::cli
