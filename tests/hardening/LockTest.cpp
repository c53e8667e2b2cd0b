// Two runs on the same files at once.  The share-mode locks make the second
// one refuse cleanly: nothing it would have truncated is touched.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "HardeningFixture.h"

namespace tavisk::test {
namespace {

// Holds a lock on a file the way another run would, until destroyed.
class HeldLock {
public:
    HeldLock(const std::string& path, int operation) : m_fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (m_fd < 0 || flock(m_fd, operation | LOCK_NB) != 0) ADD_FAILURE() << "cannot lock " << path;
    }
    ~HeldLock() {
        if (m_fd >= 0) close(m_fd);
    }

private:
    int m_fd;
};

class Locks : public BatchFolders {};

TEST_F(Locks, LockedSourceIsRefused) {
    const std::string a = Source("a.txt", "alpha\n");
    const std::string b = Source("b.txt", "beta\n");
    for (int operation : {LOCK_EX, LOCK_SH}) {
        SCOPED_TRACE(operation == LOCK_EX ? "held for writing" : "held for reading");
        HeldLock held(b, operation);
        const CliResult run = RunCli({"-e", "te", m_out, a, b});
        EXPECT_EQ(run.exitStatus, 3);
        EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"a.txt", "b.txt", "\t" + b + ": sharing violation", kErrors}));
        EXPECT_EQ(Output("a.txt"), "alpha\r\n");
        EXPECT_FALSE(OutputExists("b.txt"));
        EXPECT_EQ(ReadFile(b), "beta\n");
    }
}

// An output held by someone else keeps its content: the lock comes before the truncation.
TEST_F(Locks, LockedOutputIsNotTruncated) {
    const std::string a = Source("a.txt", "alpha\n");
    WriteFile(OutputPath("a.txt"), "someone else's text\n");
    for (int operation : {LOCK_EX, LOCK_SH}) {
        HeldLock held(OutputPath("a.txt"), operation);
        const CliResult run = RunCli({"-e", "te", m_out, a});
        EXPECT_EQ(run.exitStatus, 3);
        EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"a.txt", "\t" + OutputPath("a.txt") + ": sharing violation", kErrors}));
        EXPECT_EQ(Output("a.txt"), "someone else's text\n");
        EXPECT_EQ(ReadFile(a), "alpha\n");
    }
}

// A real second tavisk-cli while the first holds the source: the first is
// kept busy writing to a pipe that nobody reads.
TEST_F(Locks, SecondRunOnTheSameSourceIsRefused) {
    const std::string a = Source("a.txt", "alpha\n");
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    const pid_t first = fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDERR_FILENO);
        execl(CliPath(), CliPath(), "-q", "-g", "-e", "(i/x/,l)4294967295", m_out.c_str(), a.c_str(), nullptr);
        _exit(127);
    }
    close(pipeFds[1]);
    // Once its text arrives, the first run holds the source's lock.
    char byte = 0;
    ASSERT_EQ(read(pipeFds[0], &byte, 1), 1);

    const CliResult second = RunCli({"-e", "te", m_out, a});
    EXPECT_EQ(second.exitStatus, 3);
    EXPECT_EQ(second.OutLines(), (std::vector<std::string>{"a.txt", "\t" + a + ": sharing violation", kErrors}));
    EXPECT_FALSE(OutputExists("a.txt"));

    kill(first, SIGKILL);
    close(pipeFds[0]);
    int status = 0;
    waitpid(first, &status, 0);
    EXPECT_EQ(ReadFile(a), "alpha\n");

    // With the first run gone, the lock went with it.
    const CliResult third = RunCli({"-e", "te", m_out, a});
    EXPECT_EQ(third.exitStatus, 0) << third.err;
    EXPECT_EQ(Output("a.txt"), "alpha\r\n");
}

}  // namespace
}  // namespace tavisk::test
