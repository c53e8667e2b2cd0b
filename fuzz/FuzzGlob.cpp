// A glob and a path from one input (the glob up to the first NUL byte, the
// path after it), matched by the --include/--exclude matcher and by a plain
// reference: the same rules read straight from the pattern by recursion,
// each (pattern, path) position decided once, so it takes time proportional
// to pattern times path.  The two must
// agree, and the matcher must answer within the fuzzer's -timeout however
// the pattern is built (no backtracking blow-up).
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "cli/PathGlob.h"

namespace {

// Inputs longer than this are not matched: the reference's table grows with
// the product of the lengths (the fuzzer is run with a shorter -max_len).
constexpr size_t kMaxLength = 4096;

class ReferenceGlob {
public:
    ReferenceGlob(std::string_view pattern, std::string_view path)
        : m_pattern(pattern),
          m_path(path),
          m_memo((pattern.size() + 1) * (path.size() + 1), kUnknown),
          m_folderMemo(m_memo.size(), kUnknown) {}

    bool Matches() { return Match(0, 0); }

private:
    enum : char { kUnknown, kNo, kYes };

    bool Match(size_t p, size_t s) { return Memo(m_memo, p, s, [&] { return Decide(p, s); }); }

    template <typename Work>
    bool Memo(std::vector<char>& memo, size_t p, size_t s, Work&& work) {
        char& known = memo[p * (m_path.size() + 1) + s];
        if (known == kUnknown) known = work() ? kYes : kNo;
        return known == kYes;
    }

    // "**/" at `p`, having taken some bytes before `s`: it may end after any
    // later "/", where the rest of the pattern goes on.
    bool FoldersFrom(size_t p, size_t s) {
        return Memo(m_folderMemo, p, s, [&] {
            return s < m_path.size() && ((m_path[s] == '/' && Match(p + 3, s + 1)) || FoldersFrom(p, s + 1));
        });
    }

    // One step of the match at pattern offset `p`, path offset `s`; each
    // star either ends here or takes one more byte.
    bool Decide(size_t p, size_t s) {
        if (p == m_pattern.size()) return s == m_path.size();
        const char c = m_pattern[p];
        const bool more = s < m_path.size();
        if (c == '*' && p + 1 < m_pattern.size() && m_pattern[p + 1] == '*') {
            // "**/" at the start or after "/" stands for whole folders, none
            // included: nothing, or anything that ends in "/".
            if ((p == 0 || m_pattern[p - 1] == '/') && p + 2 < m_pattern.size() && m_pattern[p + 2] == '/')
                return Match(p + 3, s) || FoldersFrom(p, s);
            // Elsewhere "**" (and any more "*") is any bytes, "/" included.
            size_t rest = p + 2;
            while (rest < m_pattern.size() && m_pattern[rest] == '*') ++rest;
            return Match(rest, s) || (more && Match(p, s + 1));
        }
        if (c == '*') return Match(p + 1, s) || (more && m_path[s] != '/' && Match(p, s + 1));
        if (!more) return false;
        const unsigned char byte = static_cast<unsigned char>(m_path[s]);
        if (c == '?') return byte != '/' && Match(p + 1, s + 1);
        if (c == '[') {
            size_t length = 0;
            bool inSet = false;
            if (ReadSet(p, byte, length, inSet)) return inSet && byte != '/' && Match(p + length, s + 1);
            return byte == '[' && Match(p + 1, s + 1);  // a "[" without its "]" is an ordinary byte
        }
        if (c == '\\' && p + 1 < m_pattern.size())
            return byte == static_cast<unsigned char>(m_pattern[p + 1]) && Match(p + 2, s + 1);
        return byte == static_cast<unsigned char>(c) && Match(p + 1, s + 1);
    }

    // The "[...]" set at `p`: false when it has no closing "]".
    bool ReadSet(size_t p, unsigned char byte, size_t& length, bool& inSet) const {
        size_t i = p + 1;
        const bool negated = i < m_pattern.size() && (m_pattern[i] == '!' || m_pattern[i] == '^');
        if (negated) ++i;
        const size_t first = i;
        bool found = false;
        for (; i < m_pattern.size() && (m_pattern[i] != ']' || i == first); ++i) {
            unsigned char low = static_cast<unsigned char>(m_pattern[i]);
            if (low == '\\' && i + 1 < m_pattern.size()) low = static_cast<unsigned char>(m_pattern[++i]);
            unsigned char high = low;
            if (i + 2 < m_pattern.size() && m_pattern[i + 1] == '-' && m_pattern[i + 2] != ']') {
                high = static_cast<unsigned char>(m_pattern[i + 2]);
                i += 2;
            }
            found = found || (low <= byte && byte <= high);
        }
        if (i >= m_pattern.size()) return false;
        length = i + 1 - p;
        inSet = found != negated;
        return true;
    }

    std::string_view m_pattern, m_path;
    std::vector<char> m_memo;        // Match(p, s)
    std::vector<char> m_folderMemo;  // FoldersFrom(p, s)
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    if (split == std::string_view::npos || size > kMaxLength) return 0;
    const std::string_view pattern = input.substr(0, split), path = input.substr(split + 1);
    const bool matched = tavisk::cli::PathGlobMatches(pattern, path);
    FUZZ_CHECK(matched == ReferenceGlob(pattern, path).Matches());
    return 0;
}
