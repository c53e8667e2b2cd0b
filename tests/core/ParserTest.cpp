// The script parser: commands and their texts, loops in run and check mode,
// endpoint records, and every syntax error with its portion processed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingFakes.h"
#include "script/ScriptParser.h"
#include "TestNames.h"

namespace tavisk {
namespace {

using RecordingReport = test::RecordingSyntaxReport;

struct Parsed {
    std::vector<int> codes;
    std::vector<std::string> texts;
    int lastResult = PARSE_COMMAND;
    std::vector<SyntaxError> errors;
};

Parsed ParseAll(const std::vector<std::string>& lines, bool checkOnly, size_t limit = 1000) {
    RecordingReport report;
    ScriptParser parser(lines, &report);
    parser.Reset();
    parser.m_bCheckOnly = checkOnly;
    Parsed parsed;
    CScriptCommand cmd;
    while (parsed.codes.size() < limit) {
        parsed.lastResult = parser.ParseNextCommand(cmd);
        if (parsed.lastResult != PARSE_COMMAND) break;
        parsed.codes.push_back(cmd.m_nCommand);
        parsed.texts.push_back(parser.m_strCommandText);
    }
    parsed.errors = report.errors;
    return parsed;
}

CScriptCommand ParseOne(const std::string& line) {
    std::vector<std::string> lines{line};
    RecordingReport report;
    ScriptParser parser(lines, &report);
    CScriptCommand cmd;
    EXPECT_EQ(parser.ParseNextCommand(cmd), PARSE_COMMAND) << line;
    EXPECT_TRUE(report.errors.empty()) << line;
    return cmd;
}

// ---------------------------------------------------------------- syntax errors

struct ErrorCase {
    std::vector<std::string> lines;
    std::string message;
    std::string processed;
    std::string lineNo = "1:";
};

class SyntaxErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(SyntaxErrors, ReportedOnceWithMessageLineAndPortion) {
    const ErrorCase& c = GetParam();
    for (bool checkOnly : {true, false}) {
        const Parsed parsed = ParseAll(c.lines, checkOnly);
        ASSERT_EQ(parsed.lastResult, PARSE_ERROR) << c.lines.back();
        ASSERT_EQ(parsed.errors.size(), 1u);
        const SyntaxError& e = parsed.errors[0];
        EXPECT_EQ(e.m_strMessage, c.message);
        EXPECT_EQ(e.m_strProcessed, c.processed);
        EXPECT_EQ(e.m_strLineNo, c.lineNo);
        EXPECT_EQ(e.m_strCommandLine, c.lines[static_cast<size_t>(e.m_nLineIndex)]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryMessage, SyntaxErrors,
    testing::Values(
        ErrorCase{{"t5 ,l"}, "White Spaces not allowed in script", "t5 "},
        ErrorCase{{" l"}, "White Spaces not allowed in script", " "},
        ErrorCase{{"r/a/b/ "}, "White Spaces not allowed in script", "r/a/b/ "},
        ErrorCase{{"l,,l"}, "Comma found before command complete", ","},
        ErrorCase{{",l"}, "Comma found before command complete", ","},
        ErrorCase{{"t,"}, "Comma found before command complete", "t,"},
        ErrorCase{{"(,l)2"}, "Comma found before command complete", "(,"},
        ErrorCase{{"t#,"}, "Comma found before command complete", "t#,"},
        ErrorCase{{"ta,"}, "Comma found before command complete", "ta,"},
        ErrorCase{{"x"}, "x : Command not recognised", "x"},
        ErrorCase{{"\tl"}, "\t : Command not recognised", "\t"},
        ErrorCase{{"/"}, "/ : Command not recognised", "/"},
        ErrorCase{{"l,q"}, "q : Command not recognised", "q"},
        ErrorCase{{"l)"}, "No matching loop start bracket", ")"},
        ErrorCase{{"(l)"}, "Non Numeric loop count value", ")"},
        ErrorCase{{"(l)0"}, "Non Numeric loop count value", ")0"},
        ErrorCase{{"(l)000"}, "Non Numeric loop count value", ")000"},
        ErrorCase{{"(l)x"}, "Non Numeric loop count value", ")"},
        ErrorCase{{"(l)1"}, "Loop count value must be 2 or more", ")1"},
        ErrorCase{{"(l)01"}, "Loop count value must be 2 or more", ")01"},
        ErrorCase{{"t##5"}, "# must only prefix a line number", "t##"},
        ErrorCase{{"ta#"}, "# must only prefix a line number", "ta#"},
        ErrorCase{{"ta5"}, "Numeric in a text endpoint", "ta5"},
        ErrorCase{{"ps."}, "Numeric in a text endpoint", "ps."},
        ErrorCase{{"tax/y/"}, "x : Endpoint qualifier not recognised", "tax"},
        ErrorCase{{"t#a"}, "a : Endpoint qualifier not recognised", "t#a"},
        ErrorCase{{"tq"}, "q : Endpoint qualifier not recognised", "tq"},
        ErrorCase{{"t)"}, ") : Endpoint qualifier not recognised", "t)"},
        ErrorCase{{"t#/x/"}, "Invalid endpoint mixed numeric and text", "t#/"},
        ErrorCase{{"t/ab"}, "Trailing text delimiter not found", "t/"},
        ErrorCase{{"t//"}, "Empty End Point String", "t//"},
        ErrorCase{{"rx"}, "Replacement Parameters delimiter not found", "rx"},
        ErrorCase{{"g)"}, "Replacement Parameters delimiter not found", "g)"},
        ErrorCase{{"r/abc"}, "Replaced Parameter1 terminator not found", "r/"},
        ErrorCase{{"r//b/"}, "Empty Find or Replace String", "r/"},
        ErrorCase{{"r/a/b"}, "Replacement Parameter2 terminator not found", "r/"},
        ErrorCase{{"ix"}, "Inserting text delimiter not found", "ix"},
        ErrorCase{{"i/abc"}, "Inserting Parameter1 closing terminator not found", "i/"},
        ErrorCase{{"i//"}, "Empty Insert String", "i//"},
        ErrorCase{{"l//comment"}, "Extra Character(s) beyond end of command", "l/"},
        ErrorCase{{"l("}, "Extra Character(s) beyond end of command", "l("},
        ErrorCase{{"(l)2x"}, "Extra Character(s) beyond end of command", ")2x"},
        ErrorCase{{"(l"}, "Loop brackets not closed before the end-of-line", "(l"},
        ErrorCase{{"(l,", "l"}, "Loop brackets not closed before the end-of-line", "(l,"},
        ErrorCase{{"l,("}, "Loop brackets not closed before the end-of-line", "("},
        ErrorCase{{""}, "Command incomplete at end of line", ""},
        ErrorCase{{"// note", ""}, "Command incomplete at end of line", "", "2:"},
        ErrorCase{{"// note", "l", "t"}, "Command incomplete at end of line", "t", "3:"},
        ErrorCase{{"ta"}, "Command incomplete at end of line", "ta"},
        ErrorCase{{"g"}, "Command incomplete at end of line", "g"},
        ErrorCase{{"l&,x"}, "Extra Character(s) beyond end of command", "l&"}),
    test::NameRowsBy<ErrorCase>([](const ErrorCase& c) { return c.message + " " + c.lines.back(); }));

TEST(SyntaxErrors, ExtraCharacterAfterLoopIsSeenInARunOnlyAfterTheLastPass) {
    const Parsed run = ParseAll({"(l)2x"}, false);
    EXPECT_EQ(run.codes, (std::vector<int>{CMD_NEWLINE, CMD_NEWLINE}));
    ASSERT_EQ(run.lastResult, PARSE_ERROR);
    const Parsed check = ParseAll({"(l)2x"}, true);
    EXPECT_EQ(check.codes, (std::vector<int>{CMD_NEWLINE}));
}

TEST(SyntaxErrors, ParserDoesNotRecoverAfterAnError) {
    std::vector<std::string> lines{"x", "l"};
    RecordingReport report;
    ScriptParser parser(lines, &report);
    CScriptCommand cmd;
    EXPECT_EQ(parser.ParseNextCommand(cmd), PARSE_ERROR);
    EXPECT_EQ(parser.m_nScriptLine, 0);
    EXPECT_EQ(report.errors.size(), 1u);
}

// ---------------------------------------------------------------- commands and loops

struct SequenceCase {
    std::vector<std::string> lines;
    bool checkOnly;
    std::vector<int> codes;
    std::vector<std::string> texts;  // empty: not compared
};

class CommandSequences : public testing::TestWithParam<SequenceCase> {};

TEST_P(CommandSequences, YieldTheCommandsAndTextsInOrder) {
    const SequenceCase& c = GetParam();
    const Parsed parsed = ParseAll(c.lines, c.checkOnly);
    EXPECT_EQ(parsed.lastResult, PARSE_END);
    EXPECT_TRUE(parsed.errors.empty());
    EXPECT_EQ(parsed.codes, c.codes);
    if (!c.texts.empty()) {
        EXPECT_EQ(parsed.texts, c.texts);
    }
}

constexpr int T = CMD_COPY, P = CMD_SKIP, R = CMD_REPLACE, L = CMD_NEWLINE, I = CMD_INSERT, LE = CMD_LOOPEND,
              E = CMD_END;

INSTANTIATE_TEST_SUITE_P(
    RunAndCheck, CommandSequences,
    testing::Values(
        SequenceCase{{"// only a comment", "//"}, false, {}, {}},
        SequenceCase{{"t5,l"}, false, {T, L}, {"t5,", "l"}},
        SequenceCase{{"T5,L,"}, false, {T, L}, {"T5,", "L,"}},
        SequenceCase{{"T5,L,", "e"}, false, {T, L, E}, {"T5,", "L,", "e"}},
        SequenceCase{{"(t5,l)3"}, false, {T, L, T, L, T, L, LE}, {"(t5,", "l", "(t5,", "l", "(t5,", "l", ")3"}},
        SequenceCase{{"(t5,l)3"}, true, {T, L, LE}, {"(t5,", "l", ")3"}},
        SequenceCase{{"(l)3"}, false, {L, L, L, LE}, {"(l", "(l", "(l", ")3"}},
        SequenceCase{{"(l)3"}, true, {L, LE}, {"(l", ")3"}},
        SequenceCase{{"(l,)3"}, false, {L, L, L, LE}, {"(l,", "(l,", "(l,", ")3"}},
        SequenceCase{{"((l)2)3"}, false, {L, L, LE, L, L, LE, L, L, LE, LE}, {}},
        SequenceCase{{"((l)2)3"}, true, {L, LE, LE}, {"((l", ")2", ")3"}},
        SequenceCase{{"()2"}, false, {LE}, {"()2"}},
        SequenceCase{{"()2"}, true, {LE}, {"()2"}},
        SequenceCase{{"(()2)2"}, false, {LE, LE, LE}, {"()2", "()2", ")2"}},
        SequenceCase{{"e,l"}, true, {E, L}, {"e,", "l"}},
        SequenceCase{{"i/x/,(p1,t1)2,r/a/b/,g!a!!"}, false, {I, P, T, P, T, LE, R, R}, {}},
        SequenceCase{{"t/a b/,t/x,y)z/"}, false, {T, T}, {"t/a b/,", "t/x,y)z/"}},
        // A count beyond 32 bits saturates; in check mode the loop is still read once.
        SequenceCase{{"(l)99999999999999999999"}, true, {L, LE}, {}},
        // An empty body yields nothing on any pass, however large the count.
        SequenceCase{{"()4294967295"}, false, {LE}, {"()4294967295"}},
        SequenceCase{{"l,()99999999999,l"}, false, {L, LE, L}, {"l,", "()99999999999,", "l"}}),
    test::NameRowsBy<SequenceCase>([](const SequenceCase& c) { return c.lines.empty() ? std::string("NoLines") : c.lines.front(); }));

TEST(Loops, CountIsReadAgainAtTheLastPassAndTheStackEmptiesAtTheEndOfTheLine) {
    std::vector<std::string> lines{"(l)4", "l"};
    ScriptParser parser(lines);
    CScriptCommand cmd;
    ASSERT_EQ(parser.ParseNextCommand(cmd), PARSE_COMMAND);
    EXPECT_EQ(parser.m_nLoopTop, 0);
    ASSERT_EQ(parser.ParseNextCommand(cmd), PARSE_COMMAND);  // second pass: 3 still to run
    ASSERT_EQ(parser.m_arrLoopCounts.size(), 1u);
    EXPECT_EQ(parser.m_arrLoopCounts[0], 3u);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(parser.ParseNextCommand(cmd), PARSE_COMMAND);
    EXPECT_EQ(cmd.m_nCommand, CMD_LOOPEND);
    EXPECT_EQ(parser.m_nLoopTop, -1);
    EXPECT_TRUE(parser.m_arrLoopStarts.empty());
    EXPECT_EQ(parser.m_nScriptLine, 1);
    EXPECT_EQ(parser.m_nScriptCol, 0);
}

TEST(Loops, HugeCountSaturatesAndStillCountsDown) {
    std::vector<std::string> lines{"(l)99999999999"};
    ScriptParser parser(lines);
    CScriptCommand cmd;
    ASSERT_EQ(parser.ParseNextCommand(cmd), PARSE_COMMAND);
    ASSERT_EQ(parser.ParseNextCommand(cmd), PARSE_COMMAND);
    EXPECT_EQ(parser.m_arrLoopCounts[0], 4294967294u);
}

TEST(Loops, DeepNestingHasNoLimit) {
    const std::string line = std::string(5000, '(') + "l" + [] {
        std::string closes;
        for (int i = 0; i < 5000; ++i) closes += ")2";
        return closes;
    }();
    const Parsed check = ParseAll({line}, true, 10000);
    EXPECT_EQ(check.lastResult, PARSE_END);
    EXPECT_EQ(check.codes.size(), 5001u);
}

TEST(EndOfScript, EveryCallAfterTheLastLineReturnsEnd) {
    std::vector<std::string> lines{"l"};
    ScriptParser parser(lines);
    CScriptCommand cmd;
    ASSERT_EQ(parser.ParseNextCommand(cmd), PARSE_COMMAND);
    parser.m_strCommandText = "kept";
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(parser.ParseNextCommand(cmd), PARSE_END);
        EXPECT_EQ(cmd.m_nCommand, CMD_END);
    }
    EXPECT_EQ(parser.m_strCommandText, "kept");
}

// ---------------------------------------------------------------- command records

struct RecordCase {
    std::string line;
    int command, qualifier, endKind, endLine, endChar;
    std::string endText;
};

class CommandRecords : public testing::TestWithParam<RecordCase> {};

TEST_P(CommandRecords, HoldTheEndpoint) {
    const RecordCase& c = GetParam();
    const CScriptCommand cmd = ParseOne(c.line);
    EXPECT_EQ(cmd.m_nCommand, c.command) << c.line;
    EXPECT_EQ(cmd.m_nQualifier, c.qualifier) << c.line;
    EXPECT_EQ(cmd.m_nEndKind, c.endKind) << c.line;
    if (c.endKind == END_NUMBER) {
        EXPECT_EQ(cmd.m_nEndLine, c.endLine) << c.line;
        EXPECT_EQ(cmd.m_nEndChar, c.endChar) << c.line;
    }
    if (c.endKind == END_TEXT) {
        EXPECT_EQ(cmd.m_strEndText, c.endText) << c.line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Endpoints, CommandRecords,
    testing::Values(RecordCase{"t#12.5", CMD_COPY, QUAL_ABSOLUTE, END_NUMBER, 12, 5, ""},
                    RecordCase{"t.5", CMD_COPY, QUAL_NONE, END_NUMBER, -1, 5, ""},
                    RecordCase{"t12", CMD_COPY, QUAL_NONE, END_NUMBER, 12, 0, ""},
                    RecordCase{"t12.", CMD_COPY, QUAL_NONE, END_NUMBER, 12, 0, ""},
                    RecordCase{"t.", CMD_COPY, QUAL_NONE, END_NUMBER, -1, 0, ""},
                    RecordCase{"t1.2.3", CMD_COPY, QUAL_NONE, END_NUMBER, 2, 3, ""},
                    RecordCase{"t007", CMD_COPY, QUAL_NONE, END_NUMBER, 7, 0, ""},
                    RecordCase{"p#.3", CMD_SKIP, QUAL_ABSOLUTE, END_NUMBER, -1, 3, ""},
                    RecordCase{"t99999999999", CMD_COPY, QUAL_NONE, END_NUMBER, 2147483647, 0, ""},
                    RecordCase{"t1.99999999999", CMD_COPY, QUAL_NONE, END_NUMBER, 1, 2147483647, ""},
                    RecordCase{"T/x/", CMD_COPY, QUAL_NONE, END_TEXT, 0, 0, "x"},
                    RecordCase{"tA/x/", CMD_COPY, QUAL_AFTER, END_TEXT, 0, 0, "x"},
                    RecordCase{"ta/x/", CMD_COPY, QUAL_AFTER, END_TEXT, 0, 0, "x"},
                    RecordCase{"pb!y!", CMD_SKIP, QUAL_BEFORE, END_TEXT, 0, 0, "y"},
                    RecordCase{"tc$a b$", CMD_COPY, QUAL_CONTAINS, END_TEXT, 0, 0, "a b"},
                    RecordCase{"tS?/?", CMD_COPY, QUAL_STARTS, END_TEXT, 0, 0, "/"},
                    RecordCase{"t;x;", CMD_COPY, QUAL_NONE, END_TEXT, 0, 0, "x"},
                    RecordCase{"t%x%", CMD_COPY, QUAL_NONE, END_TEXT, 0, 0, "x"},
                    RecordCase{"t~x~", CMD_COPY, QUAL_NONE, END_TEXT, 0, 0, "x"},
                    RecordCase{"t\xA3x\xA3", CMD_COPY, QUAL_NONE, END_TEXT, 0, 0, "x"},
                    RecordCase{"t\xC2\xA3x\xC2\xA3", CMD_COPY, QUAL_NONE, END_TEXT, 0, 0, "x"},
                    RecordCase{"te", CMD_COPY, QUAL_NONE, END_FILE, 0, 0, ""},
                    RecordCase{"PE", CMD_SKIP, QUAL_NONE, END_FILE, 0, 0, ""},
                    RecordCase{"tL", CMD_COPY, QUAL_NONE, END_LINE, 0, 0, ""},
                    RecordCase{"L", CMD_NEWLINE, QUAL_NONE, END_NONE, 0, 0, ""},
                    RecordCase{"E", CMD_END, QUAL_NONE, END_NONE, 0, 0, ""}),
    test::NameRowsBy<RecordCase>([](const RecordCase& c) { return c.line; }));

TEST(CommandRecords, ReplaceAndInsertTexts) {
    CScriptCommand r = ParseOne("r/a//");
    EXPECT_EQ(r.m_nCommand, CMD_REPLACE);
    EXPECT_EQ(r.m_nQualifier, QUAL_NONE);
    EXPECT_EQ(r.m_strText, "a");
    EXPECT_EQ(r.m_strReplace, "");

    CScriptCommand g = ParseOne("G!a,b!c)d!");
    EXPECT_EQ(g.m_nQualifier, QUAL_GLOBAL);
    EXPECT_EQ(g.m_strText, "a,b");
    EXPECT_EQ(g.m_strReplace, "c)d");

    CScriptCommand pound = ParseOne("i\xA3x\xA3");
    EXPECT_EQ(pound.m_nCommand, CMD_INSERT);
    EXPECT_EQ(pound.m_strText, "x");

    CScriptCommand utf8Pound = ParseOne("r\xC2\xA3old\xC2\xA3new\xC2\xA3");
    EXPECT_EQ(utf8Pound.m_strText, "old");
    EXPECT_EQ(utf8Pound.m_strReplace, "new");

    CScriptCommand other = ParseOne("i/a!b$c/");
    EXPECT_EQ(other.m_strText, "a!b$c");
}

TEST(CommandRecords, FieldsOfOtherCommandsKeepTheirValues) {
    std::vector<std::string> lines{"r/a/b/,l"};
    ScriptParser parser(lines);
    CScriptCommand cmd;
    ASSERT_EQ(parser.ParseNextCommand(cmd), PARSE_COMMAND);
    ASSERT_EQ(parser.ParseNextCommand(cmd), PARSE_COMMAND);
    EXPECT_EQ(cmd.m_nCommand, CMD_NEWLINE);
    EXPECT_EQ(cmd.m_nQualifier, QUAL_NONE);
    EXPECT_EQ(cmd.m_nEndKind, END_NONE);
    EXPECT_EQ(cmd.m_strText, "a");
}

TEST(CheckScriptSyntax, CleanScriptEndsAndErrorIsReported) {
    RecordingReport report;
    EXPECT_EQ(CheckScriptSyntax({"// c", "r/a/b/,te", "(l)9"}, report), PARSE_END);
    EXPECT_TRUE(report.errors.empty());
    EXPECT_EQ(CheckScriptSyntax({"te", "t5 "}, report), PARSE_ERROR);
    ASSERT_EQ(report.errors.size(), 1u);
    EXPECT_EQ(report.errors[0].m_strLineNo, "2:");
}

}  // namespace
}  // namespace tavisk
