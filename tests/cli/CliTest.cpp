// tavisk-cli end to end: files, standard streams and exit statuses, byte for byte.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <thread>

#include "RunProcess.h"
#include "TempDir.h"
#include "TestNames.h"

namespace tavisk {
namespace {

using test::FileExists;
using test::MakeDir;
using test::ProcessResult;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Every JSON line the tests see: each run with --json ends with exactly one
// verdict, and when the test program ends, every line is checked against the
// schema tavisk-cli ships.
class JsonLineCheck : public testing::Environment {
public:
    static void Note(const std::vector<std::string>& args, const ProcessResult& r) {
        if (std::find(args.begin(), args.end(), "--json") == args.end()) return;
        std::vector<std::string> lines;
        for (const auto& stream : {r.OutLines(), r.ErrLines()})
            for (const std::string& line : stream)
                if (line.starts_with("{\"type\":")) lines.push_back(line);
        const auto verdicts = std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.starts_with("{\"type\":\"verdict\"");
        });
        EXPECT_EQ(verdicts, 1) << r.out << r.err;
        EXPECT_TRUE(!lines.empty() && lines.back().starts_with("{\"type\":\"verdict\"")) << r.out << r.err;
        for (const std::string& line : lines) s_lines += line + "\n";
    }
    void TearDown() override {
        if (s_lines.empty()) return;
        TempDir dir;
        WriteFile(dir / "lines.jsonl", s_lines);
        const ProcessResult check = test::RunProcess("/usr/bin/python3", {TAVISK_JSON_CHECK, TAVISK_JSON_SCHEMA, dir / "lines.jsonl"});
        EXPECT_EQ(check.exitStatus, 0) << check.out << check.err;
    }

private:
    static inline std::string s_lines;
};
const testing::Environment* const g_jsonLineCheck = testing::AddGlobalTestEnvironment(new JsonLineCheck);

ProcessResult Cli(const std::vector<std::string>& args, const std::string& cwd = {}) {
    ProcessResult r = test::RunProcess(TAVISK_CLI_PATH, args, cwd);
    JsonLineCheck::Note(args, r);
    return r;
}

// Starts tavisk-cli with `args` (standard output to `outPath`), sends
// SIGINT once the output it writes in `folder` has `size` bytes (or after
// a thousand waits of `step`), and returns its exit status (-1: killed).
int InterruptWhenOutputGrows(const std::vector<std::string>& args, const std::string& outPath,
                             const std::string& folder, off_t size, std::chrono::milliseconds step) {
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        freopen(outPath.c_str(), "w", stdout);
        freopen("/dev/null", "w", stderr);
        std::vector<char*> argv{const_cast<char*>(TAVISK_CLI_PATH)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(TAVISK_CLI_PATH, argv.data());
        _exit(127);
    }
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);  // a loaded machine is slow
    while (test::OpenOutputSize(pid, folder) < size && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(step);
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
         std::vector<std::vector<std::string>>{{}, {"--bogus"}, {"-e"}, {"script.tvs"}, {"--check"}, {"-x", "a", "b"},
                                               {"--include", "*.txt", "-e", "te", "out", "a"}, {"-j", "-1", "s", "o"}}) {
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
    EXPECT_EQ(bad.err, "-e:2:3: White Spaces not allowed in script\n    t5 ,l\n    t5 \n");
    EXPECT_EQ(bad.out, "");

    WriteFile(dir / "script.tvs", "// comment\r\nte\r\ng/a/b\r\n");
    const ProcessResult fromFile = Cli({"--check", dir / "script.tvs"});
    EXPECT_EQ(fromFile.exitStatus, 2);
    EXPECT_EQ(fromFile.err, dir / "script.tvs" + ":3:2: Replacement Parameter2 terminator not found\n    g/a/b\n    g/\n");
}

TEST_F(CliFixture, SyntaxErrorTouchesNoFile) {
    const ProcessResult r = Cli({"-e", "te,x", out, src + "/a.txt"});
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.err, "-e:1:4: x : Command not recognised\n    te,x\n    x\n");
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
    EXPECT_EQ(same.err, "tavisk-cli: Destination Folder can't be the same as the source.\n");

    const ProcessResult none = Cli({"-e", "te", out});
    EXPECT_EQ(none.exitStatus, 3);
    EXPECT_EQ(none.err, "tavisk-cli: No Source File(s)\n");

    MakeDir(dir / "other");
    WriteFile(dir / "other/a.txt", "x\n");
    const ProcessResult twice = Cli({"-e", "te", out, src + "/a.txt", dir / "other/a.txt"});
    EXPECT_EQ(twice.exitStatus, 3);
    EXPECT_EQ(twice.err, "tavisk-cli: Source File names must differ: a.txt\n");
    EXPECT_FALSE(FileExists(out + "/a.txt"));

    WriteFile(dir / "empty.tvs", "");
    const ProcessResult empty = Cli({dir / "empty.tvs", out, src + "/a.txt"});
    EXPECT_EQ(empty.exitStatus, 3);
    EXPECT_EQ(empty.err, "tavisk-cli: Empty or No Control File\n");

    const ProcessResult missingScript = Cli({dir / "none.tvs", out, src + "/a.txt"});
    EXPECT_EQ(missingScript.exitStatus, 3);
    EXPECT_EQ(missingScript.err, "tavisk-cli: " + dir / "none.tvs" + ": No such file or directory\ntavisk-cli: Empty or No Control File\n");
}

TEST_F(CliFixture, FileErrorsGiveStatus3EvenWhenTheBatchWentOn) {
    const ProcessResult missing = Cli({"-e", "te", out, src + "/a.txt", src + "/gone.txt", src + "/b.txt"});
    EXPECT_EQ(missing.exitStatus, 3);
    const std::string error = src + "/gone.txt: No such file or directory";
    EXPECT_EQ(missing.err, "tavisk-cli: " + error + "\n");
    EXPECT_EQ(missing.out, "a.txt\ngone.txt\n\t" + error + "\n**** Errors during Processing\n");
    EXPECT_FALSE(FileExists(out + "/b.txt"));

    WriteFile(src + "/full", "data\n");
    WriteFile(src + "/null", "data\n");
    const ProcessResult full = Cli({"-e", "te", "/dev", src + "/full", src + "/null"});
    EXPECT_EQ(full.exitStatus, 3);
    EXPECT_EQ(full.err, "tavisk-cli: /dev/full: No space left on device\n");
    EXPECT_EQ(full.out, "full\n\t/dev/full: No space left on device\nnull\n**** Errors during Processing\n");
}

// ---------------------------------------------------------------- sources and scale

// A source tree: "{src}", "{out}" and "{dir}" in a row stand for its folders.
struct ScaleCase {
    const char* title;
    std::vector<std::string> args;
    std::string input;  // standard input
    int exitStatus;
    std::string out;
    std::string err;
    std::vector<std::pair<std::string, std::string>> outputs;  // path below {dir} and its bytes; "" = absent
};

std::string Expand(std::string text, const std::string& dir) {
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"{src}", dir + "/src"},
                                     {"{out}", dir + "/out"}, {"{dir}", dir}}) {
        for (size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
    }
    return text;
}

class ScaleOptions : public testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleOptions, GiveTheSourcesOutputsAndResponse) {
    const ScaleCase& c = GetParam();
    TempDir dir;
    const std::string src = dir / "src";
    MakeDir(src);
    MakeDir(dir / "out");
    MakeDir(src + "/sub");
    MakeDir(src + "/sub/deep");
    MakeDir(src + "/a-b");
    MakeDir(dir / "other");
    WriteFile(src + "/a.txt", "old a\n");
    WriteFile(src + "/sub/b.txt", "old b\n");
    WriteFile(src + "/sub/deep/c.md", "old c\n");
    WriteFile(src + "/a-b/d.txt", "old d\n");
    WriteFile(dir / "other/a.txt", "other\n");
    WriteFile(dir / "x\nname", "line feed in the name\n");
    symlink("sub", (src + "/link-to-folder").c_str());
    symlink("a.txt", (src + "/link.txt").c_str());
    WriteFile(dir / "list", Expand(c.input, dir.Path()));

    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(Expand(arg, dir.Path()));
    test::ProcessOptions options;
    options.workingDir = dir.Path();
    options.stdinPath = dir / "list";
    const ProcessResult r = test::RunProcess(TAVISK_CLI_PATH, args, options);
    JsonLineCheck::Note(args, r);
    EXPECT_EQ(r.exitStatus, c.exitStatus) << c.title;
    EXPECT_EQ(r.out, Expand(c.out, dir.Path())) << c.title;
    EXPECT_EQ(r.err, Expand(c.err, dir.Path())) << c.title;
    for (const auto& [path, bytes] : c.outputs) {
        EXPECT_EQ(FileExists(dir / path), !bytes.empty()) << c.title << ": " << path;
        if (!bytes.empty()) {
            EXPECT_EQ(ReadFile(dir / path), bytes) << c.title << ": " << path;
        }
    }
}

const std::string kClean = " Batch Completed without Errors\n";

// The one line --json writes for a run that did not go through its files.
std::string VerdictOnly(int sources, int exitStatus, const std::string& complaints = "[]", const std::string& syntax = "null") {
    return "{\"type\":\"verdict\",\"verdict\":\"\",\"errors\":0,\"sources\":" + std::to_string(sources) +
           ",\"ran\":0,\"written\":0,\"stopped\":false,\"exit\":" + std::to_string(exitStatus) +
           ",\"complaints\":" + complaints + ",\"syntax_error\":" + syntax + ",\"left_out\":0}\n";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ScaleOptions,
    testing::Values(
        ScaleCase{"a list after the arguments, empty lines skipped",
                  {"-e", "g/old/new/", "-T", "-", "{out}", "{src}/a.txt"}, "{src}/sub/b.txt\n\n{src}/a-b/d.txt", 0,
                  "a.txt\n\tg/old/new/ caused 1, Replacements\nb.txt\n\tg/old/new/ caused 1, Replacements\n"
                  "d.txt\n\tg/old/new/ caused 1, Replacements\n" + kClean, "",
                  {{"out/a.txt", "new a\r\n"}, {"out/b.txt", "new b\r\n"}, {"out/d.txt", "new d\r\n"}}},
        ScaleCase{"NUL-separated names keep every byte",
                  {"-q", "-e", "te", "-0", "--files-from", "list", "{out}"}, std::string("x\nname\0src/a.txt\0", 17), 0,
                  "", "", {{"out/x\nname", "line feed in the name\r\n"}, {"out/a.txt", "old a\r\n"}}},
        ScaleCase{"a list file that cannot be read refuses the run",
                  {"-e", "te", "-T", "{dir}/none", "{out}", "{src}/a.txt"}, "", 3, "",
                  "tavisk-cli: {dir}/none: No such file or directory\n", {{"out/a.txt", ""}}},
        ScaleCase{"a tree in the order of its relative paths; links left out and counted",
                  {"-R", "-e", "te", "{out}", "src/"}, "", 0,
                  "a-b/d.txt\na.txt\nsub/b.txt\nsub/deep/c.md\n" + kClean, "tavisk-cli: left out 2 symbolic links and special files found in the folders given\n",
                  {{"out/sub/deep/c.md", "old c\r\n"}, {"out/link.txt", ""}, {"out/link-to-folder", ""}}},
        ScaleCase{"globs on the relative path; ** crosses folders; an excluded folder is not entered",
                  {"-q", "-R", "--include", "**/*.txt", "--exclude", "a-b", "-e", "te", "{out}", "src"}, "", 0, "", "tavisk-cli: left out 1 symbolic link or special file found in the folders given\n",
                  {{"out/a.txt", "old a\r\n"}, {"out/sub/b.txt", "old b\r\n"}, {"out/sub/deep/c.md", ""}, {"out/a-b/d.txt", ""}}},
        ScaleCase{"a glob without / matches a name at any depth; * stays in one folder",
                  {"-R", "--include", "*.txt", "--exclude", "l*", "-e", "te", "{out}", "src"}, "", 0,
                  "a-b/d.txt\na.txt\nsub/b.txt\n" + kClean, "", {{"out/a.txt", "old a\r\n"}, {"out/sub/b.txt", "old b\r\n"}}},
        ScaleCase{"a glob with / is matched from the folder given; a trailing / matches folders only",
                  {"-R", "--exclude", "sub/deep", "--exclude", "/a.txt", "--exclude", "link*", "--exclude", "d.txt/",
                   "-e", "te", "{out}", "src"}, "", 0, "a-b/d.txt\nsub/b.txt\n" + kClean, "",
                  {{"out/sub/b.txt", "old b\r\n"}, {"out/sub/deep", ""}, {"out/a.txt", ""}}},
        ScaleCase{"two sources that would write one output",
                  {"-R", "-e", "te", "{out}", "src", "other"}, "", 3, "",
                  "tavisk-cli: left out 2 symbolic links and special files found in the folders given\n"
                  "tavisk-cli: Source File names must differ: a.txt\n", {{"out/a.txt", ""}}},
        ScaleCase{"a destination inside the tree is left out of it",
                  {"-R", "--exclude", "[al]*", "-e", "te", "src/sub/deep", "src/sub"}, "", 0, "b.txt\n" + kClean, "",
                  {}},
        ScaleCase{"keep going past a source that cannot be opened",
                  {"-k", "-e", "te", "{out}", "{src}/gone.txt", "{src}/a.txt"}, "", 3,
                  "gone.txt\n\t{src}/gone.txt: No such file or directory\na.txt\n**** Errors during Processing\n",
                  "tavisk-cli: {src}/gone.txt: No such file or directory\n", {{"out/a.txt", "old a\r\n"}}},
        ScaleCase{"filter mode: standard input to standard output, the response to standard error",
                  {"-e", "g/old/new/", "-", "-"}, "old in\nold\n", 0, "new in\r\nnew\r\n",
                  "-\n\tg/old/new/ caused 2, Replacements\n" + kClean, {}},
        ScaleCase{"filter mode keeps the line ends asked for",
                  {"-q", "--line-ends", "keep", "-e", "g/old/new/", "-", "-"}, "old in\r\nold", 0, "new in\r\nnew", "", {}},
        ScaleCase{"filter mode's dry run writes nothing",
                  {"-n", "-r", "log", "-e", "g/old/new/", "-", "-"}, "old\n", 0, "",
                  "-\n\tg/old/new/ caused 1, Replacements\n" + kClean, {{"log", ""}}},
        ScaleCase{"filter mode's diff compares with what standard input held",
                  {"-d", "--line-ends", "lf", "-e", "g/old/new/", "-", "-"}, "a\nold\n", 0,
                  "--- /dev/stdin\n+++ -\n@@ -1,2 +1,2 @@\n a\n-old\n+new\n",
                  "-\n\tg/old/new/ caused 1, Replacements\n" + kClean, {}},
        ScaleCase{"a tree's dry run makes no folders",
                  {"-q", "-R", "-n", "-j", "2", "-e", "te", "{out}", "src"}, "", 0, "", "tavisk-cli: left out 2 symbolic links and special files found in the folders given\n",
                  {{"out/sub", ""}, {"out/a-b", ""}, {"out/a.txt", ""}}},
        ScaleCase{"a tree's dry run names the folder a real run could not make",
                  {"-R", "-n", "-e", "te", "{dir}/none", "src"}, "", 3,
                  "a-b/d.txt\n\t{dir}/none/a-b: No such file or directory\n**** Errors during Processing\n",
                  "tavisk-cli: left out 2 symbolic links and special files found in the folders given\n"
                  "tavisk-cli: DEST-FOLDER {dir}/none does not exist (--mkpath makes it)\n"
                  "tavisk-cli: {dir}/none/a-b: No such file or directory\n", {{"none", ""}}},
        ScaleCase{"--diff and --json both want standard output; the JSON still ends in a verdict",
                  {"-d", "--json", "-e", "te", "{out}", "src/a.txt"}, "", 64,
                  VerdictOnly(0, 64),
                  "tavisk-cli: --diff and --json both write to standard output\n"
                  "Try 'tavisk-cli --help' for more information.\n", {}},
        ScaleCase{"filter mode with a file and a response file in the current folder",
                  {"-q", "-r", "log", "-e", "te", "-", "src/a.txt"}, "", 0, "old a\r\n", "", {{"log", "a.txt\r\n Batch Completed without Errors\r\n"}}},
        ScaleCase{"standard output holds one output only",
                  {"-e", "te", "-", "src/a.txt", "src/sub/b.txt"}, "", 64, "",
                  "tavisk-cli: DEST-FOLDER \"-\" (standard output) takes one source only\n"
                  "Try 'tavisk-cli --help' for more information.\n", {}},
        ScaleCase{"standard input needs standard output",
                  {"-e", "te", "{out}", "-"}, "", 64, "",
                  "tavisk-cli: a SOURCE \"-\" (standard input) needs DEST-FOLDER \"-\" (standard output)\n"
                  "Try 'tavisk-cli --help' for more information.\n", {}},
        ScaleCase{"bad job counts",
                  {"-j", "x", "-e", "te", "{out}", "src/a.txt"}, "", 64, "",
                  "tavisk-cli: --jobs takes a number from 0 to 1024, not 'x'\n"
                  "Try 'tavisk-cli --help' for more information.\n", {}},
        ScaleCase{"--check ignores the rest of a full command line",
                  {"--check", "-R", "-j", "4", "-e", "te", "{out}", "src"}, "", 0, "", "", {{"out/a.txt", ""}}},
        ScaleCase{"--mkpath makes DEST-FOLDER and its missing parents",
                  {"-q", "--mkpath", "-e", "te", "{dir}/new/deep/", "src/a.txt"}, "", 0, "", "",
                  {{"new/deep/a.txt", "old a\r\n"}}},
        ScaleCase{"--mkpath in a dry run says it would make DEST-FOLDER, makes nothing, and answers as the run",
                  {"-n", "--mkpath", "-e", "te", "{dir}/new/deep", "src/a.txt"}, "", 0, "a.txt\n" + kClean,
                  "tavisk-cli: would make DEST-FOLDER {dir}/new/deep (--mkpath)\n", {{"new", ""}}},
        ScaleCase{"--mkpath through a file is an error before the run",
                  {"--json", "--mkpath", "-e", "te", "{dir}/list/sub", "src/a.txt"}, "", 3,
                  VerdictOnly(1, 3),
                  "tavisk-cli: cannot make DEST-FOLDER: {dir}/list: Not a directory\n", {}},
        ScaleCase{"--mkpath makes nothing for a refused start",
                  {"--mkpath", "-e", "te", "{dir}/new/deep", "src/a.txt", "other/a.txt"}, "", 3, "",
                  "tavisk-cli: Source File names must differ: a.txt\n", {{"new", ""}}},
        ScaleCase{"--mkpath checks again what DEST-FOLDER names once it is made, and takes it back",
                  {"--mkpath", "-e", "te", "new/../src", "src/a.txt"}, "", 3, "",
                  "tavisk-cli: Output would overwrite an input: new/../src/a.txt\n", {{"new", ""}, {"src/a.txt", "old a\n"}}},
        ScaleCase{"a file as DEST-FOLDER and a folder as a source without -R are said plainly",
                  {"-e", "te", "list", "out", "src/a.txt"}, "", 3, "out\n\t./out: Is a directory\n**** Errors during Processing\n",
                  "tavisk-cli: out: a folder; -R takes folders and every file under them\n"
                  "tavisk-cli: DEST-FOLDER list is not a folder\ntavisk-cli: ./out: Is a directory\n", {}},
        ScaleCase{"a list with CR LF line ends is named as such",
                  {"-q", "-T", "-", "-e", "te", "{out}"}, "src/a.txt\r\nsrc/sub/b.txt\r\n", 3, "",
                  "tavisk-cli: standard input: the list has CR LF line ends; its names keep the CR and are not found "
                  "(tr -d '\\r' gives LF lines)\ntavisk-cli: src/a.txt\r: No such file or directory\n", {}},
        ScaleCase{"CONTROL-FILE - reads the script from standard input",
                  {"-", "{out}", "src/a.txt"}, "// comment\r\ng/old/new/\n", 0,
                  "a.txt\n\tg/old/new/ caused 1, Replacements\n" + kClean, "", {{"out/a.txt", "new a\r\n"}}},
        ScaleCase{"a syntax error in a script from standard input is named -",
                  {"--json", "-", "{out}", "src/a.txt"}, "te\nt5 ,l\n", 2,
                  VerdictOnly(1, 2, "[]",
                              "{\"file\":\"-\",\"line\":2,\"column\":3,\"message\":\"White Spaces not allowed in script\","
                              "\"text\":\"t5 ,l\",\"portion\":\"t5 \"}"),
                  "-:2:3: White Spaces not allowed in script\n    t5 ,l\n    t5 \n", {{"out/a.txt", ""}}},
        ScaleCase{"CONTROL-FILE - leaves standard input to no source",
                  {"--json", "-", "-", "-"}, "", 64, "",
                  "tavisk-cli: CONTROL-FILE \"-\" reads standard input: no SOURCE or --files-from may be \"-\" as well\n"
                  "Try 'tavisk-cli --help' for more information.\n" + VerdictOnly(0, 64), {}},
        ScaleCase{"a refused run's JSON verdict carries its complaints",
                  {"--json", "-e", "te", "{src}", "{src}/a.txt", "other/a.txt"}, "", 3,
                  VerdictOnly(2, 3,
                              "[\"Destination Folder can't be the same as the source.\",\"Source File names must differ: a.txt\","
                              "\"Output would overwrite an input: {src}/a.txt\"]"),
                  "tavisk-cli: Destination Folder can't be the same as the source.\n"
                  "tavisk-cli: Source File names must differ: a.txt\ntavisk-cli: Output would overwrite an input: {src}/a.txt\n",
                  {}},
        ScaleCase{"--check with --json: a clean script",
                  {"--json", "--check", "-e", "te"}, "", 0,
                  VerdictOnly(0, 0), "", {}},
        ScaleCase{"a list that cannot be read, with --json",
                  {"--json", "-e", "te", "-T", "{dir}/none", "{out}", "{src}/a.txt"}, "", 3,
                  VerdictOnly(1, 3),
                  "tavisk-cli: {dir}/none: No such file or directory\n", {}},
        ScaleCase{"JSON counts the replacements; debug mode sends it to standard error",
                  {"--json", "-g", "-e", "g/o/0/", "{out}", "src/a.txt"}, "", 0, "0ld a\r\n",
                  "{\"type\":\"source\",\"source\":\"src/a.txt\",\"name\":\"a.txt\",\"output\":\"-\",\"ran\":true,"
                  "\"replacements\":1,\"opened\":true,\"written\":false,\"stopped\":false,\"errors\":0,"
                  "\"messages\":[\"g/o/0/ caused 1, Replacements\"]}\n"
                  "{\"type\":\"verdict\",\"verdict\":\" Batch Completed without Errors\",\"errors\":0,\"sources\":1,"
                  "\"ran\":1,\"written\":0,\"stopped\":false,\"exit\":0,\"complaints\":[],\"syntax_error\":null,"
                  "\"left_out\":0}\n", {}},
        ScaleCase{"--color=always colours the diff as git does",
                  {"-q", "-d", "--color=always", "--line-ends", "lf", "-e", "g/old/new/", "-", "-"}, "a\nold\n", 0,
                  "\033[1m--- /dev/stdin\033[m\n\033[1m+++ -\033[m\n\033[36m@@ -1,2 +1,2 @@\033[m\n a\n"
                  "\033[31m-old\033[m\n\033[32m+new\033[m\n", "", {}},
        ScaleCase{"--color=never, and the line ends that change are said under +++",
                  {"-q", "-d", "--color", "never", "-e", "g/old/new/", "-", "-"}, "a\nold\n", 0,
                  "--- /dev/stdin\n+++ -\nLine ends change as well: LF to CR LF\n@@ -1,2 +1,2 @@\n a\n-old\n+new\n", "", {}},
        ScaleCase{"bad --color",
                  {"--color", "sometimes", "-e", "te", "{out}", "src/a.txt"}, "", 64, "",
                  "tavisk-cli: --color takes auto, always or never, not 'sometimes'\n"
                  "Try 'tavisk-cli --help' for more information.\n", {}},
        ScaleCase{"a control file that cannot be loaded is listed with the other complaints",
                  {"none.tvs", "{src}"}, "", 3, "",
                  "tavisk-cli: none.tvs: No such file or directory\ntavisk-cli: Empty or No Control File\n"
                  "tavisk-cli: No Source File(s)\n", {}}),
    test::NameRowsBy<ScaleCase>([](const ScaleCase& c) { return std::string(c.title); }));

TEST_F(CliFixture, JsonLinesParseAndKeepNamesThatAreNotUtf8) {
    const std::string odd = "caf\xe9 \"q\"\t.txt";  // Latin-1, a quote and a tab
    WriteFile(src + "/" + odd, "old\n");
    const ProcessResult r = Cli({"--json", "-k", "-e", "r/old/new/,te", out, src + "/" + odd, src + "/gone", src + "/b.txt"});
    EXPECT_EQ(r.exitStatus, 3);
    WriteFile(dir / "lines", r.out);
    // Each line through Python's own parser; names back to bytes by the documented scheme.
    const ProcessResult py = test::RunProcess(
        "/usr/bin/python3",
        {"-c",
         "import json,sys\n"
         "for line in open(sys.argv[1], encoding='utf-8'):\n"
         "    o = json.loads(line)\n"
         "    if 'name' in o: print(o['name'].encode('utf-8', 'surrogateescape').hex(), o['ran'], o.get('written'),"
         " o.get('errors'), len(o.get('messages', [])))\n"
         "    else: print(o['verdict'], o['errors'], o['sources'], o['ran'], o['written'], o['stopped'], o['exit'])\n",
         dir / "lines"});
    ASSERT_EQ(py.exitStatus, 0) << py.err;
    std::string hex;
    for (unsigned char c : odd) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
    EXPECT_EQ(py.out, hex + " True True 0 0\n" + "676f6e65 True False 1 1\n" +
                          "622e747874 True True 1 1\n**** Errors during Processing 2 3 3 2 False 3\n");
    EXPECT_EQ(ReadFile(out + "/" + odd), "new\r\n");
}

// Everything a run leaves: exit status, both streams, every file in DEST.
struct RunRecord {
    int exitStatus;
    std::string out, err;
    std::map<std::string, std::string> files;
    bool operator==(const RunRecord&) const = default;
};

void PrintTo(const RunRecord& r, std::ostream* os) {
    *os << "exit " << r.exitStatus << "\nout:\n" << r.out << "err:\n" << r.err << r.files.size() << " files";
    for (const auto& [name, bytes] : r.files) *os << "\n" << name << ": " << testing::PrintToString(bytes);
}

RunRecord RecordRun(std::vector<std::string> args, const std::string& dest) {
    const ProcessResult r = Cli(args);
    RunRecord record{r.exitStatus, r.out, r.err, {}};
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dest))
        if (entry.is_regular_file()) record.files[entry.path().string().substr(dest.size())] = ReadFile(entry.path());
    return record;
}

// Random scripts over a few hundred files: any number of jobs gives what one
// job gives, byte for byte, also where the batch ends early or goes on past
// sources that cannot be opened, with each style of line ends, and in a dry
// run or a diff.
TEST(CliJobs, FourJobsLeaveExactlyWhatOneJobLeaves) {
    std::mt19937 random(12);
    const auto pick = [&](std::initializer_list<const char*> choices) {
        return std::string(choices.begin()[random() % choices.size()]);
    };
    TempDir dir;
    MakeDir(dir / "src");
    MakeDir(dir / "src/sub");
    MakeDir(dir / "extra");
    WriteFile(dir / "extra/e1", "ab\nb\n");
    WriteFile(dir / "extra/e2", "x\n");
    std::vector<std::string> names;
    for (int f = 0; f < 300; ++f) {
        std::string text;
        for (int line = static_cast<int>(random() % 12); line > 0; --line) {
            for (int word = static_cast<int>(random() % 6); word > 0; --word) text += pick({"ab", "b", "cab ", "x", "a b", "ba"});
            text += random() % 4 ? "\n" : "\r\n";
        }
        names.push_back((f % 3 ? "src/f" : "src/sub/g") + std::to_string(f));
        WriteFile(dir / names.back(), text);
    }
    int compared = 0;
    for (int round = 0; round < 32; ++round) {
        std::string script;
        for (int command = 1 + static_cast<int>(random() % 5); command > 0; --command) {
            script += pick({"r/ab/X/,", "g/b/YY/", "t1,", "p1,", "l,", "i/<>/,", "tc/cab/,", "pa/x/,", "ts/b/,", "t.2,",
                            "(r/a/A/,)3", "t#4,", "pl,", "t/b/,", "e"});
        }
        script += pick({"te", "", "r/zz/q/,te"});
        if (Cli({"--check", "-e", script}).exitStatus != 0) continue;
        std::vector<std::string> args{"-r", "log", "-e", script};
        if (round % 3 == 1) args.push_back("-k");
        const char* preview = round % 4 == 1 ? "-n" : round % 4 == 3 ? "-d" : nullptr;  // outputs never written
        if (preview) args.push_back(preview);
        if (round % 2 && round % 4 != 3) args.push_back("--json");  // --diff owns standard output
        args.insert(args.end(), {"--line-ends", pick({"crlf", "lf", "keep"})});
        args.push_back("-R");
        const bool endsEarly = round % 3 != 0;  // a source that cannot be opened in the middle
        std::vector<std::string> sources{dir / "src"};
        if (endsEarly) sources.insert(sources.begin(), {dir / "extra/e1", dir / "missing/m", dir / "extra/e2"});
        RunRecord one, four;
        for (const auto& [jobs, record] : {std::pair{"1", &one}, std::pair{"4", &four}}) {
            const std::string dest = dir / "out";  // one name, as the response lines name it
            std::filesystem::remove_all(dest);
            MakeDir(dest);
            std::vector<std::string> run = args;
            run.insert(run.end(), {"-j", jobs, dest});
            run.insert(run.end(), sources.begin(), sources.end());
            *record = RecordRun(run, dest);
        }
        EXPECT_EQ(one, four) << "script " << script << (round % 3 == 1 ? " with -k" : "") << " " << (preview ? preview : "");
        EXPECT_EQ(one.files.empty(), preview != nullptr);
        ++compared;
    }
    EXPECT_GE(compared, 12);
}

// At a terminal (script(1) gives the run one): colour by default unless
// NO_COLOR, and one hint when the default CR LF met LF sources.
TEST_F(CliFixture, AtATerminalDiffsAreColouredAndLfSourcesGetAHint) {
    struct TerminalCase {
        const char* environment;
        std::string args;
        bool hint;
        bool colour;
    };
    const std::string hint = "--line-ends keep keeps them as they were";
    const TerminalCase cases[] = {
        {"", "-e te out src/a.txt", true, false},
        {"", "--line-ends crlf -e te out src/a.txt", false, false},
        {"", "-e te out src/b.txt", false, false},
        {"", "-d -e g/old/new/ out src/a.txt", true, true},
        {"NO_COLOR=1", "-d -e g/old/new/ out src/a.txt", true, false},
        {"NO_COLOR=1", "-d --color=always -e g/old/new/ out src/a.txt", true, true},
        {"", "-d --color=never -e g/old/new/ out src/a.txt", true, false},
    };
    for (const TerminalCase& c : cases) {
        const std::string command = "cd " + dir.Path() + " && " + c.environment + " script -qec '" + TAVISK_CLI_PATH + " " +
                                    c.args + "' /dev/null";
        const ProcessResult r = test::RunProcess("/bin/sh", {"-c", command});
        EXPECT_EQ(r.out.find(hint) != std::string::npos, c.hint) << c.args << "\n" << r.out;
        EXPECT_EQ(r.out.find("\033[31m-an old line\033[m") != std::string::npos, c.colour) << c.args << "\n" << r.out;
        EXPECT_NE(r.out.find(c.args.starts_with("-d") ? "+an new line" : "Batch Completed"), std::string::npos) << r.out;
    }
}

// Sets an environment variable for the runs of one test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) { setenv(name, value, 1); }
    ~ScopedEnv() { unsetenv(m_name); }

private:
    const char* m_name;
};

// A text with something at every boundary of 64-byte pieces: a match across
// it or right after it, an LF just before it or on it, a CR LF split by it,
// or nothing (a line runs on); random short lines between.
std::string TextWithPieceBoundaries(std::mt19937& random, size_t pieces) {
    std::string text(pieces * 64, 'a');
    for (char& c : text) c = "abold \n"[random() % 7];
    for (size_t k = 1; k < pieces; ++k) {
        const size_t at = k * 64;
        switch (k % 6) {
        case 0: text.replace(at - 1, 3, "old"); break;
        case 1: text[at - 1] = '\n'; break;
        case 2: text.replace(at - 1, 2, "\r\n"); break;
        case 3: text[at] = '\n'; break;
        case 4: text.replace(at - 1, 4, "\nold"); break;
        default: std::fill_n(text.begin() + static_cast<long>(at) - 30, 60, 'o'); break;
        }
    }
    return text;
}

// One file in pieces of 64 bytes (TAVISK_PIECE_BYTES), edited by four jobs,
// gives what one job gives byte for byte: matches and CR LF at piece
// boundaries, lines longer than a piece and longer than a worker takes,
// a last line without an end, streams that start part-way into the file,
// and each style of line ends.
TEST(CliJobs, PiecesOfOneFileLeaveExactlyWhatOneJobLeaves) {
    std::mt19937 random(20);
    TempDir dir;
    MakeDir(dir / "src");
    const std::string withLongLines = [&] {
        std::string text;
        for (int line = 0; line < 120; ++line) {
            const size_t length = line % 10 == 3 ? 100 : line % 25 == 7 ? 2000 : random() % 50;
            for (size_t i = 0; i < length; ++i) text += "abold"[random() % 5];
            text += line % 2 ? "\r\n" : "\n";
        }
        return text;
    }();
    const std::vector<std::pair<std::string, std::string>> files{
        {"boundaries", TextWithPieceBoundaries(random, 120) + "\n"},
        {"no-last-end", TextWithPieceBoundaries(random, 90) + "old at the end"},
        {"long-lines", withLongLines + "last old"},
        {"one-line", std::string(5000, 'o') + "ld\r\n"},
        {"no-line-end-at-all", std::string(5000, 'o') + "ld\r"},
        {"empty-lines", std::string(3000, '\n') + "old\r\n\r\n"},
    };
    for (const auto& [name, text] : files) WriteFile(dir / ("src/" + name), text);
    const std::vector<std::string> scripts{"g/old/new/", "te", "pe,i/x/", "t3,g/ol/L/", "r/old/X/,te,i/end/",
                                           "g/o/ooo/", "t.5,pe", "te,t#2"};
    for (const auto& [name, text] : files) {
        for (const std::string& script : scripts) {
            for (const char* ends : {"crlf", "lf", "keep"}) {
                RunRecord one, four;
                for (const auto& [jobs, record] : {std::pair{"1", &one}, std::pair{"4", &four}}) {
                    const std::string dest = dir / "out";
                    std::filesystem::remove_all(dest);
                    MakeDir(dest);
                    const ScopedEnv pieces("TAVISK_PIECE_BYTES", *jobs == '1' ? "100000000" : "64");
                    *record = RecordRun({"-e", script, "--line-ends", ends, "-j", jobs, dest, dir / ("src/" + name)}, dest);
                }
                EXPECT_EQ(one, four) << name << " with " << script << " --line-ends " << ends;
            }
        }
    }
    // A write error in the middle ends the file as with one job.
    const ScopedEnv pieces("TAVISK_PIECE_BYTES", "64");
    const ProcessResult full = test::RunProcess(
        "/bin/sh", {"-c", std::string(TAVISK_CLI_PATH) + " -j 4 -e g/old/new/ - " + dir / "src/boundaries" + " > /dev/full"});
    EXPECT_EQ(full.exitStatus, 3);
    EXPECT_NE(full.err.find("standard output: No space left on device"), std::string::npos) << full.err;
}

// A stop while four workers edit pieces of one file ends the run as with
// one job: the output is dropped, the response lines say so, exit 130.
TEST_F(CliFixture, InterruptInTheMiddleOfAFileInPieces) {
    std::string text;
    for (int line = 0; line < 400000; ++line) text += "an old line and another old line, to be made longer\n";
    WriteFile(src + "/big.txt", text);
    WriteFile(out + "/big.txt", "the previous output\r\n");
    const ScopedEnv pieces("TAVISK_PIECE_BYTES", "65536");
    const std::string outPath = dir / "stdout";
    EXPECT_EQ(InterruptWhenOutputGrows({"-j", "4", "-e", "g/o/oooooooooooooooo/", out, src + "/big.txt"}, outPath, out,
                                       1 << 20, std::chrono::milliseconds(1)),
              130);
    EXPECT_EQ(ReadFile(out + "/big.txt"), "the previous output\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), std::filesystem::directory_iterator()), 1);
    EXPECT_EQ(ReadFile(outPath), "big.txt\n\tBatch stopped before its end\n**** Errors during Processing\n");
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

// Every entry under `folder` with its bytes (or link target), in name order.
std::string FolderSnapshot(const std::string& folder) {
    std::string snapshot;
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    for (const auto& path : paths) {
        snapshot += path.string() + "\n";
        if (std::filesystem::is_symlink(path)) snapshot += "-> " + std::filesystem::read_symlink(path).string() + "\n";
        else if (std::filesystem::is_regular_file(path)) snapshot += ReadFile(path.string()) + "\n";
    }
    return snapshot;
}

TEST_F(CliFixture, DryRunAndDiffWriteNothingAndAnswerAsARealRun) {
    WriteFile(out + "/a.txt", "an older output\r\n");
    ASSERT_EQ(symlink("a.txt", (out + "/link.txt").c_str()), 0);
    MakeDir(out + "/sub");
    WriteFile(out + "/.tavisk-partial-abcdef-a.txt", "left by a killed run");  // a real run removes it
    WriteFile(src + "/c.txt", "x\ny\n");
    const std::string before = FolderSnapshot(dir.Path());
    const std::vector<std::string> sources = {src + "/a.txt", src + "/b.txt", src + "/c.txt", src + "/gone.txt"};
    std::vector<std::string> args = {"-r", "resp.txt", "-e", "r/old/new/,te", out};
    args.insert(args.end(), sources.begin(), sources.end());

    std::vector<std::string> dryArgs = args;
    dryArgs.insert(dryArgs.begin(), "-n");
    const ProcessResult dry = Cli(dryArgs);
    std::vector<std::string> diffArgs = args;
    diffArgs.insert(diffArgs.begin(), "--diff");
    const ProcessResult diff = Cli(diffArgs);
    EXPECT_EQ(FolderSnapshot(dir.Path()), before);

    const ProcessResult real = Cli(args);
    EXPECT_EQ(real.exitStatus, 3);
    EXPECT_EQ(dry.exitStatus, real.exitStatus);
    EXPECT_EQ(dry.out, real.out);
    EXPECT_EQ(dry.err, real.err);
    EXPECT_EQ(diff.exitStatus, real.exitStatus);
    EXPECT_EQ(diff.err, real.err + real.out);  // the response lines after the file error
    EXPECT_EQ(diff.out, "--- " + src + "/a.txt\n+++ " + out + "/a.txt\nLine ends change as well: LF to CR LF\n@@ -1,2 +1,2 @@\n-an old line\n+an new line\n nothing\n"
                        "Files " + src + "/c.txt and " + out + "/c.txt differ only in their line ends\n");
    EXPECT_TRUE(FileExists(out + "/resp.txt"));
}

TEST_F(CliFixture, DryRunReportsAnOutputThatCouldNotBeCreated) {
    const ProcessResult r = Cli({"-n", "-e", "te", dir / "none", src + "/a.txt"});
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_EQ(r.err, "tavisk-cli: DEST-FOLDER " + dir / "none does not exist (--mkpath makes it)\ntavisk-cli: " + dir /
                         "none/a.txt: No such file or directory\n");
    EXPECT_FALSE(FileExists(dir / "none"));
    const ProcessResult keep = Cli({"-d", "--line-ends", "keep", "-e", "te", out, src + "/a.txt", src + "/b.txt"});
    EXPECT_EQ(keep.exitStatus, 0);
    EXPECT_EQ(keep.out, "");
    EXPECT_EQ(Cli({"--line-ends", "cr", "-e", "te", out, src + "/a.txt"}).exitStatus, 64);
    EXPECT_EQ(Cli({"-d", "-g", "-e", "te", out, src + "/a.txt"}).exitStatus, 64);
}

// With four jobs a.txt is done long before the stop, and still not written:
// outputs are committed in source order, and the batch ended before it.
TEST_F(CliFixture, InterruptEndsTheRunAndDropsTheFileInProgress) {
    WriteFile(src + "/c.txt", "c\n");
    for (const char* jobs : {"1", "4"}) {
        WriteFile(out + "/c.txt", "the previous output\r\n");
        const std::string outPath = dir / "stdout";
        EXPECT_EQ(InterruptWhenOutputGrows({"-j", jobs, "-e", "(i/x/,l)4294967295", out, src + "/c.txt", src + "/a.txt"},
                                           outPath, out, 4 << 20, std::chrono::milliseconds(10)),
                  130)
            << "-j " << jobs;
        EXPECT_EQ(ReadFile(out + "/c.txt"), "the previous output\r\n");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), std::filesystem::directory_iterator()), 1)
            << "-j " << jobs << ": a.txt, or a partial file, was left";
        EXPECT_EQ(ReadFile(outPath), "c.txt\n\tBatch stopped before its end\n**** Errors during Processing\n");
    }
}

}  // namespace
}  // namespace tavisk
