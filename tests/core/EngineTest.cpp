// The edit engine over real files: byte-exact outputs and response lines.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <random>
#include <chrono>
#include <thread>

#include <string>
#include <vector>

#include "RecordingFakes.h"
#include "RunProcess.h"
#include "TempDir.h"
#include "engine/EditEngine.h"
#include "engine/LineBlocks.h"
#include "engine/ReplaceInLine.h"

namespace tavisk {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

using test::RecordingDebugSink;
using test::RecordingFileErrors;

// One script and an engine over files of a throwaway folder, with the
// engine's reports recorded.
struct EngineRig {
    TempDir dir;
    std::vector<std::string> script;
    ScriptParser parser{script};
    ResponseLog log;
    RecordingFileErrors fileErrors;
    EditEngine engine{parser, log};

    explicit EngineRig(std::vector<std::string> lines) : script(std::move(lines)) {
        engine.SetFileErrorReport(&fileErrors);
    }
    FileRun lastRun = FileRun::Finished;

    // Opens `source` (a path; empty: none) and creates `output` (a path; empty:
    // none), as the batch does, then runs the script over them and puts the
    // output in place unless the run was stopped.
    void Run(const std::string& source, const std::string& output) {
        FileError error;
        if (!source.empty()) {
            ASSERT_TRUE(engine.m_fileSource.Open(source, ShareMode::Exclusive, error)) << error.Text();
        }
        if (!output.empty()) {
            ASSERT_TRUE(engine.m_fileOutput.Create(output, error)) << error.Text();
        }
        engine.m_nLastLineRead = -1;
        lastRun = engine.RunScriptOnFile();
        EXPECT_FALSE(engine.m_fileSource.IsOpen());
        if (lastRun == FileRun::Finished)
            engine.CloseFiles();
        else
            engine.DiscardFiles();
        EXPECT_FALSE(engine.m_fileOutput.IsOpen());
    }
};

struct RunResult {
    std::string output;
    std::vector<std::string> responses;
    int errorCount = 0;
    std::vector<std::string> fileErrors;
};

// Runs `script` over `source` once, as the batch does for one file.
RunResult RunScript(const std::vector<std::string>& script, const std::string& source,
                    LineEndStyle lineEnds = LineEndStyle::CrLf) {
    EngineRig rig(script);
    rig.engine.m_lineEnds = lineEnds;
    WriteFile(rig.dir / "in.txt", source);
    rig.Run(rig.dir / "in.txt", rig.dir / "out.txt");
    return {ReadFile(rig.dir / "out.txt"), rig.log.m_arrResponseLines, rig.log.m_nErrorCount, rig.fileErrors.texts};
}

struct EngineCase {
    const char* name;
    std::vector<std::string> script;
    std::string source;
    std::string output;
    std::vector<std::string> responses;
};

class Engine : public testing::TestWithParam<EngineCase> {};

TEST_P(Engine, WritesExactOutputAndMessages) {
    const EngineCase& c = GetParam();
    const RunResult result = RunScript(c.script, c.source);
    EXPECT_EQ(result.output, c.output);
    EXPECT_EQ(result.responses, c.responses);
    int expectedErrors = 0;
    for (const std::string& line : c.responses)
        if (line.find(" Replacements") == std::string::npos) ++expectedErrors;
    EXPECT_EQ(result.errorCount, expectedErrors);
    EXPECT_TRUE(result.fileErrors.empty());
}

const std::string kThreeLines = "l0\nl1\nl2\n";

INSTANTIATE_TEST_SUITE_P(
    Commands, Engine,
    testing::Values(
        // Nothing is copied unless the script copies it.
        EngineCase{"OnlyEndCopiesNothing", {"e"}, kThreeLines, "", {}},
        EngineCase{"CopyAllLfBecomesCrLf", {"te"}, "a\nb\n", "a\r\nb\r\n", {}},
        EngineCase{"CopyAllCrLfStays", {"te"}, "a\r\nb\r\n", "a\r\nb\r\n", {}},
        EngineCase{"LastLineWithoutLineFeed", {"te"}, "a\nlast", "a\r\nlast\r\n", {}},
        EngineCase{"LoneCrIsAnOrdinaryByte", {"te"}, "a\rb\nc\r", "a\rb\r\nc\r\r\n", {}},
        EngineCase{"OnlyOneCrDropped", {"te"}, "a\r\r\n", "a\r\r\n", {}},
        EngineCase{"NulBytesPassThrough", {"te"}, std::string("a\0b\n\0", 5), std::string("a\0b\r\n\0\r\n", 8), {}},
        EngineCase{"EmptySourceCopyIsEmpty", {"te"}, "", "", {}},
        EngineCase{"FirstLineByAbsoluteNumber", {"t#1"}, kThreeLines, "l0\r\n", {}},
        EngineCase{"FirstLineByRelativeNumber", {"t1,i/>/,te"}, kThreeLines, "l0\r\n>l1\r\nl2\r\n", {}},
        EngineCase{"FiveCharactersNoLineEnd", {"t#0.5"}, "hello world\n", "hello\r\n", {}},
        EngineCase{"ScriptEndingMidLineWritesPending", {"t.2"}, "abcd\n", "ab\r\n", {}},
        EngineCase{"T1OnLastLineRunsPastEnd", {"t1"}, "only\n", "only\r\n", {"\tRun past end of file doing t1"}},
        EngineCase{"AfterEndCopyAgainIsFine", {"te,te"}, "a\n", "a\r\n", {}},
        EngineCase{"AfterEndCopyToNumber", {"te,t1"}, "a\n", "a\r\n", {"\tRun past end of file doing t1"}},
        EngineCase{"AfterEndReplace", {"te,r/x/y/"}, "a\n", "a\r\n", {"\tRun past end of file performing r/x/y/"}},
        EngineCase{"AfterEndGlobal", {"te,g/x/y/"}, "a\n", "a\r\n", {"\tg/x/y/ caused 0, Replacements"}},
        EngineCase{"TextAtEditPositionMovesNothing", {"t/a/,tb/a/,i/>/,te"}, "abc\n", ">abc\r\n", {}},
        EngineCase{"AfterQualifierMovesPastText", {"ta/ab/,i/>/,te"}, "abc\n", "ab>c\r\n", {}},
        EngineCase{"TextOnLaterLine", {"t/x/,i/>/,te"}, "abc\ndxe\n", "abc\r\nd>xe\r\n", {}},
        EngineCase{"TextNeverFound", {"t/zz/,i/never/"}, "ab\ncd\n", "ab\r\ncd\r\n", {"\tRun past end of file doing t/zz/,"}},
        EngineCase{"SkipToTextNeverFoundDropsAll", {"p/zz/"}, "ab\ncd\n", "", {"\tRun past end of file doing p/zz/"}},
        EngineCase{"StartsWithAtPositionZero", {"ts/ab/,i/>/,te"}, "abc\nab\n", ">abc\r\nab\r\n", {}},
        EngineCase{"StartsWithPastPositionZero", {"t.1,ts/ab/,i/>/,te"}, "abc\nxab\nabd\n", "abc\r\nxab\r\n>abd\r\n", {}},
        EngineCase{"ContainsOnCurrentLineMovesNothing", {"t.2,tc/a/,i/>/,te"}, "xaya\n", "xa>ya\r\n", {}},
        EngineCase{"ContainsOnLaterLine", {"t.1,tc/q/,i/>/,te"}, "abc\nd\nxqz\n", "abc\r\nd\r\n>xqz\r\n", {}},
        EngineCase{"AbsoluteSameLineBeforePosition", {"t.2,t#0"}, "abcd\n", "", {"\tEndpoint Character in t#0 is before current edit position"}},
        EngineCase{"AbsoluteLineBeforeCurrent", {"t#2,t#1"}, kThreeLines, "l0\r\nl1\r\n", {"\tEndpoint Line in t#1 is before current line "}},
        EngineCase{"AbsoluteCurrentLineByDot", {"t.1,t#.3,i/|/,te"}, "abcdef\n", "abc|def\r\n", {}},
        EngineCase{"RelativeDotMovesFromEditPosition", {"t.2,t.2,i/|/,te"}, "abcdef\n", "abcd|ef\r\n", {}},
        EngineCase{"RelativeDotBeyondLineEnd", {"t.10"}, "abc\n", "", {"\tRun past End-of-Line doing t.10"}},
        EngineCase{"NumberBeyondLineEnd", {"t1.9"}, "a\nbc\n", "a\r\n", {"\tRun past End-of-Line doing t1.9"}},
        EngineCase{"CharacterAtLineEndIsAllowed", {"t.3,i/|/,te"}, "abc\nd\n", "abc|\r\nd\r\n", {}},
        EngineCase{"LineEndpointOnEmptyLine", {"tl,i/|/,te"}, "\nx\n", "|\r\nx\r\n", {}},
        EngineCase{"SkipToLineEndKeepsLineEnd", {"pl,te"}, "abc\ndef\n", "\r\ndef\r\n", {}},
        EngineCase{"SkipAcrossLinesJoinsThem", {"t.1,p#1.1,te"}, "abc\ndef\n", "aef\r\n", {}},
        EngineCase{"SkipToEndDropsRest", {"t1,pe,i/x/"}, kThreeLines, "l0\r\nx\r\n", {}},
        EngineCase{"GlobalReplacesEveryOccurrence", {"g/o/0/"}, "foo\nbar\nboo", "f00\r\nbar\r\nb00\r\n", {"\tg/o/0/ caused 4, Replacements"}},
        EngineCase{"GlobalMatchesDoNotOverlap", {"g/aa/X/"}, "aaa\n", "Xa\r\n", {"\tg/aa/X/ caused 1, Replacements"}},
        EngineCase{"GlobalNeverSearchesItsReplacement", {"g/a/aa/"}, "aa\n", "aaaa\r\n", {"\tg/a/aa/ caused 2, Replacements"}},
        EngineCase{"GlobalKeepsCarriageReturnsWithinLines", {"g/old/new/"}, "a\rold\nold\r\n\r\rold\r\n",
                   "a\rnew\r\nnew\r\n\r\rnew\r\n", {"\tg/old/new/ caused 3, Replacements"}},
        EngineCase{"GlobalReplacementEndingInACarriageReturn", {"g/d/x\r/"}, "old\nd\r\n", "olx\r\r\nx\r\r\n",
                   {"\tg/d/x\r/ caused 2, Replacements"}},
        EngineCase{"GlobalFindsNoCarriageReturnOfALineEnd", {"g/a\r/X/"}, "a\r\na\rb\n", "a\r\nXb\r\n",
                   {"\tg/a\r/X/ caused 1, Replacements"}},
        EngineCase{"GlobalMatchesAtLineStartsAndEnds", {"g/ab/X/"}, "ab\nab\r\nabab", "X\r\nX\r\nXX\r\n",
                   {"\tg/ab/X/ caused 4, Replacements"}},
        EngineCase{"GlobalEndsTheFile", {"g/a/b/,i/never/"}, "a\n", "b\r\n", {"\tg/a/b/, caused 1, Replacements"}},
        EngineCase{"ReplaceLeavesPositionAfterText", {"r/b/X/,i/|/,te"}, "abc\n", "aX|c\r\n", {}},
        EngineCase{"ReplaceWithEmptyText", {"r/b//,te"}, "abc\n", "ac\r\n", {}},
        EngineCase{"ReplaceIsCaseSensitive", {"r/A/b/,te"}, "a\n", "a\r\n", {"\tRun past end of file performing r/A/b/,"}},
        EngineCase{"ReplaceCommandTextKeepsPercent", {"r/%s/x/"}, "a\n", "a\r\n", {"\tRun past end of file performing r/%s/x/"}},
        EngineCase{"NewLineWithNothingPending", {"l,l"}, "", "\r\n\r\n", {}},
        EngineCase{"InsertThenNewLine", {"i/x/,l"}, "abc\n", "x\r\n", {}},
        EngineCase{"InsertBeforeFirstLine", {"i/>/,te"}, "a\nb\n", ">a\r\nb\r\n", {}},
        EngineCase{"EmptySourceCopyToNumber", {"t1"}, "", "", {"\tRun past end of file doing t1"}},
        EngineCase{"EmptySourceGlobal", {"g/a/b/"}, "", "", {"\tg/a/b/ caused 0, Replacements"}},
        EngineCase{"EmptySourceInsertAndCopy", {"i/x/,te"}, "", "x\r\n", {}},
        // Text inserted before a "g" that meets the end of the source is completed, not dropped.
        EngineCase{"GlobalCompletesPendingInsert", {"i/x/,g/a/b/"}, "", "x\r\n", {"\tg/a/b/ caused 0, Replacements"}},
        EngineCase{"PendingJoinsNextPiece", {"t.2,t5"}, "abcd\nef\n", "abcd\r\nef\r\n", {"\tRun past end of file doing t5"}},
        EngineCase{"ErrorDropsPendingLine", {"te,i/x/,t1"}, "a\n", "a\r\n", {"\tRun past end of file doing t1"}},
        EngineCase{"LoopRunsBodyEachPass", {"(t1,l)2,te"}, kThreeLines, "l0\r\n\r\nl1\r\n\r\nl2\r\n", {}},
        EngineCase{"LoopEndHasNoEffect", {"(i/-/)3,te"}, "a\n", "---a\r\n", {}},
        EngineCase{"CommentsAndSeveralLines", {"// header", "r/b/B/,", "te"}, "abc\n", "aBc\r\n", {}},
        EngineCase{"PoundDelimiter", {"r\xC2\xA3" "b\xC2\xA3" "B\xC2\xA3,te"}, "abc\n", "aBc\r\n", {}}),
    [](const testing::TestParamInfo<EngineCase>& info) { return std::string(info.param.name); });

// Kept line ends: "te" gives the file back and "g" gives what sed gives,
// byte for byte; lines the script makes take the end of the first line.
struct LineEndCase {
    const char* name;
    LineEndStyle style;
    std::vector<std::string> script;
    std::string source;
    const char* sedScript;  // the expected output is sed's; null: `output`
    std::string output;
};

class LineEnds : public testing::TestWithParam<LineEndCase> {};

TEST_P(LineEnds, MatchSedOrTheExpectedBytes) {
    const LineEndCase& c = GetParam();
    std::string expected = c.output;
    if (c.sedScript) {
        TempDir dir;
        WriteFile(dir / "in", c.source);
        const test::ProcessResult sed = test::RunProcess("/bin/sed", {c.sedScript, dir / "in"});
        ASSERT_EQ(sed.exitStatus, 0) << sed.err;
        expected = sed.out;
    }
    const RunResult result = RunScript(c.script, c.source, c.style);
    EXPECT_EQ(result.output, expected);
    EXPECT_TRUE(result.fileErrors.empty());
}

constexpr auto kKeep = LineEndStyle::Keep;
const std::string kMixed = "x\r\nold old\ny\r\n";
const std::string kNoFinal = "old\nlast old";
const std::string kCarriageReturns = "a\r\r\nold\rb\nc\r";

INSTANTIATE_TEST_SUITE_P(
    Styles, LineEnds,
    testing::Values(
        LineEndCase{"KeepCopyLf", kKeep, {"te"}, "a\nold\n", "", {}},
        LineEndCase{"KeepCopyCrLf", kKeep, {"te"}, "a\r\nold\r\n", "", {}},
        LineEndCase{"KeepCopyMixed", kKeep, {"te"}, kMixed, "", {}},
        LineEndCase{"KeepCopyNoFinalLineFeed", kKeep, {"te"}, kNoFinal, "", {}},
        LineEndCase{"KeepCopyEmpty", kKeep, {"te"}, "", "", {}},
        LineEndCase{"KeepCopyCarriageReturns", kKeep, {"te"}, kCarriageReturns, "", {}},
        LineEndCase{"KeepCopyLineByLine", kKeep, {"(t1)3"}, kMixed, "", {}},
        LineEndCase{"KeepGlobalLf", kKeep, {"g/old/new/"}, "old\nbold old\n", "s/old/new/g", {}},
        LineEndCase{"KeepGlobalCrLf", kKeep, {"g/old/new/"}, "old\r\nbold\r\n", "s/old/new/g", {}},
        LineEndCase{"KeepGlobalMixed", kKeep, {"g/old/new/"}, kMixed, "s/old/new/g", {}},
        LineEndCase{"KeepGlobalNoFinalLineFeed", kKeep, {"g/old/new/"}, kNoFinal, "s/old/new/g", {}},
        LineEndCase{"KeepGlobalCarriageReturns", kKeep, {"g/old/new/"}, kCarriageReturns, "s/old/new/g", {}},
        LineEndCase{"KeepGlobalAfterCopy", kKeep, {"t1,g/old/new/"}, kMixed, "s/old/new/g", {}},
        LineEndCase{"KeepReplaceLineByLine", kKeep, {"(r/old/new/,t1)2,te"}, "old\r\nold\nx", "s/old/new/", {}},
        LineEndCase{"KeepMadeLinesTakeFirstEnd", kKeep, {"l,i/>/,t1,te,i/end/"}, "a\r\nb\n", nullptr, "\r\n>a\r\nb\nend\r\n"},
        LineEndCase{"KeepTextAfterLastLineGetsAnEnd", kKeep, {"te,i/x/"}, kNoFinal, nullptr, "old\nlast old\nx\n"},
        LineEndCase{"KeepNoLineEndAnywhereMakesLf", kKeep, {"i/x/,l,te"}, "one", nullptr, "x\none"},
        LineEndCase{"KeepScriptEndingMidLine", kKeep, {"t1,t.2"}, "a\nbcd\r\n", nullptr, "a\nbc\n"},
        LineEndCase{"LfCopyMixed", LineEndStyle::Lf, {"te"}, kMixed + "z", nullptr, "x\nold old\ny\nz\n"},
        LineEndCase{"LfGlobalCarriageReturns", LineEndStyle::Lf, {"g/old/new/"}, kCarriageReturns, nullptr, "a\r\nnew\rb\nc\r\n"},
        LineEndCase{"LfGlobalAndMadeLines", LineEndStyle::Lf, {"l,g/old/new/"}, "old\r\n", nullptr, "\nnew\n"},
        LineEndCase{"CrLfStaysTheDefault", LineEndStyle::CrLf, {"te,l"}, kMixed, nullptr, "x\r\nold old\r\ny\r\n\r\n"}),
    [](const testing::TestParamInfo<LineEndCase>& info) { return std::string(info.param.name); });

// Keeps what a writer flushes, to look at the bytes.
class StringOutput final : public OutputCapture {
public:
    std::string bytes;
    bool Take(std::string_view more) override {
        bytes.append(more);
        return true;
    }
};

// "g" on a block of lines, and the line ends made sixteen bytes at a time,
// give what "g" gives line by line: random lines of CR, LF and matches, every
// style, matches and CR LF across every 16-byte boundary.
TEST(EngineStream, BlocksOfLinesAgreeWithLineByLine) {
    std::mt19937 random(16);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (size_t length = random() % 200; text.size() < length;) text += "ab\r\n\raaaa"[random() % 9];
        const LineEndStyle style = std::array{LineEndStyle::CrLf, LineEndStyle::Lf, LineEndStyle::Keep}[random() % 3];
        const std::string find = std::array{"ab", "b", "zz"}[round % 3];  // "zz": one copy of the whole block
        const std::string replace = std::array{"X", "\r", "\r\n", "long replacement"}[random() % 4];

        StringOutput lineByLine, inBlocks;
        TextFileWriter one, block;
        int64_t oneLines = 0, blockLines = 0, oneCount = 0, blockCount = 0;
        for (TextFileWriter* writer : {&one, &block}) {
            writer->CreateCaptured("out", writer == &one ? &lineByLine : &inBlocks);
            writer->SetLineEnds(style, LineEnd::Lf);
        }
        std::string_view rest = text;
        for (size_t lineFeed; (lineFeed = rest.find('\n')) != std::string_view::npos; rest.remove_prefix(lineFeed + 1)) {
            const bool carriageReturn = lineFeed > 0 && rest[lineFeed - 1] == '\r';
            ASSERT_TRUE(WriteReplacedLine(one, rest.substr(0, lineFeed - carriageReturn),
                                          carriageReturn ? LineEnd::CrLf : LineEnd::Lf, find, replace, oneCount, nullptr));
            ++oneLines;
        }
        const std::string_view wholeLines(text.data(), text.size() - rest.size());
        ASSERT_TRUE(ReplaceInBlock(block, wholeLines, style, find, replace, blockLines, blockCount, nullptr));
        FileError error;
        ASSERT_TRUE(one.Commit(error) && block.Commit(error));
        EXPECT_EQ(inBlocks.bytes, lineByLine.bytes) << testing::PrintToString(text) << " style " << int(style);
        EXPECT_EQ(blockLines, oneLines);
        EXPECT_EQ(blockCount, oneCount);
    }
}

TEST(EngineStream, KeptLineEndsOfLongLinesAcrossReads) {
    // A streamed copy splits a long line across reads; its CR LF, a lone
    // CR at a read's end, and a missing last LF all stay as they were.
    const size_t chunk = size_t{1} << 20;
    const std::string source = "x\n" + std::string(chunk - 3, 'a') + "\r\n" + std::string(2 * chunk, 'b') + "\n" +
                               std::string(chunk, 'c') + "\r";
    EXPECT_TRUE(RunScript({"te"}, source, kKeep).output == source);
    EXPECT_TRUE(RunScript({"t1,te"}, source, kKeep).output == source);
}

TEST(EngineStream, DebugModeKeepsLineEnds) {
    EngineRig rig({"te,i/x/"});
    rig.engine.m_lineEnds = kKeep;
    WriteFile(rig.dir / "a", "one\r\ntwo");
    RecordingDebugSink sink;
    rig.engine.SetDebugSink(&sink);
    rig.engine.m_bDebug = true;
    rig.Run(rig.dir / "a", "");
    EXPECT_EQ(sink.pieces, (std::vector<std::string>{"one\r\n", "two", "\r\n", "x\r\n"}));
}

TEST(EngineStream, LongLineAndManyLinesPassUnchanged) {
    std::string longLine(3 << 20, 'x');
    longLine[12345] = '\0';
    std::string source = longLine + "\n";
    std::string expected = longLine + "\r\n";
    for (int i = 0; i < 50000; ++i) {
        source += "line " + std::to_string(i) + "\n";
        expected += "line " + std::to_string(i) + "\r\n";
    }
    const RunResult result = RunScript({"te"}, source);
    EXPECT_EQ(result.output.size(), expected.size());
    EXPECT_TRUE(result.output == expected);
}

TEST(EngineStream, CopyToTheEndSplitsNoLineEndAcrossReads) {
    // A CR as the last byte of one read and its LF as the first of the next,
    // long lines that span several reads, and a last line without LF.
    const size_t chunk = size_t{1} << 20;
    std::string source = "head\n" + std::string(chunk - 6, 'a') + "\r\n";
    source += std::string(3 * chunk + 7, 'b') + "\r\r\n" + std::string(chunk, 'c') + "\r";
    std::string expected = "head\r\n" + std::string(chunk - 6, 'a') + "\r\n";
    expected += std::string(3 * chunk + 7, 'b') + "\r\r\n" + std::string(chunk, 'c') + "\r\r\n";
    const RunResult result = RunScript({"t1,te,t1"}, source);
    EXPECT_TRUE(result.output == expected);
    // The line count stays right: the lines after "te" do not exist.
    EXPECT_EQ(result.responses, std::vector<std::string>{"\tRun past end of file doing t1"});
}

TEST(EngineStream, ReplaceInsideLongLine) {
    const std::string pad(2 << 20, '.');
    const RunResult result = RunScript({"g/old/new/"}, pad + "old" + pad + "old\n");
    EXPECT_TRUE(result.output == pad + "new" + pad + "new\r\n");
    EXPECT_EQ(result.responses, std::vector<std::string>{"\tg/old/new/ caused 2, Replacements"});
}

TEST(EngineStream, NextFileStartsClean) {
    EngineRig rig({"t.1,i/>/,te"});
    WriteFile(rig.dir / "a", "abc\n");
    WriteFile(rig.dir / "b", "xyz\nabc\n");
    for (const char* name : {"a", "b"}) rig.Run(rig.dir / name, rig.dir / (std::string(name) + ".out"));
    EXPECT_EQ(ReadFile(rig.dir / "a.out"), "a>bc\r\n");
    EXPECT_EQ(ReadFile(rig.dir / "b.out"), "x>yz\r\nabc\r\n");
}

TEST(EngineStream, DebugModeSendsEachLineToTheSinkAndWritesNoFile) {
    EngineRig rig({"r/w/W/,te"});
    WriteFile(rig.dir / "a", "one\ntwo\nthree");
    RecordingDebugSink sink;
    rig.engine.SetDebugSink(&sink);
    rig.engine.m_bDebug = true;
    rig.Run(rig.dir / "a", "");
    EXPECT_EQ(sink.pieces, (std::vector<std::string>{"one\r\n", "tWo\r\n", "three\r\n"}));
}

TEST(EngineStream, WriteErrorIsReportedCountedAndStopsTheFile) {
    EngineRig rig({"te,i/never/"});
    std::string source;
    for (int i = 0; i < 200000; ++i) source += "a line of text to fill the buffer\n";
    WriteFile(rig.dir / "a", source);
    rig.Run(rig.dir / "a", "/dev/full");
    ASSERT_EQ(rig.fileErrors.texts.size(), 1u);
    EXPECT_EQ(rig.fileErrors.texts[0], "/dev/full: No space left on device");
    EXPECT_EQ(rig.log.m_arrResponseLines, std::vector<std::string>{"\t/dev/full: No space left on device"});
    EXPECT_EQ(rig.log.m_nErrorCount, 1);
}

TEST(EngineStream, WriteErrorFoundAtCloseIsStillReported) {
    EngineRig rig({"i/x/,l"});
    rig.Run("", "/dev/full");
    EXPECT_EQ(rig.fileErrors.texts.size(), 1u);
    EXPECT_EQ(rig.log.m_nErrorCount, 1);
}

TEST(TextFiles, DevicesTakeNoShareLock) {
    // Every program on the machine shares /dev/null; locking it would refuse
    // a second writer, or a run that another program happens to hold it for.
    TextFileWriter first, second;
    FileError error;
    ASSERT_TRUE(first.Create("/dev/null", error)) << error.Text();
    EXPECT_TRUE(second.Create("/dev/null", error)) << error.Text();
    TextFileReader reader;
    EXPECT_TRUE(reader.Open("/dev/null", ShareMode::Exclusive, error)) << error.Text();
}

TEST(EngineStream, StopFlagEndsTheFileBeforeTheNextCommand) {
    EngineRig rig({"t1,t1,t1"});
    WriteFile(rig.dir / "a", kThreeLines);
    std::atomic<bool> stop{true};
    rig.engine.SetStopFlag(&stop);
    rig.Run(rig.dir / "a", rig.dir / "out");
    EXPECT_EQ(rig.lastRun, FileRun::Stopped);
    EXPECT_FALSE(test::FileExists(rig.dir / "out"));
}

// A source that does not end: a thread writes `chunk` into a pipe again and
// again until the reader goes away, 256 MB are out, or ten seconds pass.
class EndlessSource {
public:
    EndlessSource(const std::string& path, std::string chunk) {
        signal(SIGPIPE, SIG_IGN);  // the reader leaving shows as EPIPE
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        m_feeder = std::thread([this, path, chunk = std::move(chunk)] {
            const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (fd >= 0 && m_written < (int64_t{256} << 20) && std::chrono::steady_clock::now() < deadline) {
                const ssize_t n = write(fd, chunk.data(), chunk.size());
                if (n <= 0) break;
                m_written += n;
            }
            if (fd >= 0) close(fd);
        });
    }
    ~EndlessSource() { m_feeder.join(); }
    int64_t Written() const { return m_written; }

private:
    std::atomic<int64_t> m_written{0};
    std::thread m_feeder;
};

struct StopCase {
    const char* name;
    std::vector<std::string> script;
    bool oneLine;  // the source is one line that never ends, else many short lines
    bool debug;
};

class StopInsideCommand : public testing::TestWithParam<StopCase> {};

// The stop flag raised while one command works through a source of any size
// ends the run, whichever loop the command is in.
TEST_P(StopInsideCommand, EndsTheRunAndDropsTheOutput) {
    const StopCase& c = GetParam();
    EngineRig rig(c.script);
    std::string chunk(1 << 16, 'x');
    if (!c.oneLine)
        for (size_t i = 7; i < chunk.size(); i += 8) chunk[i] = '\n';
    EndlessSource source(rig.dir / "fifo", chunk);
    std::atomic<bool> stop{false};
    rig.engine.SetStopFlag(&stop);
    rig.engine.m_bDebug = c.debug;
    std::thread stopper([&] {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (source.Written() < (int64_t{8} << 20) && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stop = true;
    });
    rig.Run(rig.dir / "fifo", c.debug ? "" : rig.dir / "out");
    stopper.join();
    EXPECT_EQ(rig.lastRun, FileRun::Stopped);
    EXPECT_FALSE(test::FileExists(rig.dir / "out"));
    EXPECT_TRUE(rig.fileErrors.texts.empty());
    EXPECT_LT(source.Written(), int64_t{256} << 20);
}

INSTANTIATE_TEST_SUITE_P(
    Loops, StopInsideCommand,
    testing::Values(StopCase{"CopyToTheEnd", {"te"}, false, false},
                    StopCase{"CopyToTheEndOfOneLine", {"te"}, true, false},
                    StopCase{"SkipToTheEnd", {"pe"}, false, false},
                    StopCase{"GlobalReplace", {"g/x/y/"}, false, false},
                    StopCase{"GlobalReplaceInOneLine", {"g/x/y/"}, true, false},
                    StopCase{"CopyToTextNeverFound", {"t/never/"}, false, false},
                    StopCase{"CopyToTextInOneLine", {"t/never/"}, true, false},
                    StopCase{"SkipToALineNumber", {"p#999999999"}, false, false},
                    StopCase{"ReplaceNeverFound", {"r/never/y/"}, false, false},
                    StopCase{"DebugCopyToTheEnd", {"te"}, false, true},
                    StopCase{"DebugGlobalReplace", {"g/x/y/"}, false, true}),
    [](const testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavisk
