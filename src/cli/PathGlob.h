#pragma once
// Shell-style patterns over relative paths, as --include and --exclude use them.
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavisk::cli {

// True when `path` matches `pattern`.  "*" and "?" stand for bytes other than
// "/", "[...]" for one of a set ("[!...]" or "[^...]": none of it), "\" keeps
// the next byte literal, and "**" also crosses folders ("**/" may match no
// folder at all, so "**/*.txt" matches "a.txt" too).  Time and memory grow
// with pattern length times path length, never faster, whatever the pattern.
bool PathGlobMatches(std::string_view pattern, std::string_view path);

// A pattern read once and matched against many paths, as rsync, rg and
// .gitignore take it: without "/" it is matched against the last name of a
// path (a file or folder at any depth); with "/" against the whole path
// relative to the folder given (a leading "/" only anchors it there).  A
// trailing "/" matches folders only.
class PathGlob {
public:
    explicit PathGlob(std::string_view pattern);
    // The pattern as PathGlobMatches takes it, matched against whole paths.
    static PathGlob Raw(std::string_view pattern);

    // Whether the file or folder at `relative` ("sub/name") matches.
    bool MatchesEntry(std::string_view relative, bool isFolder) const;
    // Whether `path` matches the pattern as a whole, "/" rules aside.
    bool Matches(std::string_view path) const;

private:
    PathGlob() = default;
    enum class Kind : uint8_t { Byte, AnyByte, Set, Star, DoubleStar, Folders };
    struct Token {
        Kind kind;
        unsigned char byte = 0;
        uint32_t set = 0;  // index into m_sets
    };
    void Compile(std::string_view pattern);
    size_t CompileSet(std::string_view pattern, size_t at);

    std::vector<Token> m_tokens;
    std::vector<std::bitset<256>> m_sets;
    bool m_bWholePath = false;   // the pattern holds a "/": matched against the whole path
    bool m_bFoldersOnly = false;  // it ended in "/"
};

}  // namespace tavisk::cli
