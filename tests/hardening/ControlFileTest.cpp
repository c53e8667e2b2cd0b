// Control files with bytes and sizes nobody writes by hand: every byte is a
// character, lines of any length and any number of lines.
#include <sys/file.h>

#include <fcntl.h>
#include <unistd.h>

#include "HardeningFixture.h"
#include "RecordingFakes.h"
#include "batch/ScriptFile.h"
#include "script/ScriptParser.h"

namespace tavisk::test {
namespace {

using namespace std::string_literals;

// The offending character leads the message, whatever byte it is.
TEST(UnrecognisedCharacter, MessageNamesAnyByte) {
    struct Case {
        std::string line;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"\0"s, "\0 : Command not recognised"s},
        {"l,\0"s, "\0 : Command not recognised"s},
        {"t\0"s, "\0 : Endpoint qualifier not recognised"s},
        {"\t", "\t : Command not recognised"},
        {"\xff", "\xff : Command not recognised"},
        {"ta\x80", "\x80 : Endpoint qualifier not recognised"},
    };
    for (const Case& c : cases) {
        RecordingSyntaxReport report;
        EXPECT_EQ(CheckScriptSyntax({c.line}, report), PARSE_ERROR);
        ASSERT_EQ(report.errors.size(), 1u);
        EXPECT_EQ(report.errors[0].m_strMessage, c.message);
        EXPECT_EQ(report.errors[0].m_strProcessed.back(), c.message[0]);
    }
}

class ControlFile : public BatchFolders {
protected:
    CliResult RunControl(const std::string& controlBytes, const std::vector<std::string>& sources) {
        m_control = m_dir / "control.txt";
        WriteFile(m_control, controlBytes);
        std::vector<std::string> args = {"-q", m_control, m_out};
        args.insert(args.end(), sources.begin(), sources.end());
        return RunCli(args);
    }
    std::string m_control;
};

TEST_F(ControlFile, NulInCommandPositionIsNamedAndNothingIsTouched) {
    const std::string source = Source("a.txt", "kept\n");
    const CliResult run = RunControl("te\n\0\n"s, {source});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.err.find(m_control + ":2:1: " + "\0 : Command not recognised\n"s), std::string::npos) << run.err;
    EXPECT_EQ(CountFiles(m_out), 0u);
    EXPECT_EQ(ReadFile(source), "kept\n");
}

// Bytes that are not UTF-8, NUL and DEL are found and replaced as they stand.
TEST_F(ControlFile, ArbitraryBytesInTextsMatchBytewise) {
    const std::string sourceBytes = "a\xff\xfe" "b\0c\x7f\n\xc3(\n"s;
    const std::string source = Source("bin.txt", sourceBytes);
    const CliResult run = RunControl("g/\xff\xfe/\x80\xc3/\r\n"s, {source});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(Output("bin.txt"), "a\x80\xc3" "b\0c\x7f\r\n\xc3(\r\n"s);

    const CliResult nul = RunControl("g/\0/<NUL>/"s, {source});
    EXPECT_EQ(nul.exitStatus, 0) << nul.err;
    EXPECT_EQ(Output("bin.txt"), std::string("a\xff\xfe" "b<NUL>c\x7f\r\n\xc3(\r\n"));
    EXPECT_EQ(ReadFile(source), sourceBytes);
}

TEST_F(ControlFile, TabIsAnOrdinaryCharacter) {
    const std::string source = Source("a.txt", "x\n");
    const CliResult leading = RunControl("\tte\n", {source});
    EXPECT_EQ(leading.exitStatus, 2);
    EXPECT_NE(leading.err.find(":1:1: \t : Command not recognised\n"), std::string::npos) << leading.err;
    EXPECT_FALSE(OutputExists("a.txt"));

    const CliResult inText = RunControl("i/a\tb/,te\n", {source});
    EXPECT_EQ(inText.exitStatus, 0) << inText.err;
    EXPECT_EQ(Output("a.txt"), "a\tbx\r\n");
}

// One line of a megabyte: half a million commands, or one long text.
TEST_F(ControlFile, OneMegabyteLine) {
    const std::string source = Source("a.txt", "first\nsecond\n");
    std::string commands;
    for (int i = 0; i < 1 << 19; ++i) commands += "l,";
    CliResult run = RunControl(commands + "te\n", {source});
    EXPECT_EQ(run.exitStatus, 0) << run.err.substr(0, 200);
    std::string expected;
    for (int i = 0; i < 1 << 19; ++i) expected += "\r\n";
    EXPECT_TRUE(Output("a.txt") == expected + "first\r\nsecond\r\n");

    const std::string text(1 << 20, 'y');
    run = RunControl("i/" + text + "/,te\n", {source});
    EXPECT_EQ(run.exitStatus, 0) << run.err.substr(0, 200);
    EXPECT_TRUE(Output("a.txt") == text + "first\r\nsecond\r\n");

    // An error at its very end is found and located.
    run = RunControl(commands + "x\n", {source});
    EXPECT_EQ(run.exitStatus, 2);
    const std::vector<std::string> lines = run.ErrLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], m_control + ":1:" + std::to_string(commands.size() + 1) + ": x : Command not recognised");
    EXPECT_EQ(lines[1].size(), 4 + commands.size() + 1);
    EXPECT_EQ(lines[2], "    x");
}

// A line over the limit is a file error naming it, found before it is held
// whole; the limit is 2 GiB, made small here.
TEST_F(ControlFile, LineOverTheLimitIsAFileError) {
    const std::string control = m_dir / "long.tvs";
    WriteFile(control, "te\n" + std::string(3 << 20, 'l') + "\nte\n");
    std::vector<std::string> lines = {"left over"};
    FileError error;
    EXPECT_FALSE(LoadScriptLines(control, lines, error, size_t{1} << 20));
    EXPECT_EQ(error.Text(), control + ": line 2 is longer than 1048576 bytes");
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(LoadScriptLines(control, lines, error, size_t{4} << 20));
    EXPECT_EQ(lines.size(), 3u);
}

// A hundred thousand lines: each one command, comments among them.
TEST_F(ControlFile, HundredThousandLines) {
    std::string sourceBytes;
    std::string control;
    for (int i = 0; i < 100000; ++i) {
        sourceBytes += "line " + std::to_string(i) + "\n";
        control += (i % 10 == 9) ? "// comment\r\n" : "t1\r\n";
    }
    control += "te\r\n";
    const std::string source = Source("a.txt", sourceBytes);
    CliResult run = RunControl(control, {source});
    EXPECT_EQ(run.exitStatus, 0) << run.err.substr(0, 200);
    EXPECT_TRUE(Output("a.txt") == AsOutputLines(sourceBytes));

    // An error on the last line carries its number, comment lines counted.
    control.resize(control.size() - 4);
    control += "q";
    run = RunControl(control, {source});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.ErrLines().at(0), m_control + ":100001:1: q : Command not recognised");
}

TEST_F(ControlFile, UnusableControlFileRefusesTheRun) {
    const std::string source = Source("a.txt", "x\n");
    struct Case {
        const char* name;
        std::string path;
        const char* cause;
    };
    const std::vector<Case> cases = {
        {"missing", m_dir / "none.txt", "No such file or directory"},
        {"folder", m_src, "Is a directory"},
        {"empty", m_dir / "empty.txt", nullptr},
    };
    WriteFile(m_dir / "empty.txt", "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult run = RunCli({"-q", c.path, m_out, source});
        EXPECT_EQ(run.exitStatus, 3);
        if (c.cause) {
            EXPECT_NE(run.err.find(c.path + ": " + c.cause), std::string::npos) << run.err;
        }
        EXPECT_NE(run.err.find("Empty or No Control File"), std::string::npos) << run.err;
        EXPECT_EQ(CountFiles(m_out), 0u);
    }
}

// Being written elsewhere (an exclusive lock) refuses the load; another reader does not.
TEST_F(ControlFile, LockedControlFile) {
    const std::string source = Source("a.txt", "x\n");
    const std::string control = m_dir / "control.txt";
    WriteFile(control, "te\n");
    const int holder = open(control.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);

    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    CliResult run = RunCli({"-q", control, m_out, source});
    EXPECT_EQ(run.exitStatus, 3);
    EXPECT_NE(run.err.find(control + ": sharing violation"), std::string::npos) << run.err;
    EXPECT_FALSE(OutputExists("a.txt"));

    ASSERT_EQ(flock(holder, LOCK_SH), 0);
    run = RunCli({"-q", control, m_out, source});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(Output("a.txt"), "x\r\n");
    close(holder);
}

}  // namespace
}  // namespace tavisk::test
