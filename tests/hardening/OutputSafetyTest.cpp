// Outputs that can never destroy data.  Each scene is built in a throwaway
// folder and tavisk-cli runs once over it; then every file that must survive
// is compared, byte for byte and with its permission bits, with what it held
// before, and every output with what it must hold.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "HardeningFixture.h"
#include "engine/StandardDescriptors.h"

namespace tavisk::test {
namespace {

struct FileState {
    std::string bytes;  // a link's target for a link
    mode_t mode = 0;
    bool link = false;
    bool operator==(const FileState& other) const {
        return bytes == other.bytes && mode == other.mode && link == other.link;
    }
};

// Every file and link under `root`, by path relative to it.
std::map<std::string, FileState> Snapshot(const std::string& root) {
    namespace fs = std::filesystem;
    std::map<std::string, FileState> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat info {};
        if (lstat(entry.path().c_str(), &info) != 0 || S_ISDIR(info.st_mode)) continue;
        FileState state;
        state.mode = info.st_mode & 07777;
        state.link = S_ISLNK(info.st_mode);
        if (state.link)
            state.bytes = fs::read_symlink(entry.path()).string();
        else if (S_ISREG(info.st_mode))
            state.bytes = ReadFile(entry.path());
        else  // a device or a socket is never read: its kind and number stand for it
            state.bytes = "special " + std::to_string(info.st_mode & S_IFMT) + " " + std::to_string(info.st_rdev);
        files[fs::relative(entry.path(), root).string()] = state;
    }
    return files;
}

std::string Substitute(std::string text, const std::string& root) {
    for (size_t at; (at = text.find("$D")) != std::string::npos;) text.replace(at, 2, root);
    return text;
}

struct Written {
    std::string path;  // relative to the scene's folder
    std::string bytes;
    mode_t mode;
};

struct Scene {
    const char* name;
    // Makes the scene's files under the folder given; returns the arguments.
    std::function<std::vector<std::string>(const std::string&)> build;
    int exitStatus;
    std::vector<std::string> out;  // "$D" stands for the scene's folder
    std::vector<std::string> err;
    std::vector<Written> outputs;  // what the run writes; everything else survives as it was
    std::vector<std::string> removed = {};
    ProcessOptions options = {};
    bool runInSceneFolder = false;  // the run's working folder is the scene's
};

// A listening-socket name, which no output may replace.
void MakeSocket(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        ADD_FAILURE() << "cannot make a socket at " << path;
    if (fd >= 0) close(fd);
}

void Write(const std::string& path, const std::string& bytes, mode_t mode = 0644) {
    WriteFile(path, bytes);
    chmod(path.c_str(), mode);
}

// src/a.txt "alpha", src/b.txt "bravo", the empty folder out, and a private
// file elsewhere that a planted link may point to.
void Common(const std::string& d) {
    MakeDir(d + "/src");
    MakeDir(d + "/out");
    MakeDir(d + "/other");
    Write(d + "/src/a.txt", "alpha\n");
    Write(d + "/src/b.txt", "bravo\n");
    Write(d + "/other/secret", "root only\n", 0600);
}

const std::string kCleanLine = " Batch Completed without Errors";
const std::string kErrorLine = "**** Errors during Processing";

// src/f10.txt .. src/f39.txt, each holding its name; returns their paths.
std::vector<std::string> ThirtySources(const std::string& d) {
    std::vector<std::string> paths;
    for (int i = 10; i < 40; ++i) {
        paths.push_back(d + "/src/f" + std::to_string(i) + ".txt");
        Write(paths.back(), "f" + std::to_string(i) + "\n");
    }
    return paths;
}

std::vector<std::string> ThirtyHeaders() {
    std::vector<std::string> lines;
    for (int i = 10; i < 40; ++i) lines.push_back("f" + std::to_string(i) + ".txt");
    lines.push_back(kCleanLine);
    return lines;
}

std::vector<Written> ThirtyOutputs() {
    std::vector<Written> outputs;
    for (int i = 10; i < 40; ++i)
        outputs.push_back({"out/f" + std::to_string(i) + ".txt", "f" + std::to_string(i) + "\r\n", 0644});
    return outputs;
}

ProcessOptions WithStandardErrorClosed() {
    ProcessOptions options;
    options.closeStandardError = true;
    return options;
}

ProcessOptions WithOpenFilesLimit(long limit) {
    ProcessOptions options;
    options.openFilesLimit = limit;
    return options;
}

const std::vector<Scene>& Scenes() {
    static const std::vector<Scene> scenes = {
        {"LinkAtTheOutputNameIsReplaced",
         [](const std::string& d) {
             Common(d);
             symlink("../other/secret", (d + "/out/a.txt").c_str());
             return std::vector<std::string>{"-e", "te", d + "/out", d + "/src/a.txt"};
         },
         0, {"a.txt", kCleanLine}, {}, {{"out/a.txt", "alpha\r\n", 0644}}},
        {"LinkAtTheResponseFileNameIsReplaced",
         [](const std::string& d) {
             Common(d);
             symlink("../other/secret", (d + "/out/log.txt").c_str());
             return std::vector<std::string>{"-r", "log.txt", "-e", "te", d + "/out", d + "/src/a.txt"};
         },
         0, {"a.txt", kCleanLine}, {},
         {{"out/a.txt", "alpha\r\n", 0644}, {"out/log.txt", "a.txt\r\n" + kCleanLine + "\r\n", 0644}}},
        {"HardLinkOfALaterSourceAtTheOutputName",
         [](const std::string& d) {
             Common(d);
             link((d + "/src/b.txt").c_str(), (d + "/out/a.txt").c_str());
             return std::vector<std::string>{"-e", "te", d + "/out", d + "/src/a.txt", d + "/src/b.txt"};
         },
         3, {}, {"Output would overwrite an input: $D/out/a.txt"}, {}},
        {"ResponseFileIsASource",
         [](const std::string& d) {
             Common(d);
             return std::vector<std::string>{"-r", d + "/src/a.txt", "-e", "te", d + "/out", d + "/src/a.txt"};
         },
         3, {}, {"Output would overwrite an input: $D/src/a.txt"}, {}},
        {"ResponseFileIsTheControlFile",
         [](const std::string& d) {
             Common(d);
             Write(d + "/script.tvs", "te\n");
             return std::vector<std::string>{"-r", d + "/script.tvs", d + "/script.tvs", d + "/out", d + "/src/a.txt"};
         },
         3, {}, {"Output would overwrite an input: $D/script.tvs"}, {}},
        {"ControlFileInTheDestinationUnderASourceName",
         [](const std::string& d) {
             Common(d);
             Write(d + "/out/a.txt", "te\n");
             return std::vector<std::string>{d + "/out/a.txt", d + "/out", d + "/src/a.txt"};
         },
         3, {}, {"Output would overwrite an input: $D/out/a.txt"}, {}},
        {"DestinationIsTheFolderOfALaterSource",
         [](const std::string& d) {
             Common(d);
             Write(d + "/other/first.txt", "first\n");
             return std::vector<std::string>{"-e", "te", d + "/src/.", d + "/other/first.txt", d + "/src/b.txt"};
         },
         3, {}, {"Output would overwrite an input: $D/src/./b.txt"}, {}},
        {"DestinationThroughALinkToTheSourceFolder",
         [](const std::string& d) {
             Common(d);
             symlink("src", (d + "/link").c_str());
             return std::vector<std::string>{"-e", "te", d + "/link", d + "/src/a.txt"};
         },
         3, {}, {"Output would overwrite an input: $D/link/a.txt"}, {}},
        {"EmptyDestination",
         [](const std::string& d) {
             Common(d);
             return std::vector<std::string>{"-e", "te", "", d + "/src/a.txt"};
         },
         3, {}, {"No Destination Folder"}, {}},
        {"OutputNameIsAFolder",
         [](const std::string& d) {
             Common(d);
             MakeDir(d + "/out/a.txt");
             return std::vector<std::string>{"-e", "te", d + "/out", d + "/src/a.txt"};
         },
         3, {"a.txt", "\t$D/out/a.txt: Is a directory", kErrorLine}, {"$D/out/a.txt: Is a directory"}, {}},
        {"PermissionBitsFollowTheSource",
         [](const std::string& d) {
             Common(d);
             Write(d + "/src/private.txt", "p\n", 0600);
             Write(d + "/src/run.sh", "r\n", 0755);
             Write(d + "/out/private.txt", "the previous output\r\n", 0644);
             return std::vector<std::string>{"-e", "te", d + "/out", d + "/src/private.txt", d + "/src/run.sh"};
         },
         0, {"private.txt", "run.sh", kCleanLine}, {},
         {{"out/private.txt", "p\r\n", 0600}, {"out/run.sh", "r\r\n", 0755}}},
        {"FileNameHoldingALineFeed",
         [](const std::string& d) {
             Common(d);
             Write(d + "/src/two\nlines.txt", "x\n");
             return std::vector<std::string>{"-r", "log.txt", "-e", "te", d + "/out", d + "/src/two\nlines.txt"};
         },
         0, {"two", "lines.txt", kCleanLine}, {},
         {{"out/two\nlines.txt", "x\r\n", 0644}, {"out/log.txt", "two\r\nlines.txt\r\n" + kCleanLine + "\r\n", 0644}}},
        {"WideTextIsReportedAndLeftAlone",
         [](const std::string& d) {
             Common(d);
             Write(d + "/src/u16.txt", std::string("\xFF\xFE" "a\0\n\0", 6));
             Write(d + "/src/u32.txt", std::string("\0\0\xFE\xFF\0\0\0a\0\0\0\n", 12));
             Write(d + "/out/u16.txt", "the previous output\r\n");
             return std::vector<std::string>{"-e", "te", d + "/out", d + "/src/u16.txt", d + "/src/u32.txt",
                                             d + "/src/b.txt"};
         },
         3,
         {"u16.txt", "\t$D/src/u16.txt: UTF-16LE text cannot be edited", "u32.txt",
          "\t$D/src/u32.txt: UTF-32BE text cannot be edited", "b.txt", kErrorLine},
         {"$D/src/u16.txt: UTF-16LE text cannot be edited", "$D/src/u32.txt: UTF-32BE text cannot be edited"},
         {{"out/b.txt", "bravo\r\n", 0644}}},
        {"LeftoverOfAKilledRunIsRemoved",
         [](const std::string& d) {
             Common(d);
             Write(d + "/out/.tavisk-partial-Ab12Cd-a.txt", "cut off");
             Write(d + "/out/.tavisk-partial-notours", "kept");
             return std::vector<std::string>{"-e", "te", d + "/out", d + "/src/a.txt"};
         },
         0, {"a.txt", kCleanLine}, {}, {{"out/a.txt", "alpha\r\n", 0644}}, {"out/.tavisk-partial-Ab12Cd-a.txt"}},
        {"LeftoverInAnOutputSubfolderIsRemoved",
         [](const std::string& d) {
             Common(d);
             MakeDir(d + "/tree");
             MakeDir(d + "/tree/sub");
             Write(d + "/tree/sub/c.txt", "charlie\n");
             MakeDir(d + "/out/sub");
             Write(d + "/out/sub/.tavisk-partial-Xy34Zw-c.txt", "cut off");
             return std::vector<std::string>{"-R", "-j", "2", "-e", "te", d + "/out", d + "/tree"};
         },
         0, {"sub/c.txt", kCleanLine}, {}, {{"out/sub/c.txt", "charlie\r\n", 0644}},
         {"out/sub/.tavisk-partial-Xy34Zw-c.txt"}},
        {"ProcLinkThroughTheWorkingFolderAtTheResponseNameIsReplaced",
         [](const std::string& d) {
             Common(d);
             symlink("/proc/self/cwd/other/secret", (d + "/out/log.txt").c_str());
             return std::vector<std::string>{"-r", "log.txt", "-e", "te", d + "/out", d + "/src/a.txt"};
         },
         0, {"a.txt", kCleanLine}, {},
         {{"out/a.txt", "alpha\r\n", 0644}, {"out/log.txt", "a.txt\r\n" + kCleanLine + "\r\n", 0644}}, {}, {}, true},
        {"ProcLinkThroughTheRootAtTheResponseNameIsReplaced",
         [](const std::string& d) {
             Common(d);
             symlink(("/proc/self/root" + d + "/other/secret").c_str(), (d + "/out/log.txt").c_str());
             return std::vector<std::string>{"-r", d + "/out/log.txt", "-e", "te", d + "/out", d + "/src/a.txt"};
         },
         0, {"a.txt", kCleanLine}, {},
         {{"out/a.txt", "alpha\r\n", 0644}, {"out/log.txt", "a.txt\r\n" + kCleanLine + "\r\n", 0644}}},
        {"FolderLinkAtAnOutputSubfolder",
         [](const std::string& d) {
             Common(d);
             MakeDir(d + "/tree");
             MakeDir(d + "/tree/sub");
             Write(d + "/tree/sub/c.txt", "charlie\n");
             symlink("../other", (d + "/out/sub").c_str());
             return std::vector<std::string>{"-R", "-e", "te", d + "/out", d + "/tree"};
         },
         3, {"sub/c.txt", "\t$D/out/sub: Too many levels of symbolic links", kErrorLine},
         {"$D/out/sub: Too many levels of symbolic links"}, {}},
        {"SocketAtTheOutputName",
         [](const std::string& d) {
             Common(d);
             MakeSocket(d + "/out/a.txt");
             return std::vector<std::string>{"-e", "te", d + "/out", d + "/src/a.txt"};
         },
         3, {"a.txt", "\t$D/out/a.txt: Is a socket", kErrorLine}, {"$D/out/a.txt: Is a socket"}, {}},
        {"SocketAtTheResponseName",
         [](const std::string& d) {
             Common(d);
             MakeSocket(d + "/out/log.txt");
             return std::vector<std::string>{"-r", "log.txt", "-e", "te", d + "/out", d + "/src/a.txt"};
         },
         3, {"a.txt", kCleanLine}, {"$D/out/log.txt: Is a socket"}, {{"out/a.txt", "alpha\r\n", 0644}}},
        {"BlockDeviceAtTheOutputAndTheResponseName",
         [](const std::string& d) {
             Common(d);
             if (mknod((d + "/out/a.txt").c_str(), S_IFBLK | 0600, makedev(7, 0)) != 0) return std::vector<std::string>{};
             symlink("a.txt", (d + "/out/log.txt").c_str());  // the response name reaches the device through a link
             return std::vector<std::string>{"-r", "log.txt", "-e", "te", d + "/out", d + "/src/a.txt", d + "/src/b.txt"};
         },
         3, {"a.txt", "\t$D/out/a.txt: Is a block device", kErrorLine},
         {"$D/out/a.txt: Is a block device", "$D/out/log.txt: Is a block device"}, {}},
        {"RunAgainOverEarlierOutputs",
         [](const std::string& d) {
             Common(d);
             Write(d + "/out/a.txt", "an earlier, longer output\r\n");
             Write(d + "/other/kept", "another name of b's output\n");
             link((d + "/other/kept").c_str(), (d + "/out/b.txt").c_str());
             return std::vector<std::string>{"-e", "te", d + "/out", d + "/src/a.txt", d + "/src/b.txt"};
         },
         0, {"a.txt", "b.txt", kCleanLine}, {}, {{"out/a.txt", "alpha\r\n", 0644}, {"out/b.txt", "bravo\r\n", 0644}}},
        {"TreeLinkToAFileOutsideIsLeftOut",
         [](const std::string& d) {
             Common(d);
             symlink("../other/secret", (d + "/src/secret.txt").c_str());
             return std::vector<std::string>{"-R", "-e", "te", d + "/out", d + "/src"};
         },
         0, {"a.txt", "b.txt", kCleanLine},
         {"left out 1 symbolic link or special file found in the folders given"},
         {{"out/a.txt", "alpha\r\n", 0644}, {"out/b.txt", "bravo\r\n", 0644}}},
        {"StandardErrorClosedWithFourJobs",
         [](const std::string& d) {
             Common(d);
             std::vector<std::string> args = {"-k", "-j", "4", "-e", "te", d + "/out", d + "/src/gone.txt"};
             for (const std::string& path : ThirtySources(d)) args.push_back(path);
             return args;
         },
         3,
         [] {
             std::vector<std::string> lines = {"gone.txt", "\t$D/src/gone.txt: No such file or directory"};
             for (const std::string& line : ThirtyHeaders()) lines.push_back(line);
             lines.back() = kErrorLine;
             return lines;
         }(),
         {}, ThirtyOutputs(), {}, WithStandardErrorClosed()},
        {"ResponseFileNamedAsAnOutput",
         [](const std::string& d) {
             Common(d);
             return std::vector<std::string>{"-r", "a.txt", "-e", "te", d + "/out", d + "/src/a.txt", d + "/src/b.txt"};
         },
         3, {}, {"Response file would replace an output: $D/out/a.txt"}, {}},
        {"ListFileNamedAsAnOutput",
         [](const std::string& d) {
             Common(d);
             Write(d + "/out/a.txt", d + "/src/a.txt\n");
             return std::vector<std::string>{"-T", d + "/out/a.txt", "-e", "te", d + "/out"};
         },
         3, {}, {"Output would overwrite an input: $D/out/a.txt"}, {}},
        {"ListFileIsTheResponseFile",
         [](const std::string& d) {
             Common(d);
             Write(d + "/list", d + "/src/a.txt\n");
             return std::vector<std::string>{"-T", d + "/list", "-r", d + "/list", "-e", "te", d + "/out"};
         },
         3, {}, {"Output would overwrite an input: $D/list"}, {}},
        {"NulInsideALineFeedList",
         [](const std::string& d) {
             Common(d);
             Write(d + "/list", d + "/src/a.txt" + std::string(1, '\0') + d + "/src/b.txt\n" + d + "/src/b.txt\n");
             return std::vector<std::string>{"-T", d + "/list", "-e", "te", d + "/out"};
         },
         3, {}, {"$D/list: a name holds a NUL byte (-0 reads lists of NUL-ended names)"}, {}},
        {"DestinationDiffersFromTheSourceFolderInCaseOnly",
         [](const std::string& d) {
             Common(d);
             MakeDir(d + "/SRC");
             Write(d + "/SRC/c.txt", "charlie\n");
             return std::vector<std::string>{"-e", "te", d + "/src", d + "/SRC/c.txt"};
         },
         0, {"c.txt", kCleanLine}, {}, {{"src/c.txt", "charlie\r\n", 0644}}},
        {"ManyJobsUnderALowDescriptorLimit",
         [](const std::string& d) {
             Common(d);
             std::vector<std::string> args = {"-j", "600", "-e", "te", d + "/out"};
             for (const std::string& path : ThirtySources(d)) args.push_back(path);
             return args;
         },
         0, ThirtyHeaders(),
         {"-j 600: running 8 jobs at once, as many as the limit on open files allows"}, ThirtyOutputs(),
         {}, WithOpenFilesLimit(64)},
    };
    return scenes;
}

class OutputScenes : public testing::TestWithParam<Scene> {};

TEST_P(OutputScenes, EverySurvivingFileIsAsItWas) {
    const Scene& scene = GetParam();
    TempDir dir;
    const mode_t previousMask = umask(022);
    const std::vector<std::string> args = scene.build(dir.Path());
    if (args.empty()) GTEST_SKIP() << "the scene cannot be built here (mknod refused)";
    const auto before = Snapshot(dir.Path());
    ProcessOptions options = scene.options;
    if (scene.runInSceneFolder) options.workingDir = dir.Path();
    const CliResult run = RunCli(args, options);
    umask(previousMask);
    auto after = Snapshot(dir.Path());

    EXPECT_EQ(run.exitStatus, scene.exitStatus) << run.err;
    std::vector<std::string> out, err;
    for (const std::string& line : scene.out) out.push_back(Substitute(line, dir.Path()));
    for (const std::string& line : scene.err) err.push_back("tavisk-cli: " + Substitute(line, dir.Path()));
    EXPECT_EQ(run.OutLines(), out);
    EXPECT_EQ(run.ErrLines(), err);

    for (const Written& output : scene.outputs) {
        SCOPED_TRACE(output.path);
        ASSERT_EQ(after.count(output.path), 1u);
        EXPECT_EQ(after[output.path], (FileState{output.bytes, output.mode, false}));
        after.erase(output.path);
    }
    for (const auto& [path, state] : before) {
        SCOPED_TRACE(path);
        const bool gone = std::find(scene.removed.begin(), scene.removed.end(), path) != scene.removed.end();
        const bool written = std::any_of(scene.outputs.begin(), scene.outputs.end(), [&](const Written& w) { return w.path == path; });
        if (written) continue;
        EXPECT_EQ(after.count(path), gone ? 0u : 1u);
        if (!gone && after.count(path)) {
            EXPECT_TRUE(after[path] == state) << "changed";
        }
        after.erase(path);
    }
    for (const auto& [path, state] : after) ADD_FAILURE() << "unexpected file " << path;
}

INSTANTIATE_TEST_SUITE_P(Scenes, OutputScenes, testing::ValuesIn(Scenes()),
                         [](const testing::TestParamInfo<Scene>& info) { return std::string(info.param.name); });

// A folder of the destination swapped for a link while a large first file
// runs (-R): nothing is written where the link leads, the outputs still to
// come in that folder are file errors, and the one in progress goes, whole,
// into the folder it was opened in (now under its new name), or nowhere.
TEST_F(BatchFolders, FolderSwappedForALinkDuringTheRun) {
    const std::string tree = m_dir / "tree", victim = m_dir / "victim", moved = m_dir / "moved";
    MakeDir(tree);
    MakeDir(tree + "/sub");
    MakeDir(victim);
    WriteFile(tree + "/sub/a.txt", "first\n");
    WriteFile(tree + "/sub/b.txt", "second\n");
    WriteFile(victim + "/b.txt", "not to be replaced\n");
    MakeDir(m_out + "/sub");
    int errPipe[2];
    ASSERT_EQ(pipe2(errPipe, O_CLOEXEC), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        freopen("/dev/null", "w", stdout);
        dup2(errPipe[1], STDERR_FILENO);
        execl(CliPath(), CliPath(), "-R", "-e", "(i/a long line of the first output/,l)3000000", m_out.c_str(),
              tree.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(errPipe[1]);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (OpenOutputSize(child, m_out + "/sub") < (1 << 20) && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(rename((m_out + "/sub").c_str(), moved.c_str()), 0);
    ASSERT_EQ(symlink("../victim", (m_out + "/sub").c_str()), 0);
    std::string err;
    char buffer[4096];
    for (ssize_t got; (got = read(errPipe[0], buffer, sizeof buffer)) > 0;) err.append(buffer, static_cast<size_t>(got));
    close(errPipe[0]);
    int status = 0;
    waitpid(child, &status, 0);

    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status << err;
    EXPECT_NE(err.find(m_out + "/sub: Too many levels of symbolic links"), std::string::npos) << err;
    EXPECT_EQ(ReadFile(victim + "/b.txt"), "not to be replaced\n");
    EXPECT_EQ(CountFiles(victim), 1u);
    // The first output was opened in the folder now called "moved": it is there whole or not at all.
    struct stat first {};
    if (lstat((moved + "/a.txt").c_str(), &first) == 0) {
        EXPECT_EQ(first.st_size, 3000000 * 33);
    }
    EXPECT_LE(CountFiles(moved), 1u);
}

// Descriptors 0, 1 and 2 closed at start are each opened on /dev/null, so
// the first file the program opens can never be standard error.
TEST(StandardDescriptors, ClosedOnesAreOpenedOnDevNull) {
    struct stat null {};
    ASSERT_EQ(stat("/dev/null", &null), 0);
    for (const std::vector<int>& closed : {std::vector<int>{2}, {0, 1, 2}, {1}}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int fd : closed) close(fd);
            bool ok = ReopenClosedStandardDescriptors();
            for (int fd : closed) {
                struct stat info {};
                ok = ok && fstat(fd, &info) == 0 && info.st_rdev == null.st_rdev && S_ISCHR(info.st_mode);
            }
            const int next = open("/dev/null", O_RDONLY);  // the next file gets a number of its own
            _exit(ok && next > 2 ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "closed " << closed.size();
    }
}

// A run ended by signals part-way through a large output.
struct KillCase {
    const char* name;
    std::vector<int> signals;
    bool mayLeaveTempFile;  // a killed process cannot clean up; the next run does
};

class KilledRun : public BatchFolders, public testing::WithParamInterface<KillCase> {};

TEST_P(KilledRun, LeavesThePreviousOutputAndNoCutOffFile) {
    const KillCase& c = GetParam();
    const std::string a = Source("a.txt", "alpha\n");
    WriteFile(OutputPath("a.txt"), "the previous output\r\n");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        execl(CliPath(), CliPath(), "-e", "(i/a line that never ends/,l)4294967295", m_out.c_str(), a.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (OpenOutputSize(child, m_out) < (1 << 20) && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    for (int signalNumber : c.signals) kill(child, signalNumber);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 130)) << status;

    EXPECT_EQ(Output("a.txt"), "the previous output\r\n");
    // Only a killed process may leave a file behind, under a hidden name (an
    // unnamed file, where the file system has them, leaves nothing).
    const size_t leftovers = c.mayLeaveTempFile && !TempFileIn(m_out).empty() ? 1 : 0;
    EXPECT_EQ(CountFiles(m_out), 1u + leftovers);

    // The next run in the folder takes any leftover away.
    const CliResult next = RunCli({"-e", "te", m_out, a});
    EXPECT_EQ(next.exitStatus, 0);
    EXPECT_EQ(Output("a.txt"), "alpha\r\n");
    EXPECT_EQ(CountFiles(m_out), 1u);
}

INSTANTIATE_TEST_SUITE_P(Signals, KilledRun,
                         testing::Values(KillCase{"Kill", {SIGKILL}, true}, KillCase{"Terminate", {SIGTERM}, false},
                                         KillCase{"InterruptTwice", {SIGINT, SIGINT}, false}),
                         [](const testing::TestParamInfo<KillCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavisk::test
