// Loop counts and endpoint numbers at and beyond 32 bits.  They saturate
// (loop counts at 4294967295, endpoint numbers at 2147483647) instead of
// wrapping round to small values: a count never turns into 0 or 1, and an
// endpoint far away never turns into a near one.
#include "HardeningFixture.h"

namespace tavisk::test {
namespace {

class NumberLimits : public BatchFolders {};

TEST_F(NumberLimits, HugeCountsAndEndpointsStayHuge) {
    const std::string text = "one\ntwo\nthree\n";
    const std::string all = "one\r\ntwo\r\nthree\r\n";
    const std::string source = Source("a.txt", text);
    struct Case {
        const char* script;
        int exitStatus;
        std::string output;
        const char* message;  // the engine's line, or nullptr
    };
    const std::vector<Case> cases = {
        // 2^32 - 1, 2^32, 2^32 + 1, 2^33 + 1 and far beyond: a loop that runs until the source ends.
        {"(t1)4294967295", 1, all, "\tRun past end of file doing (t1"},
        {"(t1)4294967296", 1, all, "\tRun past end of file doing (t1"},
        {"(t1)4294967297", 1, all, "\tRun past end of file doing (t1"},
        {"(t1)8589934593", 1, all, "\tRun past end of file doing (t1"},
        {"(t1)000000000000000000000000000004294967298", 1, all, "\tRun past end of file doing (t1"},
        {"(t1)99999999999999999999999999999999999999", 1, all, "\tRun past end of file doing (t1"},
        {"((t1)65536)65536", 1, all, "\tRun past end of file doing (t1"},
        {"(pl,t1)4294967296,te", 1, "\r\n\r\n\r\n", "\tRun past end of file doing t1"},
        // An empty loop body yields nothing, however many passes it asks for.
        {"()4294967295,te", 0, all, nullptr},
        // Endpoints beyond the source or the line.
        {"t#4294967296", 1, all, "\tRun past end of file doing t#4294967296"},
        {"t#2147483648.0", 1, all, "\tRun past end of file doing t#2147483648.0"},
        {"t4294967297", 1, all, "\tRun past end of file doing t4294967297"},
        {"t.4294967297", 1, "", "\tRun past End-of-Line doing t.4294967297"},
        {"t#0.4294967296", 1, "", "\tRun past End-of-Line doing t#0.4294967296"},
        {"t1.99999999999999999999", 1, "one\r\n", "\tRun past End-of-Line doing t1.99999999999999999999"},
        {"t.2,t.2147483647", 1, "", "\tRun past End-of-Line doing t.2147483647"},
        {"t.2,p#.2147483648,te", 1, "", "\tRun past End-of-Line doing p#.2147483648,"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const CliResult check = RunCli({"--check", "-e", c.script});
        EXPECT_EQ(check.exitStatus, 0) << check.err;

        const CliResult run = RunCli({"-e", c.script, m_out, source});
        EXPECT_EQ(run.exitStatus, c.exitStatus) << run.err;
        std::vector<std::string> lines = {"a.txt"};
        if (c.message) lines.push_back(c.message);
        lines.push_back(c.exitStatus ? kErrors : kClean);
        EXPECT_EQ(run.OutLines(), lines);
        EXPECT_EQ(Output("a.txt"), c.output);
        EXPECT_EQ(ReadFile(source), text);
    }
}

// Counts of 0 and 1 are still refused however they are written.
TEST_F(NumberLimits, SmallCountsAreRefusedAsWritten) {
    struct Case {
        const char* script;
        const char* position;  // "LINE:COLUMN:"
        const char* message;
    };
    const std::vector<Case> cases = {
        {"(l)0000000000000000000000", "1:25:", "Non Numeric loop count value"},
        {"(l)0000000000000000000001", "1:25:", "Loop count value must be 2 or more"},
        {"(l)", "1:3:", "Non Numeric loop count value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const CliResult check = RunCli({"--check", "-e", c.script});
        EXPECT_EQ(check.exitStatus, 2);
        EXPECT_EQ(check.ErrLines().at(0), std::string("-e:") + c.position + " " + c.message);
    }
}

constexpr bool kSanitized = TAVISK_SANITIZED;  // sanitizers reserve far more address space than any limit allows

// A loop that inserts more text into one line than there is memory: that
// file's output fails like a full disk (nothing is put in place), and the
// batch goes on.
TEST_F(NumberLimits, LineLongerThanMemoryFailsThatFileOnly) {
    if (kSanitized) GTEST_SKIP() << "a memory limit cannot be set under a sanitizer";
    const std::string a = Source("a.txt", "line one\nbefore grow\n");
    const std::string b = Source("b.txt", "nothing\n");
    const std::string script = "t/grow/,(i/" + std::string(1000, 'x') + "/)4294967295";
    ProcessOptions limited;
    limited.addressSpaceLimitMb = 1024;
    const CliResult run = RunCli({"-e", script, m_out, a, b}, limited);
    EXPECT_EQ(run.exitStatus, 3) << run.err;
    const std::string error = OutputPath("a.txt") + ": Cannot allocate memory";
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"a.txt", "\t" + error, "b.txt",
                                                        "\tRun past end of file doing t/grow/,", kErrors}));
    EXPECT_EQ(run.ErrLines(), std::vector<std::string>{"tavisk-cli: " + error});
    EXPECT_FALSE(OutputExists("a.txt"));
    EXPECT_EQ(CountFiles(m_out), 1u);
    EXPECT_EQ(Output("b.txt"), "nothing\r\n");
}

}  // namespace
}  // namespace tavisk::test
