// The batch run against a fake window: header lines, verdicts, file errors,
// debug mode, the response file, and outputs that would be the source.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "RecordingFakes.h"
#include "RunProcess.h"
#include "TempDir.h"
#include "batch/BatchRun.h"
#include "batch/DiffPreview.h"
#include "batch/UnifiedDiff.h"
#include "TestNames.h"

namespace tavisk {
namespace {

using test::FileExists;
using test::MakeDir;
using test::ReadFile;
using test::RecordingBatchWindow;
using test::RecordingSyntaxReport;
using test::TempDir;
using test::WriteFile;

// A source folder with files and an empty destination folder.
struct BatchFixture : testing::Test {
    TempDir dir;
    std::string src = dir / "src";
    std::string dest = dir / "dest";
    RecordingBatchWindow window;
    RecordingSyntaxReport syntax;
    BatchRun batch;

    BatchFixture() {
        MakeDir(src);
        MakeDir(dest);
        batch.SetWindow(&window);
        batch.SetSyntaxErrorReport(&syntax);
        batch.m_sources.SetLastFolder(src);
        batch.m_strDestFolder = dest;
    }
    void Sources(const std::vector<std::pair<std::string, std::string>>& files) {
        batch.m_sources.Clear();
        for (const auto& [name, content] : files) {
            if (!content.empty() || name.find("missing") == std::string::npos) WriteFile(src + "/" + name, content);
            batch.m_sources.Add(src, "/" + name);
        }
    }
    bool Start() {
        if (batch.PrepareStart() != StartResult::Ready) return false;
        batch.RunBatch();
        return true;
    }
    const std::vector<std::string>& Lines() const { return batch.m_log.m_arrResponseLines; }
};

TEST_F(BatchFixture, SyntaxErrorIsReportedAndNothingIsTouched) {
    batch.m_arrScriptLines = {"te", "r/a/b"};
    Sources({{"a.txt", "abc\n"}});
    window.status = "previous";
    EXPECT_EQ(batch.PrepareStart(), StartResult::SyntaxError);
    ASSERT_EQ(syntax.errors.size(), 1u);
    EXPECT_EQ(syntax.errors[0].m_strMessage, "Replacement Parameter2 terminator not found");
    EXPECT_EQ(syntax.errors[0].m_strLineNo, "2:");
    EXPECT_FALSE(FileExists(dest + "/a.txt"));
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(window.status, "previous");
    EXPECT_EQ(window.calls, std::vector<std::string>{"progress 0"});
}

// ---------------------------------------------------------------- runs

TEST_F(BatchFixture, CleanRunWritesEveryFileWithHeadersAndVerdict) {
    batch.m_arrScriptLines = {"g/old/new/"};
    Sources({{"a.txt", "old\r\nx old\n"}, {"b.txt", "none\n"}});
    ASSERT_TRUE(Start());
    EXPECT_EQ(ReadFile(dest + "/a.txt"), "new\r\nx new\r\n");
    EXPECT_EQ(ReadFile(dest + "/b.txt"), "none\r\n");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"a.txt", "\tg/old/new/ caused 2, Replacements", "b.txt",
                                                 "\tg/old/new/ caused 0, Replacements", kVerdictClean}));
    EXPECT_EQ(window.status, " Batch Completed without Errors");
    EXPECT_EQ(window.calls, (std::vector<std::string>{"progress 0", "disable", "hide debug", "progress 1", "progress 2", "enable"}));
    EXPECT_FALSE(batch.FileErrorOccurred());
}

TEST_F(BatchFixture, EngineErrorsGiveTheErrorVerdictAndTheBatchGoesOn) {
    batch.m_arrScriptLines = {"r/old/new/,te"};
    Sources({{"a.txt", "old\n"}, {"b.txt", "none\n"}, {"c.txt", "old\n"}});
    ASSERT_TRUE(Start());
    EXPECT_EQ(Lines(), (std::vector<std::string>{"a.txt", "b.txt", "\tRun past end of file performing r/old/new/,",
                                                 "c.txt", kVerdictErrors}));
    EXPECT_EQ(ReadFile(dest + "/b.txt"), "none\r\n");
    EXPECT_EQ(ReadFile(dest + "/c.txt"), "new\r\n");
    EXPECT_EQ(window.status, "**** Errors during Processing");
}

TEST_F(BatchFixture, MissingSourceEndsTheBatchAndIsCountedAsAnError) {
    batch.m_arrScriptLines = {"te"};
    Sources({{"a.txt", "a\n"}, {"missing.txt", ""}, {"c.txt", "c\n"}});
    ASSERT_TRUE(Start());
    const std::string error = src + "/missing.txt: No such file or directory";
    EXPECT_EQ(window.fileErrors, std::vector<std::string>{error});
    EXPECT_EQ(Lines(), (std::vector<std::string>{"a.txt", "missing.txt", "\t" + error, kVerdictErrors}));
    EXPECT_FALSE(FileExists(dest + "/c.txt"));
    EXPECT_FALSE(FileExists(dest + "/missing.txt"));
    EXPECT_TRUE(batch.FileErrorOccurred());
    EXPECT_EQ(window.progressPos, 1);
    EXPECT_TRUE(window.startEnabled);
}

TEST_F(BatchFixture, OutputThatCannotBeCreatedEndsTheBatchAndClosesTheSource) {
    batch.m_arrScriptLines = {"te"};
    Sources({{"a.txt", "a\n"}, {"b.txt", "b\n"}});
    batch.m_strDestFolder = dir / "no-such-folder";
    ASSERT_TRUE(Start());
    const std::string error = batch.m_strDestFolder + "/a.txt: No such file or directory";
    EXPECT_EQ(window.fileErrors, std::vector<std::string>{error});
    EXPECT_EQ(Lines(), (std::vector<std::string>{"a.txt", "\t" + error, kVerdictErrors}));
    EXPECT_FALSE(batch.Engine().m_fileSource.IsOpen());
}

TEST_F(BatchFixture, WriteErrorEndsOnlyItsFile) {
    // The destination /dev with a source named "full" writes to /dev/full.
    batch.m_arrScriptLines = {"te"};
    Sources({{"full", "data\n"}, {"null", "more\n"}});
    batch.m_strDestFolder = "/dev";
    ASSERT_TRUE(Start());
    EXPECT_EQ(window.fileErrors, std::vector<std::string>{"/dev/full: No space left on device"});
    EXPECT_EQ(Lines(), (std::vector<std::string>{"full", "\t/dev/full: No space left on device", "null", kVerdictErrors}));
    EXPECT_EQ(window.progressPos, 2);
    EXPECT_EQ(ReadFile(src + "/full"), "data\n");
}

TEST_F(BatchFixture, DebugModeRunsTheFirstFileIntoTheDebugWindowOnly) {
    batch.m_arrScriptLines = {"r/a/A/,te"};
    Sources({{"one.txt", "abc\nxyz"}, {"two.txt", "a\n"}, {"three.txt", "a\n"}});
    window.debugChecked = true;
    window.saveResponseChecked = true;
    window.debugText = "old text";
    ASSERT_TRUE(Start());
    EXPECT_EQ(window.debugText, "Abc\r\nxyz\r\n");
    EXPECT_EQ(window.calls, (std::vector<std::string>{"progress 0", "disable", "show debug", "clear debug", "progress 1", "enable"}));
    EXPECT_EQ(window.progressTop, 3);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"one.txt", kVerdictClean}));
    EXPECT_FALSE(FileExists(dest + "/one.txt"));
    EXPECT_FALSE(FileExists(dest + "/two.txt"));
    EXPECT_EQ(ReadFile(dest + "/re$pon$e.txt"), "one.txt\r\n Batch Completed without Errors\r\n");
    EXPECT_TRUE(batch.IsDebugRun());
}

TEST_F(BatchFixture, StopRequestEndsTheBatchAndDropsTheFileInProgress) {
    batch.m_arrScriptLines = {"t1,te"};
    Sources({{"a.txt", "a\nb\n"}, {"b.txt", "b\n"}});
    batch.RequestStop();
    ASSERT_TRUE(Start());
    EXPECT_TRUE(batch.Stopped());
    EXPECT_EQ(Lines(), (std::vector<std::string>{"a.txt", kStoppedLine, kVerdictErrors}));
    EXPECT_FALSE(FileExists(dest + "/a.txt"));
    EXPECT_FALSE(FileExists(dest + "/b.txt"));
    // The next run is not stopped.
    ASSERT_TRUE(Start());
    EXPECT_EQ(ReadFile(dest + "/b.txt"), "b\r\n");
}

// ---------------------------------------------------------------- response file

TEST_F(BatchFixture, ResponseFileNameRules) {
    batch.m_arrScriptLines = {"t/zz/"};
    Sources({{"a.txt", "a\n"}, {"b.txt", "b\n"}});
    window.saveResponseChecked = true;

    batch.m_strResponseFile = "log.txt";  // a bare name lands in the destination folder
    ASSERT_TRUE(Start());
    EXPECT_EQ(batch.ResponsePath(), dest + "/log.txt");
    EXPECT_EQ(ReadFile(dest + "/log.txt"),
              "a.txt\r\n\tRun past end of file doing t/zz/\r\nb.txt\r\n\tRun past end of file doing t/zz/\r\n"
              "**** Errors during Processing\r\n");

    batch.m_strResponseFile = dir / "elsewhere.txt";  // a path is used unchanged
    ASSERT_TRUE(Start());
    EXPECT_TRUE(FileExists(dir / "elsewhere.txt"));

    batch.m_strResponseFile = "a.txt";  // an output's name: refused before anything is written
    const std::string outputBefore = ReadFile(dest + "/a.txt");
    EXPECT_FALSE(Start());
    EXPECT_EQ(window.errorMessages.back(), "Response file would replace an output: " + dest + "/a.txt\r\n");
    EXPECT_EQ(ReadFile(dest + "/a.txt"), outputBefore);

    window.saveResponseChecked = false;
    batch.m_strResponseFile = "unused.txt";
    ASSERT_TRUE(Start());
    EXPECT_FALSE(FileExists(dest + "/unused.txt"));
}

TEST_F(BatchFixture, ResponseFileIsWrittenAfterABatchStoppedByAFailedOpen) {
    batch.m_arrScriptLines = {"te"};
    Sources({{"missing.txt", ""}});
    window.saveResponseChecked = true;
    ASSERT_TRUE(Start());
    EXPECT_EQ(ReadFile(dest + "/re$pon$e.txt"),
              "missing.txt\r\n\t" + src + "/missing.txt: No such file or directory\r\n**** Errors during Processing\r\n");
}

TEST_F(BatchFixture, ResponseFileThatCannotBeWrittenIsReported) {
    batch.m_arrScriptLines = {"te"};
    Sources({{"a.txt", "a\n"}});
    window.saveResponseChecked = true;
    batch.m_strResponseFile = dir / "no-folder/r.txt";
    ASSERT_TRUE(Start());
    EXPECT_EQ(window.fileErrors, std::vector<std::string>{batch.m_strResponseFile + ": No such file or directory"});
    EXPECT_TRUE(batch.FileErrorOccurred());
    EXPECT_EQ(window.status, " Batch Completed without Errors");
}

// ---------------------------------------------------------------- no output replaces an input

class SameFileDestinations : public BatchFixture, public testing::WithParamInterface<std::string> {};

TEST_P(SameFileDestinations, AreRefusedAndLeaveTheSourceUntouched) {
    const std::string original = "precious\r\ndata\n";
    batch.m_arrScriptLines = {"p1,te"};
    Sources({{"a.txt", original}, {"b.txt", "b\n"}});
    const std::string how = GetParam();
    if (how == "trailing slash") {
        batch.m_strDestFolder = src + "/";
    } else if (how == "dot segment") {
        batch.m_strDestFolder = src + "/.";
    } else if (how == "symbolic link") {
        ASSERT_EQ(symlink(src.c_str(), (dir / "link").c_str()), 0);
        batch.m_strDestFolder = dir / "link";
    } else {  // hard link
        ASSERT_EQ(link((src + "/a.txt").c_str(), (dest + "/a.txt").c_str()), 0);
    }
    EXPECT_EQ(batch.PrepareStart(), StartResult::Refused) << how;
    EXPECT_EQ(ReadFile(src + "/a.txt"), original) << how;
    EXPECT_EQ(window.errorMessages, std::vector<std::string>{kWouldOverwriteInput + batch.OutputPath(0) + "\r\n"});
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(ReadFile(src + "/b.txt"), "b\n");
}

// The open source itself at the output name, where it got after the start
// checks, is still refused before anything is written.
TEST_F(BatchFixture, SourceThatAppearsAtItsOutputNameDuringTheRunIsRefused) {
    batch.m_arrScriptLines = {"te"};
    Sources({{"a.txt", "precious\n"}});
    WriteFile(dest + "/a.txt", "an older output\n");
    ASSERT_EQ(batch.PrepareStart(), StartResult::Ready);
    ASSERT_EQ(unlink((dest + "/a.txt").c_str()), 0);
    ASSERT_EQ(link((src + "/a.txt").c_str(), (dest + "/a.txt").c_str()), 0);
    batch.RunBatch();
    EXPECT_EQ(window.fileErrors, std::vector<std::string>{dest + "/a.txt: is the same file as the source being read"});
    EXPECT_EQ(ReadFile(src + "/a.txt"), "precious\n");
}

INSTANTIATE_TEST_SUITE_P(Ways, SameFileDestinations,
                         testing::Values("trailing slash", "dot segment", "symbolic link", "hard link"),
    test::NameRowsBy<std::string>([](const std::string& way) { return way; }));

TEST_F(BatchFixture, SourceLockedByAnotherRunIsASharingViolation) {
    batch.m_arrScriptLines = {"te"};
    Sources({{"a.txt", "a\n"}});
    TextFileReader other;
    FileError error;
    ASSERT_TRUE(other.Open(src + "/a.txt", ShareMode::Exclusive, error));
    ASSERT_TRUE(Start());
    EXPECT_EQ(window.fileErrors, std::vector<std::string>{src + "/a.txt: sharing violation"});
    EXPECT_FALSE(FileExists(dest + "/a.txt"));
}

}  // namespace
}  // namespace tavisk

namespace tavisk {
namespace {

// The diff of two texts is what `diff -u` prints for them, hunks and all.
struct DiffCase {
    const char* name;
    std::string before;
    std::string after;
};

class UnifiedDiffs : public testing::TestWithParam<DiffCase> {};

std::string Numbered(int from, int to) {
    std::string text;
    for (int i = from; i <= to; ++i) text += "line " + std::to_string(i) + "\n";
    return text;
}

TEST_P(UnifiedDiffs, MatchDiffU) {
    const DiffCase& c = GetParam();
    TempDir dir;
    WriteFile(dir / "before", c.before);
    WriteFile(dir / "after", c.after);
    const test::ProcessResult reference =
        test::RunProcess("/usr/bin/diff", {"-u", "--label", "src/a.txt", "--label", "out/a.txt", dir / "before", dir / "after"});
    ASSERT_EQ(reference.exitStatus, 1) << reference.err;
    std::string diff;
    EXPECT_EQ(AppendUnifiedDiff(c.before, c.after, "src/a.txt", "out/a.txt", diff), DiffOutcome::Differs);
    EXPECT_EQ(diff, reference.out);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, UnifiedDiffs,
    testing::Values(
        DiffCase{"OneLineChanged", Numbered(1, 20), Numbered(1, 9) + "changed\n" + Numbered(11, 20)},
        DiffCase{"FirstAndLastLines", Numbered(1, 20), "new first\n" + Numbered(2, 19) + "new last\n"},
        DiffCase{"NearChangesShareAHunk", Numbered(1, 30), Numbered(1, 4) + "x\n" + Numbered(6, 11) + "y\n" + Numbered(13, 30)},
        DiffCase{"FarChangesSplit", Numbered(1, 30), Numbered(1, 4) + "x\n" + Numbered(6, 12) + "y\n" + Numbered(14, 30)},
        DiffCase{"LinesInsertedAndDeleted", Numbered(1, 25), Numbered(1, 3) + "new a\nnew b\n" + Numbered(4, 15) + Numbered(19, 25)},
        DiffCase{"SeveralLinesReplacedByOne", Numbered(1, 12), Numbered(1, 5) + "one\n" + Numbered(9, 12)},
        DiffCase{"FromEmpty", "", Numbered(1, 2)},
        DiffCase{"ToEmpty", Numbered(1, 5), ""},
        DiffCase{"OneLineFiles", "a\n", "b\n"},
        DiffCase{"LineMovedDown", Numbered(1, 20), Numbered(1, 2) + Numbered(4, 12) + "line 3\n" + Numbered(13, 20)},
        DiffCase{"RepeatedLines", "{\n}\n\n{\nx\n}\n\n{\n}\n", "{\n}\n\n{\n}\n\n{\ny\n}\n"}),
    [](const testing::TestParamInfo<DiffCase>& info) { return std::string(info.param.name); });

TEST(DiffPreviews, TextsAboveTheLimitAreComparedAsStreamsAndCounted) {
    TempDir dir;
    const std::string source = Numbered(1, 150);  // 1242 bytes
    WriteFile(dir / "src", source);
    std::string printed;
    DiffPreview preview([&](std::string_view text) { printed += text; }, 1024, 200);
    const auto run = [&](const std::string& sourceName, const std::string& output) {
        printed.clear();
        OutputCapture* capture = preview.BeginFile(dir / sourceName, "out");
        for (size_t at = 0; at < output.size(); at += 100) ASSERT_TRUE(capture->Take(std::string_view(output).substr(at, 100)));
        preview.EndFile(true);
    };
    run("src", source);
    EXPECT_EQ(printed, "");
    const std::string tail = "Files " + dir / "src" + " and out differ (";
    run("src", source + "more");
    EXPECT_EQ(printed, tail + "150 lines and 151 lines; over 1024 bytes or 200 lines, not compared line by line)\n");
    run("src", source.substr(0, 1030));  // 126 lines and a part
    EXPECT_EQ(printed, tail + "150 lines and 127 lines; over 1024 bytes or 200 lines, not compared line by line)\n");
    run("src", "short\n");  // the source alone is over the limit
    EXPECT_EQ(printed, tail + "150 lines and 1 line; over 1024 bytes or 200 lines, not compared line by line)\n");
    WriteFile(dir / "small", "a\nb\n");
    run("small", "a\r\nb\r\n");
    EXPECT_EQ(printed, "Files " + dir / "small" + " and out differ only in their line ends\n");
    run("small", Numbered(1, 201));  // too many lines
    EXPECT_EQ(printed, "Files " + dir / "small" + " and out differ (2 lines and 201 lines; over 1024 bytes or 200 lines, not compared line by line)\n");
    run("small", "a\nc\n");
    EXPECT_EQ(printed, "--- " + dir / "small" + "\n+++ out\n@@ -1,2 +1,2 @@\n a\n-b\n+c\n");
    // Line ends that change with the text are said once, under the labels.
    const std::pair<std::string, std::string> lineEnds[] = {
        {"a\r\nc\r\n", "LF to CR LF"}, {"a\r\nc\n", "LF to mixed"}, {"a\nc", "LF to LF"}, {"a c", "LF to none"}};
    for (const auto& [output, change] : lineEnds) {
        run("small", output);
        const std::string note = change == "LF to LF" ? "" : "Line ends change as well: " + change + "\n";
        EXPECT_EQ(printed.substr(0, printed.find("@@")), "--- " + dir / "small" + "\n+++ out\n" + note) << output;
    }
}

TEST(UnifiedDiff, LineEndsAloneAreNotADiff) {
    std::string diff;
    EXPECT_EQ(AppendUnifiedDiff("a\nb\n", "a\nb\n", "s", "o", diff), DiffOutcome::Same);
    EXPECT_EQ(AppendUnifiedDiff("a\nb", "a\r\nb\r\n", "s", "o", diff), DiffOutcome::LineEndsOnly);
    EXPECT_EQ(AppendUnifiedDiff("a\r\nb\n", "a\nc\r\n", "s", "o", diff), DiffOutcome::Differs);
    EXPECT_EQ(diff, "--- s\n+++ o\n@@ -1,2 +1,2 @@\n a\n-b\n+c\n");
}

}  // namespace
}  // namespace tavisk
