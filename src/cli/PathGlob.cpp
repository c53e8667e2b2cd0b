#include "PathGlob.h"

namespace tavisk::cli {

PathGlob PathGlob::Raw(std::string_view pattern) {
    PathGlob glob;
    glob.Compile(pattern);
    return glob;
}

PathGlob::PathGlob(std::string_view pattern) {
    if (pattern.size() > 1 && pattern.back() == '/') {
        m_bFoldersOnly = true;
        pattern.remove_suffix(1);
    }
    m_bWholePath = pattern.find('/') != std::string_view::npos;
    if (pattern.starts_with('/')) pattern.remove_prefix(1);
    Compile(pattern);
}

// Reads the "[...]" at `at`; the index just past it, or `at` when the "["
// has no "]" and so is an ordinary byte.
size_t PathGlob::CompileSet(std::string_view pattern, size_t at) {
    size_t i = at + 1;
    const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
    if (negated) ++i;
    const size_t first = i;
    std::bitset<256> set;
    for (; i < pattern.size() && (pattern[i] != ']' || i == first); ++i) {
        unsigned char low = static_cast<unsigned char>(pattern[i]);
        if (low == '\\' && i + 1 < pattern.size()) low = static_cast<unsigned char>(pattern[++i]);
        unsigned char high = low;
        if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
            high = static_cast<unsigned char>(pattern[i + 2]);
            i += 2;
        }
        for (unsigned c = low; c <= high; ++c) set.set(c);
    }
    if (i >= pattern.size()) return at;
    if (negated) set.flip();
    set.reset('/');  // a set stays within one name
    m_tokens.push_back({Kind::Set, 0, static_cast<uint32_t>(m_sets.size())});
    m_sets.push_back(set);
    return i + 1;
}

void PathGlob::Compile(std::string_view pattern) {
    for (size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '*' && i + 1 < pattern.size() && pattern[i + 1] == '*') {
            // "**/" at the start or after "/" stands for any number of whole folders, none included.
            const bool folders = (i == 0 || pattern[i - 1] == '/') && i + 2 < pattern.size() && pattern[i + 2] == '/';
            m_tokens.push_back({folders ? Kind::Folders : Kind::DoubleStar});
            i += folders ? 3 : 2;
            while (i < pattern.size() && pattern[i] == '*' && !folders) ++i;  // "***" is "**"
        } else if (c == '*') {
            m_tokens.push_back({Kind::Star});
            ++i;
        } else if (c == '?') {
            m_tokens.push_back({Kind::AnyByte});
            ++i;
        } else if (c == '[') {
            const size_t past = CompileSet(pattern, i);
            if (past == i) m_tokens.push_back({Kind::Byte, '['});  // no "]": an ordinary byte
            i = past == i ? i + 1 : past;
        } else if (c == '\\' && i + 1 < pattern.size()) {
            m_tokens.push_back({Kind::Byte, static_cast<unsigned char>(pattern[i + 1])});
            i += 2;
        } else {
            m_tokens.push_back({Kind::Byte, static_cast<unsigned char>(c)});
            ++i;
        }
    }
}

// Which prefixes of the path the tokens so far can match, token by token:
// reached[j] tells whether the first j bytes are matched.  Each token is one
// pass over the path, so no pattern can make the work grow faster than that.
bool PathGlob::Matches(std::string_view path) const {
    const size_t n = path.size();
    // Kept between calls: a tree walk matches every name it meets.
    thread_local std::vector<char> reached, next;
    reached.assign(n + 1, 0);
    next.assign(n + 1, 0);
    reached[0] = 1;
    const auto byteAt = [&](size_t j) { return static_cast<unsigned char>(path[j]); };
    for (const Token& token : m_tokens) {
        next[0] = token.kind == Kind::Star || token.kind == Kind::DoubleStar || token.kind == Kind::Folders ? reached[0] : 0;
        bool anyBefore = reached[0];  // some prefix up to j-1 was reached
        for (size_t j = 1; j <= n; ++j) {
            const unsigned char c = byteAt(j - 1);
            switch (token.kind) {
            case Kind::Byte: next[j] = reached[j - 1] && c == token.byte; break;
            case Kind::AnyByte: next[j] = reached[j - 1] && c != '/'; break;
            case Kind::Set: next[j] = reached[j - 1] && m_sets[token.set].test(c); break;
            case Kind::Star: next[j] = reached[j] || (next[j - 1] && c != '/'); break;
            case Kind::DoubleStar: next[j] = reached[j] || next[j - 1]; break;
            case Kind::Folders: next[j] = reached[j] || (c == '/' && anyBefore); break;
            }
            anyBefore = anyBefore || reached[j];
        }
        reached.swap(next);
    }
    return reached[n] != 0;
}

bool PathGlob::MatchesEntry(std::string_view relative, bool isFolder) const {
    if (m_bFoldersOnly && !isFolder) return false;
    if (m_bWholePath) return Matches(relative);
    const size_t slash = relative.rfind('/');
    return Matches(slash == std::string_view::npos ? relative : relative.substr(slash + 1));
}

bool PathGlobMatches(std::string_view pattern, std::string_view path) { return PathGlob::Raw(pattern).Matches(path); }

}  // namespace tavisk::cli
