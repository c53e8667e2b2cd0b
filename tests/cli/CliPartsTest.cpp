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
    };
    for (const GlobCase& c : cases)
        EXPECT_EQ(PathGlobMatches(c.pattern, c.path), c.matches) << c.pattern << " on " << c.path;
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
