// Sources that are not tidy text: any byte, odd line ends, nothing at all,
// and sources that cannot be read.  Each run is checked for its exit status,
// its response lines and what is left in every source and output.
#include <sys/stat.h>
#include <unistd.h>

#include "HardeningFixture.h"
#include "RecordingFakes.h"
#include "batch/BatchRun.h"

namespace tavisk::test {
namespace {

using namespace std::string_literals;

class SourceInput : public BatchFolders {};

std::string AllBytes() {
    std::string bytes;
    for (int round = 0; round < 3; ++round)
        for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
    return bytes;
}

// Copying the whole of each source loses nothing: only the line ends change.
TEST_F(SourceInput, WholeCopyKeepsEveryByte) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"binary.bin", AllBytes()},
        {"nul-only.bin", "\0\0\0"s},
        {"nul-lines.txt", "\0\n\0\r\n\n\0"s},
        {"cr-only.txt", "one\rtwo\rthree\r"},
        {"lf-cr.txt", "a\n\rb\n\r"},
        {"cr-cr-lf.txt", "a\r\r\nb\r"},
        {"empty.txt", ""},
        {"lf.txt", "\n"},
        {"crlf.txt", "\r\n"},
        {"cr.txt", "\r"},
        {"no-final-lf.txt", "last"},
        {"ctrl-z.txt", "before\x1a" "after\n\x1a\n"},
    };
    std::vector<std::string> args = {"-e", "te", m_out};
    std::vector<std::string> expectedLines;
    for (const Case& c : cases) {
        args.push_back(Source(c.name, c.bytes));
        expectedLines.push_back(c.name);
    }
    expectedLines.push_back(kClean);

    const CliResult run = RunCli(args);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.OutLines(), expectedLines);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Output(c.name), AsOutputLines(c.bytes));
        EXPECT_EQ(ReadFile(m_src + "/" + c.name), c.bytes);
    }
}

// A carriage return alone does not end a line; the whole source is one line.
TEST_F(SourceInput, CarriageReturnAloneIsNoLineEnd) {
    const std::string source = Source("mac.txt", "a\rb\rc\r");
    CliResult run = RunCli({"-e", "t1", m_out, source});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"mac.txt", "\tRun past end of file doing t1", kErrors}));
    EXPECT_EQ(Output("mac.txt"), "a\rb\rc\r\r\n");

    run = RunCli({"-e", "t/\r/,p.1,i/|/,t/c/,te", m_out, source});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(Output("mac.txt"), "a|b\rc\r\r\n");
}

// What each kind of command does with a source that holds nothing.
TEST_F(SourceInput, EmptySource) {
    const std::string source = Source("empty.txt", "");
    struct Case {
        const char* script;
        int exitStatus;
        std::string output;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"te", 0, "", {"empty.txt", kClean}},
        {"pe,i/x/", 0, "x\r\n", {"empty.txt", kClean}},
        {"t1", 1, "", {"empty.txt", "\tRun past end of file doing t1", kErrors}},
        {"pl", 1, "", {"empty.txt", "\tRun past end of file doing pl", kErrors}},
        {"t#0.0", 1, "", {"empty.txt", "\tRun past end of file doing t#0.0", kErrors}},
        {"i/kept/,l,r/a/b/", 1, "kept\r\n", {"empty.txt", "\tRun past end of file performing r/a/b/", kErrors}},
        {"i/kept/,g/a/b/", 0, "kept\r\n", {"empty.txt", "\tg/a/b/ caused 0, Replacements", kClean}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const CliResult run = RunCli({"-e", c.script, m_out, source});
        EXPECT_EQ(run.exitStatus, c.exitStatus) << run.err;
        EXPECT_EQ(run.OutLines(), c.lines);
        EXPECT_EQ(Output("empty.txt"), c.output);
        EXPECT_EQ(ReadFile(source), "");
    }
}

// A source that fails to open ends the batch; what ran before it stays.
TEST_F(SourceInput, SourceThatCannotBeOpenedEndsTheBatch) {
    const std::string first = Source("a.txt", "alpha\n");
    const std::string last = Source("c.txt", "gamma\n");
    struct Case {
        const char* name;
        std::string path;
        std::string cause;
    };
    MakeDir(m_dir / "folder.txt");
    const std::vector<Case> cases = {
        {"deleted after choosing", m_src + "/gone.txt", "No such file or directory"},
        {"a folder", m_dir / "folder.txt", "Is a directory"},
        {"a path through a file", m_src + "/a.txt/x.txt", "Not a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        unlink(OutputPath("a.txt").c_str());
        const CliResult run = RunCli({"-e", "te", m_out, first, c.path, last});
        EXPECT_EQ(run.exitStatus, 3);
        const std::string bareName = c.path.substr(c.path.rfind('/') + 1);
        EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"a.txt", bareName, "\t" + c.path + ": " + c.cause, kErrors}));
        EXPECT_NE(run.err.find(c.path + ": " + c.cause), std::string::npos) << run.err;
        EXPECT_EQ(Output("a.txt"), "alpha\r\n");
        EXPECT_FALSE(OutputExists(bareName));
        EXPECT_FALSE(OutputExists("c.txt"));
        EXPECT_EQ(ReadFile(first), "alpha\n");
        EXPECT_EQ(ReadFile(last), "gamma\n");
    }
}

// A file of a tree that is a link when the run opens it (planted after the
// tree was read) is not followed, at the end of its path or on the way: a
// file error, and the file outside the tree is never read.
TEST_F(SourceInput, TreeSourceThatBecameALinkIsNotFollowed) {
    WriteFile(m_dir / "secret", "private\n");
    MakeDir(m_src + "/sub");
    WriteFile(m_src + "/sub/b.txt", "bravo\n");
    ASSERT_EQ(symlink((m_dir / "secret").c_str(), (m_src + "/sub/a.txt").c_str()), 0);
    ASSERT_EQ(symlink("sub", (m_src + "/link").c_str()), 0);
    BatchRun batch;
    RecordingBatchWindow window;
    batch.SetWindow(&window);
    batch.m_arrScriptLines = {"te"};
    batch.m_bKeepGoing = true;
    batch.m_sources.AddInTree(m_src, "/sub/a.txt");
    batch.m_sources.AddInTree(m_src, "/link/b.txt");
    batch.m_sources.AddInTree(m_src, "/sub/b.txt");
    batch.m_strDestFolder = m_out;
    ASSERT_EQ(batch.PrepareStart(), StartResult::Ready);
    batch.RunBatch();
    const std::string notFollowed = ": a symbolic link on the way, not followed";
    EXPECT_EQ(window.fileErrors,
              (std::vector<std::string>{m_src + "/sub/a.txt" + notFollowed, m_src + "/link/b.txt" + notFollowed}));
    EXPECT_EQ(Output("sub/b.txt"), "bravo\r\n");
    EXPECT_FALSE(OutputExists("sub/a.txt"));
    EXPECT_FALSE(OutputExists("link"));
}

// Without read permission (root reads anything, so this needs another user).
TEST_F(SourceInput, UnreadableSource) {
    if (geteuid() == 0) GTEST_SKIP() << "root can read a file without read permission";
    const std::string source = Source("locked.txt", "secret\n");
    ASSERT_EQ(chmod(source.c_str(), 0), 0);
    const CliResult run = RunCli({"-e", "te", m_out, source});
    EXPECT_EQ(run.exitStatus, 3);
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"locked.txt", "\t" + source + ": Permission denied", kErrors}));
    EXPECT_FALSE(OutputExists("locked.txt"));
    chmod(source.c_str(), 0600);
}

// A read that fails part-way (reading /proc/self/mem from its start always
// does) ends that file, whose output is not put in place; the batch goes on.
TEST_F(SourceInput, ReadErrorEndsOnlyThatFile) {
    const std::string next = Source("next.txt", "next\n");
    const CliResult run = RunCli({"-e", "i/before/,l,te", m_out, "/proc/self/mem", next});
    EXPECT_EQ(run.exitStatus, 3);
    EXPECT_EQ(run.OutLines(),
              (std::vector<std::string>{"mem", "\t/proc/self/mem: Input/output error", "next.txt", kErrors}));
    EXPECT_FALSE(OutputExists("mem"));
    EXPECT_EQ(Output("next.txt"), "before\r\nnext\r\n");
}

}  // namespace
}  // namespace tavisk::test

namespace tavisk::test {
namespace {

#if !defined(__has_feature)
#define __has_feature(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || __has_feature(address_sanitizer) || \
    __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;  // shadow memory makes RSS meaningless
#else
constexpr bool kSanitized = false;
#endif

// A million names in a list: no argument-list limit, and memory that grows
// with the names only.  Few of them exist, so the run ends at the first missing.
TEST_F(SourceInput, AMillionNamesFromAListFile) {
    const std::string a = Source("a.txt", "a\n");
    const std::string b = Source("b.txt", "b\n");
    std::string list = a + '\0' + b + '\0';
    list.reserve(20u << 20);
    char name[32];
    for (int i = 0; i < 999'998; ++i) list.append(name, static_cast<size_t>(snprintf(name, sizeof name, "gone/f%07d", i)) + 1);
    WriteFile(m_dir / "names", list);

    const CliResult run = RunCli({"-0", "-T", m_dir / "names", "-e", "te", m_out});
    EXPECT_EQ(run.exitStatus, 3);
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"a.txt", "b.txt", "f0000000",
                                                        "\tgone/f0000000: No such file or directory", kErrors}));
    EXPECT_EQ(Output("b.txt"), "b\r\n");
    if (!kSanitized) {
        EXPECT_LT(run.peakRssKb, 150 * 1024) << "about 150 bytes a name at most";
    }
}

}  // namespace
}  // namespace tavisk::test
