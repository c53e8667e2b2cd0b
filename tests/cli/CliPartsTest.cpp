// The CLI's own pieces: path globs and the JSON string escaper.
#include <gtest/gtest.h>

#include "JsonLines.h"
#include "PathGlob.h"

namespace tavisk::cli {
namespace {

struct GlobCase {
    const char* pattern;
    const char* path;
    bool matches;
};

TEST(PathGlob, MatchesRelativePaths) {
    const GlobCase cases[] = {
        {"*.txt", "a.txt", true},          {"*.txt", "sub/a.txt", false},
        {"**/*.txt", "a.txt", true},       {"**/*.txt", "x/y/a.txt", true},
        {"**", "x/y/z", true},             {"sub/**", "sub/a/b", true},
        {"sub/**", "other/a", false},      {"a/**/b", "a/b", true},
        {"a/**/b", "a/x/y/b", true},       {"a**b", "a/x/b", true},
        {"?.md", "c.md", true},            {"?", "/", false},
        {"[ab]*", "b1", true},             {"[!ab]*", "b1", false},
        {"[^a-c]x", "dx", true},           {"[a-c]x", "dx", false},
        {"[]]", "]", true},                {"[x", "[x", true},
        {"\\*", "*", true},                {"\\*", "a", false},
        {"*/b", "a/b", true},              {"*", "", true},
        {"a*c", "abxc", true},             {"a*c", "ab/c", false},
        {"build", "build", true},          {"build", "sub/build", false},
        {"\xff*", "\xff\xfe", true},       {"*.txt", "a.txt.bak", false},
        {"**/b", "a/xb", false},           {"x/**/*.c", "x/y.c", true},
        {"**/", "a/", true},               {"a/**", "ab/c", false},
        {"[a-", "[a-", true},              {"a\\", "a\\", true},
        // Patterns that make a backtracking matcher take exponential time.
        {"*a*a*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
        {"**a**a**a**a**a**a**a**b", "a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a", false},
        {"**/**/**/**/**/**/**/**/x", "a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/y", false},
    };
    for (const GlobCase& c : cases)
        EXPECT_EQ(PathGlobMatches(c.pattern, c.path), c.matches) << c.pattern << " on " << c.path;
}

struct EntryCase {
    const char* pattern;
    const char* relative;
    bool isFolder;
    bool matches;
};

// As rsync, rg and .gitignore take a pattern under a folder.
TEST(PathGlob, MatchesANameAtAnyDepthOrAPathWithASlash) {
    const EntryCase cases[] = {
        {"*.txt", "a.txt", false, true},        {"*.txt", "sub/deep/a.txt", false, true},
        {"build", "x/build", true, true},       {"build", "x/build.c", false, false},
        {"sub/*.txt", "sub/a.txt", false, true}, {"sub/*.txt", "x/sub/a.txt", false, false},
        {"/a.txt", "a.txt", false, true},       {"/a.txt", "sub/a.txt", false, false},
        {"build/", "build", true, true},        {"build/", "build", false, false},
        {"**/deep", "sub/deep", true, true},    {"sub/**/*.md", "sub/deep/c.md", false, true},
        {"?.md", "x/c.md", false, true},        {"[!a]*", "sub/a.txt", false, false},
    };
    for (const EntryCase& c : cases)
        EXPECT_EQ(PathGlob(c.pattern).MatchesEntry(c.relative, c.isFolder), c.matches) << c.pattern << " on " << c.relative;
}

TEST(JsonString, KeepsValidUtf8AndEscapesTheRestByteForByte) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "\"plain\""},
        {"q\"b\\s", "\"q\\\"b\\\\s\""},
        {"\t\r\n\x01\x7f", "\"\\t\\r\\n\\u0001\\u007f\""},
        {std::string("n\0l", 3), "\"n\\u0000l\""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
        {"\xff\xfe", "\"\\udcff\\udcfe\""},
        {"\xa3", "\"\\udca3\""},                        // a lone pound sign of the old code page
        {"\xc0\xaf", "\"\\udcc0\\udcaf\""},             // overlong "/"
        {"\xed\xa0\x80", "\"\\udced\\udca0\\udc80\""},  // an encoded surrogate
        {"\xf4\x90\x80\x80", "\"\\udcf4\\udc90\\udc80\\udc80\""},  // above U+10FFFF
        {"\xe2\x82", "\"\\udce2\\udc82\""},             // cut short
    };
    for (const auto& [bytes, json] : cases) {
        std::string out;
        AppendJsonString(out, bytes);
        EXPECT_EQ(out, json);
    }
}

}  // namespace
}  // namespace tavisk::cli
