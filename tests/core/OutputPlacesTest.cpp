// Where outputs go: folders reached below the destination without following
// a link, the hidden files removed when a signal ends the process, and the
// locks of other openers seen without opening the file.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "TempDir.h"
#include "engine/HeldLocks.h"
#include "engine/OpenBeneath.h"
#include "engine/OutputTarget.h"
#include "engine/TempFileRegistry.h"

namespace tavisk::test {
namespace {

struct BeneathCase {
    const char* name;
    const char* relative;
    int expectedErrno;  // 0: opened
};

class FolderBeneath : public testing::TestWithParam<BeneathCase> {
protected:
    // base/a/b, base/file, base/link -> a, base/a/up -> .., and a folder outside.
    FolderBeneath() {
        MakeDir(m_dir / "base");
        MakeDir(m_dir / "base/a");
        MakeDir(m_dir / "base/a/b");
        MakeDir(m_dir / "outside");
        WriteFile(m_dir / "base/file", "x");
        symlink("a", (m_dir / "base/link").c_str());
        symlink("../../outside", (m_dir / "base/a/out").c_str());
        m_base = open((m_dir / "base").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    ~FolderBeneath() override { close(m_base); }
    void Check(int fd) {
        const BeneathCase& c = GetParam();
        const int cause = errno;
        if (c.expectedErrno == 0) {
            EXPECT_GE(fd, 0) << strerror(cause);
        } else {
            EXPECT_EQ(fd, -1);
            EXPECT_EQ(cause, c.expectedErrno) << strerror(cause);
        }
        if (fd >= 0) close(fd);
    }
    TempDir m_dir;
    int m_base = -1;
};

TEST_P(FolderBeneath, WithOpenat2) { Check(OpenFolderBeneath(m_base, GetParam().relative, O_PATH)); }
TEST_P(FolderBeneath, WalkedComponentByComponent) { Check(WalkFolderBeneath(m_base, GetParam().relative, O_PATH)); }

INSTANTIATE_TEST_SUITE_P(Cases, FolderBeneath,
                         testing::Values(BeneathCase{"Nested", "a/b", 0}, BeneathCase{"Itself", "", 0},
                                         BeneathCase{"DotsAndSlashes", "./a//b/", 0},
                                         BeneathCase{"LinkAtTheTop", "link/b", ELOOP},
                                         BeneathCase{"LinkAtTheEnd", "link", ELOOP},
                                         BeneathCase{"LinkLeadingOutside", "a/out", ELOOP},
                                         BeneathCase{"UpAndOut", "a/../../outside", EXDEV},
                                         BeneathCase{"AFileInTheWay", "file/b", ENOTDIR},
                                         BeneathCase{"Missing", "a/none", ENOENT}),
                         [](const testing::TestParamInfo<BeneathCase>& info) { return std::string(info.param.name); });

// A child records a hidden file and is ended by `end`; true when the file is gone.
bool RemovedWhenTheProcessEnds(const std::string& folder, void (*end)(), bool ownHangUpHandler = false) {
    const std::string name = ".tavisk-partial-Ab12Cd-out.txt";
    WriteFile(folder + "/" + name, "cut off");
    const pid_t child = fork();
    if (child == 0) {
        if (ownHangUpHandler) signal(SIGHUP, [](int) { _exit(0); });
        const int fd = open(folder.c_str(), O_PATH | O_DIRECTORY);
        TempFileRegistry::Add(fd, name);
        end();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return access((folder + "/" + name).c_str(), F_OK) != 0;
}

TEST(TempFileRegistry, RemovesItsFilesWhenTheProcessEnds) {
    TempDir dir;
    EXPECT_TRUE(RemovedWhenTheProcessEnds(dir.Path(), [] { raise(SIGTERM); }));
    EXPECT_TRUE(RemovedWhenTheProcessEnds(dir.Path(), [] { raise(SIGHUP); }));
    EXPECT_TRUE(RemovedWhenTheProcessEnds(dir.Path(), [] { std::exit(0); }));
    // A signal the program handles itself is left to it.
    EXPECT_FALSE(RemovedWhenTheProcessEnds(dir.Path(), [] { raise(SIGHUP); }, true));
}

TEST(HeldLocks, SeesTheLockOfAnotherOpener) {
    TempDir dir;
    WriteFile(dir / "held", "x");
    WriteFile(dir / "free", "y");
    const int fd = open((dir / "held").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(fd, LOCK_SH), 0);
    std::this_thread::sleep_for(HeldLocks::kMaxAge * 2);  // an older reading of the list is read again
    struct stat held {}, free {};
    ASSERT_EQ(stat((dir / "held").c_str(), &held), 0);
    ASSERT_EQ(stat((dir / "free").c_str(), &free), 0);
    EXPECT_EQ(HeldLocks::Find(IdentityOf(held)), LockSeen::Held);
    EXPECT_EQ(HeldLocks::Find(IdentityOf(free)), LockSeen::Free);
    close(fd);
}

// An output whose name was free takes it with one link; whatever appears
// there meanwhile is replaced as an old file is, never written through.
struct MeanwhileCase {
    const char* name;
    void (*plant)(const std::string& at, const std::string& outside);
    const char* expectedCause;  // "" when the output took the name
};

class FreeNameTakenMeanwhile : public testing::TestWithParam<MeanwhileCase> {};

TEST_P(FreeNameTakenMeanwhile, NothingIsWrittenThrough) {
    TempDir dir;
    const std::string out = dir / "out.txt";
    const std::string outside = dir / "outside.txt";
    WriteFile(outside, "keep");
    OutputTarget target;
    FileError error;
    OutputOptions options;
    options.nameWasAbsent = true;
    ASSERT_TRUE(target.Open(out, options, error)) << error.Text();
    ASSERT_EQ(write(target.Fd(), "new", 3), 3);
    GetParam().plant(out, outside);
    EXPECT_EQ(target.Commit(error) ? "" : error.m_strCause, std::string(GetParam().expectedCause));
    EXPECT_EQ(ReadFile(outside), "keep");
    if (*GetParam().expectedCause == 0) EXPECT_EQ(ReadFile(out), "new");
    struct stat info {};
    EXPECT_TRUE(lstat(out.c_str(), &info) != 0 || !S_ISLNK(info.st_mode));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FreeNameTakenMeanwhile,
    testing::Values(MeanwhileCase{"Nothing", [](const std::string&, const std::string&) {}, ""},
                    MeanwhileCase{"AFile", [](const std::string& at, const std::string&) { WriteFile(at, "old"); }, ""},
                    MeanwhileCase{"ALinkOutside",
                                  [](const std::string& at, const std::string& outside) { symlink(outside.c_str(), at.c_str()); },
                                  ""},
                    MeanwhileCase{"AFolder", [](const std::string& at, const std::string&) { MakeDir(at); },
                                  "Is a directory"}),
    [](const testing::TestParamInfo<MeanwhileCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavisk::test
