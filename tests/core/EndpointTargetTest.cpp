// Where "t" and "p" stop, from the endpoint and the stream position alone.
#include <gtest/gtest.h>

#include <string>

#include "engine/EndpointTarget.h"

namespace tavisk {
namespace {

CScriptCommand Endpoint(EndpointKind kind, QualifierCode qualifier, int32_t line = 0, int32_t character = 0,
                        std::string text = {}) {
    CScriptCommand cmd;
    cmd.m_nCommand = CMD_COPY;
    cmd.m_nEndKind = kind;
    cmd.m_nQualifier = qualifier;
    cmd.m_nEndLine = line;
    cmd.m_nEndChar = character;
    cmd.m_strEndText = std::move(text);
    return cmd;
}

struct NumberCase {
    const char* written;
    QualifierCode qualifier;
    int32_t endLine;  // -1: the number began with "."
    int32_t endChar;
    int64_t curLine;
    int64_t editPos;
    EndpointTarget target;
    NumberEndpointCheck check;
};

TEST(EndpointTarget, NumbersResolveFromThePositionAtTheCommandStart) {
    using enum NumberEndpointCheck;
    const NumberCase cases[] = {
        {"#3", QUAL_ABSOLUTE, 3, 0, 1, 2, {3, 0}, Ahead},
        {"#.4", QUAL_ABSOLUTE, -1, 4, 2, 1, {2, 4}, Ahead},
        {"#2 at character 0", QUAL_ABSOLUTE, 2, 0, 2, 0, {2, 0}, Ahead},
        {"#1.1 behind the edit position", QUAL_ABSOLUTE, 1, 1, 1, 2, {1, 1}, CharBeforeEditPos},
        {"#0 behind the line", QUAL_ABSOLUTE, 0, 0, 2, 0, {0, 0}, LineBeforeCurrent},
        {"#1.9 behind the line", QUAL_ABSOLUTE, 1, 9, 2, 0, {1, 9}, LineBeforeCurrent},
        {"#.0 behind the edit position", QUAL_ABSOLUTE, -1, 0, 2, 3, {2, 0}, CharBeforeEditPos},
        {"3", QUAL_NONE, 3, 0, 5, 7, {8, 0}, Ahead},
        {"2.5 counts from the line start", QUAL_NONE, 2, 5, 1, 4, {3, 5}, Ahead},
        {".3 counts from the edit position", QUAL_NONE, -1, 3, 4, 2, {4, 5}, Ahead},
        {"0", QUAL_NONE, 0, 0, 4, 2, {4, 2}, Ahead},
        {"0.3", QUAL_NONE, 0, 3, 4, 2, {4, 5}, Ahead},
    };
    for (const NumberCase& c : cases) {
        const CScriptCommand cmd = Endpoint(END_NUMBER, c.qualifier, c.endLine, c.endChar);
        const NumberEndpoint number = ResolveNumberEndpoint(cmd, c.curLine, c.editPos);
        EXPECT_EQ(number.target, c.target) << c.written;
        EXPECT_EQ(number.check, c.check) << c.written;
        // On every line the numeric target stays what was resolved.
        EXPECT_EQ(TargetOnLine(cmd, number.target, "any line", c.curLine + 1, 0), c.target) << c.written;
    }
}

struct LineCase {
    const char* written;
    EndpointKind kind;
    QualifierCode qualifier;
    std::string text;
    std::string line;
    int64_t editPos;
    EndpointTarget target;  // the current line is 3; line 4 means "pass this line"
};

TEST(EndpointTarget, TextLineAndFileEndpointsOnTheCurrentLine) {
    const LineCase cases[] = {
        {"/ab/", END_TEXT, QUAL_NONE, "ab", "xabcab", 1, {3, 1}},
        {"/ab/ searched from the edit position", END_TEXT, QUAL_NONE, "ab", "xabcab", 2, {3, 4}},
        {"b/ab/", END_TEXT, QUAL_BEFORE, "ab", "xabcab", 0, {3, 1}},
        {"a/ab/", END_TEXT, QUAL_AFTER, "ab", "xabcab", 0, {3, 3}},
        {"a/ab/ at the line end", END_TEXT, QUAL_AFTER, "ab", "xabcab", 3, {3, 6}},
        {"/zz/ not found", END_TEXT, QUAL_NONE, "zz", "xabcab", 0, {4, 0}},
        {"a/zz/ not found", END_TEXT, QUAL_AFTER, "zz", "xabcab", 0, {4, 0}},
        {"s/xa/ at position 0", END_TEXT, QUAL_STARTS, "xa", "xabcab", 0, {3, 0}},
        {"s/ab/ inside the line", END_TEXT, QUAL_STARTS, "ab", "xabcab", 0, {4, 0}},
        {"s/xa/ past position 0", END_TEXT, QUAL_STARTS, "xa", "xabcab", 1, {4, 0}},
        {"c/ca/", END_TEXT, QUAL_CONTAINS, "ca", "xabcab", 2, {3, 0}},
        {"c/zz/", END_TEXT, QUAL_CONTAINS, "zz", "xabcab", 0, {4, 0}},
        {"l", END_LINE, QUAL_NONE, "", "xabcab", 2, {3, 6}},
        {"l on an empty line", END_LINE, QUAL_NONE, "", "", 0, {3, 0}},
        {"e", END_FILE, QUAL_NONE, "", "xabcab", 2, {4, 0}},
    };
    for (const LineCase& c : cases) {
        const CScriptCommand cmd = Endpoint(c.kind, c.qualifier, 0, 0, c.text);
        EXPECT_EQ(TargetOnLine(cmd, {}, c.line, 3, c.editPos), c.target) << c.written;
    }
}

}  // namespace
}  // namespace tavisk
