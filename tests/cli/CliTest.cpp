// tavisk-cli end to end: files, standard streams and exit statuses, byte for byte.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "RunProcess.h"
#include "TempDir.h"

namespace tavisk {
namespace {

using test::FileExists;
using test::MakeDir;
using test::ProcessResult;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

ProcessResult Cli(const std::vector<std::string>& args, const std::string& cwd = {}) {
    return test::RunProcess(TAVISK_CLI_PATH, args, cwd);
}

struct CliFixture : testing::Test {
    TempDir dir;
    std::string src = dir / "src";
    std::string out = dir / "out";
    CliFixture() {
        MakeDir(src);
        MakeDir(out);
        WriteFile(src + "/a.txt", "an old line\nnothing\n");
        WriteFile(src + "/b.txt", "b line\r\n");
    }
};

TEST(CliUsage, BadUsageIs64AndHelpAndVersionAreZero) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{}, {"--bogus"}, {"-e"}, {"script.tvs"}, {"--check"}, {"-x", "a", "b"}}) {
        const ProcessResult r = Cli(args);
        EXPECT_EQ(r.exitStatus, 64) << (args.empty() ? "(none)" : args[0]);
        EXPECT_NE(r.err.find("Try 'tavisk-cli --help'"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    const ProcessResult help = Cli({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.out.rfind("Usage: tavisk-cli", 0), 0u);
    const ProcessResult version = Cli({"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out.rfind("tavisk-cli ", 0), 0u);
}

TEST_F(CliFixture, CheckPrintsNothingWhenCleanAndTheErrorWhenNot) {
    const ProcessResult clean = Cli({"--check", "-e", "r/old/new/,te"});
    EXPECT_EQ(clean.exitStatus, 0);
    EXPECT_EQ(clean.out + clean.err, "");

    const ProcessResult bad = Cli({"-c", "-e", "te", "-e", "t5 ,l"});
    EXPECT_EQ(bad.exitStatus, 2);
    EXPECT_EQ(bad.err, "-e:2: White Spaces not allowed in script\n    t5 ,l\n    t5 \n");
    EXPECT_EQ(bad.out, "");

    WriteFile(dir / "script.tvs", "// comment\r\nte\r\ng/a/b\r\n");
    const ProcessResult fromFile = Cli({"--check", dir / "script.tvs"});
    EXPECT_EQ(fromFile.exitStatus, 2);
    EXPECT_EQ(fromFile.err, dir / "script.tvs" + ":3: Replacement Parameter2 terminator not found\n    g/a/b\n    g/\n");
}

TEST_F(CliFixture, SyntaxErrorTouchesNoFile) {
    const ProcessResult r = Cli({"-e", "te,x", out, src + "/a.txt"});
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.err, "-e:1: x : Command not recognised\n    te,x\n    x\n");
    EXPECT_FALSE(FileExists(out + "/a.txt"));
}

TEST_F(CliFixture, RunWritesOutputsAndPrintsResponseLines) {
    WriteFile(dir / "script.tvs", "r/old/new/,te\n");
    const ProcessResult r = Cli({dir / "script.tvs", out, src + "/a.txt", src + "/b.txt"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "a.txt\nb.txt\n\tRun past end of file performing r/old/new/,\n**** Errors during Processing\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFile(out + "/a.txt"), "an new line\r\nnothing\r\n");
    EXPECT_EQ(ReadFile(out + "/b.txt"), "b line\r\n");

    const ProcessResult clean = Cli({"-q", "-e", "g/line/LINE/", out, src + "/a.txt", src + "/b.txt"});
    EXPECT_EQ(clean.exitStatus, 0);
    EXPECT_EQ(clean.out, "");
    EXPECT_EQ(ReadFile(out + "/b.txt"), "b LINE\r\n");
}

TEST_F(CliFixture, RelativeSourcesAndResponseFile) {
    const ProcessResult r = Cli({"-r", "log.txt", "-e", "te", "../out", "a.txt"}, src);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(ReadFile(out + "/a.txt"), "an old line\r\nnothing\r\n");
    EXPECT_EQ(ReadFile(out + "/log.txt"), "a.txt\r\n Batch Completed without Errors\r\n");
}

TEST_F(CliFixture, StartComplaintsAreRefusedWithStatus3) {
    const ProcessResult same = Cli({"-e", "te", src, src + "/a.txt"});
    EXPECT_EQ(same.exitStatus, 3);
    EXPECT_EQ(same.err, "Destination Folder can't be the same as the source.\n");

    const ProcessResult none = Cli({"-e", "te", out});
    EXPECT_EQ(none.exitStatus, 3);
    EXPECT_EQ(none.err, "No Source File(s)\n");

    MakeDir(dir / "other");
    WriteFile(dir / "other/a.txt", "x\n");
    const ProcessResult twice = Cli({"-e", "te", out, src + "/a.txt", dir / "other/a.txt"});
    EXPECT_EQ(twice.exitStatus, 3);
    EXPECT_EQ(twice.err, "Source File names must differ: a.txt\n");
    EXPECT_FALSE(FileExists(out + "/a.txt"));

    WriteFile(dir / "empty.tvs", "");
    const ProcessResult empty = Cli({dir / "empty.tvs", out, src + "/a.txt"});
    EXPECT_EQ(empty.exitStatus, 3);
    EXPECT_EQ(empty.err, "Empty or No Control File\n");

    const ProcessResult missingScript = Cli({dir / "none.tvs", out, src + "/a.txt"});
    EXPECT_EQ(missingScript.exitStatus, 3);
    EXPECT_EQ(missingScript.err, dir / "none.tvs" + ": No such file or directory\nEmpty or No Control File\n");
}

TEST_F(CliFixture, FileErrorsGiveStatus3EvenWhenTheBatchWentOn) {
    const ProcessResult missing = Cli({"-e", "te", out, src + "/a.txt", src + "/gone.txt", src + "/b.txt"});
    EXPECT_EQ(missing.exitStatus, 3);
    const std::string error = src + "/gone.txt: No such file or directory";
    EXPECT_EQ(missing.err, error + "\n");
    EXPECT_EQ(missing.out, "a.txt\ngone.txt\n\t" + error + "\n**** Errors during Processing\n");
    EXPECT_FALSE(FileExists(out + "/b.txt"));

    WriteFile(src + "/full", "data\n");
    WriteFile(src + "/null", "data\n");
    const ProcessResult full = Cli({"-e", "te", "/dev", src + "/full", src + "/null"});
    EXPECT_EQ(full.exitStatus, 3);
    EXPECT_EQ(full.err, "/dev/full: No space left on device\n");
    EXPECT_EQ(full.out, "full\n\t/dev/full: No space left on device\nnull\n**** Errors during Processing\n");
}

TEST_F(CliFixture, DebugSendsTheEditedTextToStandardOutput) {
    const ProcessResult r = Cli({"-g", "-e", "r/old/OLD/,te", out, src + "/a.txt", src + "/b.txt"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "an OLD line\r\nnothing\r\n");
    EXPECT_EQ(r.err, "a.txt\n Batch Completed without Errors\n");
    EXPECT_FALSE(FileExists(out + "/a.txt"));
}

TEST_F(CliFixture, ExpressionWithAPercentAndAFailedStandardOutput) {
    const ProcessResult r = Cli({"-e", "r/%s%i/x/", out, src + "/b.txt"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "b.txt\n\tRun past end of file performing r/%s%i/x/\n**** Errors during Processing\n");

    const ProcessResult sh = test::RunProcess("/bin/sh", {"-c", std::string(TAVISK_CLI_PATH) + " -e te " + out + " " +
                                                                    src + "/a.txt > /dev/full"});
    EXPECT_EQ(sh.exitStatus, 3);
    EXPECT_NE(sh.err.find("standard output: No space left on device"), std::string::npos);
}

// The size of the largest file process `pid` holds open in `folder`: the
// output being written, which has no name there yet.
off_t OpenOutputSize(pid_t pid, const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    const std::string prefix = fs::canonical(folder, error).string() + "/";
    off_t largest = 0;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const std::string target = fs::read_symlink(entry.path(), error).string();
        struct stat info {};
        if (target.rfind(prefix, 0) == 0 && stat(entry.path().c_str(), &info) == 0) largest = std::max(largest, info.st_size);
    }
    return largest;
}

TEST_F(CliFixture, InterruptEndsTheRunAndDropsTheFileInProgress) {
    WriteFile(src + "/c.txt", "c\n");
    WriteFile(out + "/c.txt", "the previous output\r\n");
    const std::string outPath = dir / "stdout";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        freopen(outPath.c_str(), "w", stdout);
        freopen("/dev/null", "w", stderr);
        execl(TAVISK_CLI_PATH, TAVISK_CLI_PATH, "-e", "(i/x/,l)4294967295", out.c_str(), (src + "/c.txt").c_str(),
              (src + "/a.txt").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 1000 && OpenOutputSize(pid, out) < (4 << 20); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(ReadFile(out + "/c.txt"), "the previous output\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), std::filesystem::directory_iterator()), 1);
    EXPECT_FALSE(FileExists(out + "/a.txt"));
    EXPECT_EQ(ReadFile(outPath), "c.txt\n\tBatch stopped before its end\n**** Errors during Processing\n");
}

}  // namespace
}  // namespace tavisk
