// Destinations that cannot take the outputs: missing, read-only, full; and
// standard output or the response file failing.  Sources stay as they were,
// outputs keep whole lines only, and every failure is reported once.
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "HardeningFixture.h"

namespace tavisk::test {
namespace {

// A device that is always full, of this test's own: outputs are locked, and
// tests running side by side must not meet on one shared /dev/full.
std::string FullDevice(const TempDir& dir) {
    const std::string own = dir / "full";
    if (FileExists(own)) return own;
    if (mknod(own.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) return own;
    return "/dev/full";
}

class Destination : public BatchFolders {
protected:
    ~Destination() override {
        if (!m_mounted.empty()) umount2(m_mounted.c_str(), MNT_DETACH);
    }
    // Mounts a small tmpfs on a fresh folder; false where mounting is not allowed.
    bool MountTmpfs(const std::string& folder, unsigned long flags, const char* options) {
        MakeDir(folder);
        if (mount("tmpfs", folder.c_str(), "tmpfs", flags, options) != 0) return false;
        m_mounted = folder;
        return true;
    }
    std::string m_mounted;
};

TEST_F(Destination, MissingFolderEndsTheBatchAtTheFirstFile) {
    const std::string a = Source("a.txt", "alpha\n");
    const std::string b = Source("b.txt", "beta\n");
    const std::string missing = m_dir / "no-such-folder";
    const CliResult run = RunCli({"-e", "te", missing, a, b});
    EXPECT_EQ(run.exitStatus, 3);
    const std::string error = missing + "/a.txt: No such file or directory";
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"a.txt", "\t" + error, kErrors}));
    EXPECT_EQ(run.ErrLines(), (std::vector<std::string>{"tavisk-cli: DEST-FOLDER " + missing + " does not exist (--mkpath makes it)",
                                                        "tavisk-cli: " + error}));
    EXPECT_EQ(ReadFile(a), "alpha\n");
    EXPECT_EQ(ReadFile(b), "beta\n");
}

TEST_F(Destination, ReadOnlyFolder) {
    const std::string a = Source("a.txt", "alpha\n");
    std::string readOnly = m_dir / "read-only";
    if (geteuid() == 0) {
        // Permission bits do not stop root; a read-only mount does.
        if (!MountTmpfs(readOnly, MS_RDONLY, "size=64k")) GTEST_SKIP() << "cannot mount a read-only tmpfs here";
    } else {
        MakeDir(readOnly);
        chmod(readOnly.c_str(), 0555);
    }
    const CliResult run = RunCli({"-e", "te", readOnly, a});
    EXPECT_EQ(run.exitStatus, 3);
    const std::string cause = geteuid() == 0 ? "Read-only file system" : "Permission denied";
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"a.txt", "\t" + readOnly + "/a.txt: " + cause, kErrors}));
    EXPECT_EQ(ReadFile(a), "alpha\n");
}

// An output that is a full device (written directly: a device is not
// replaced): the error is reported once, and the next file of the batch is
// written in full.
TEST_F(Destination, FullDeviceFailsThatFileOnly) {
    std::string big;
    while (big.size() < (size_t{3} << 20)) big += "a line of text that fills the device\n";
    const std::string a = Source("a.txt", big);
    const std::string b = Source("b.txt", "beta\n");
    if (mknod(OutputPath("a.txt").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) GTEST_SKIP() << "cannot make a device here";

    const CliResult run = RunCli({"-e", "te", m_out, a, b});
    EXPECT_EQ(run.exitStatus, 3);
    const std::string error = OutputPath("a.txt") + ": No space left on device";
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"a.txt", "\t" + error, "b.txt", kErrors}));
    EXPECT_EQ(run.ErrLines(), std::vector<std::string>{"tavisk-cli: " + error});
    EXPECT_EQ(Output("b.txt"), "beta\r\n");
    EXPECT_TRUE(ReadFile(a) == big);
}

// A small file system that fills up part-way: the previous output stays as
// it was, no partial file is left, the source is intact, and the next file,
// with the space given back, is written.
TEST_F(Destination, FileSystemFillsUpPartWay) {
    const std::string small = m_dir / "small";
    if (!MountTmpfs(small, 0, "size=256k")) GTEST_SKIP() << "cannot mount a tmpfs here";
    std::string big;
    for (int i = 0; big.size() < (size_t{2} << 20); ++i) big += "line " + std::to_string(i) + "\n";
    const std::string a = Source("a.txt", big);
    const std::string b = Source("b.txt", "beta\n");
    WriteFile(small + "/a.txt", "the previous output\r\n");

    for (const char* script : {"te", "g/line/LINE/"}) {
        SCOPED_TRACE(script);
        const CliResult run = RunCli({"-e", script, small, a, b});
        EXPECT_EQ(run.exitStatus, 3);
        const std::vector<std::string> lines = run.OutLines();
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines[0], "a.txt");
        EXPECT_EQ(lines[1], "\t" + small + "/a.txt: No space left on device");
        EXPECT_EQ(lines[2], "b.txt");
        EXPECT_EQ(lines.back(), kErrors);
        EXPECT_EQ(ReadFile(small + "/a.txt"), "the previous output\r\n");
        EXPECT_EQ(ReadFile(small + "/b.txt"), "beta\r\n");
        EXPECT_EQ(CountFiles(small), 2u);  // no temporary file is left
    }
    EXPECT_TRUE(ReadFile(a) == big);
    EXPECT_EQ(ReadFile(b), "beta\n");
}

TEST_F(Destination, ResponseFileThatCannotBeWritten) {
    const std::string a = Source("a.txt", "alpha\n");
    struct Case {
        std::string responseFile;
        std::string error;
    };
    const std::vector<Case> cases = {
        {FullDevice(m_dir), FullDevice(m_dir) + ": No space left on device"},
        {m_dir / "missing/r.txt", m_dir / "missing/r.txt: No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.responseFile);
        const CliResult run = RunCli({"-e", "te", "-r", c.responseFile, m_out, a});
        EXPECT_EQ(run.exitStatus, 3);
        EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"a.txt", kClean}));
        EXPECT_EQ(run.ErrLines(), std::vector<std::string>{"tavisk-cli: " + c.error});
        EXPECT_EQ(Output("a.txt"), "alpha\r\n");
    }
}

TEST_F(Destination, StandardOutputThatCannotBeWritten) {
    const std::string a = Source("a.txt", "alpha\n");
    ProcessOptions toFull;
    toFull.stdoutPath = FullDevice(m_dir);
    CliResult run = RunCli({"-e", "te", m_out, a}, toFull);
    EXPECT_EQ(run.exitStatus, 3);
    EXPECT_EQ(run.ErrLines(), std::vector<std::string>{"tavisk-cli: standard output: No space left on device"});
    EXPECT_EQ(Output("a.txt"), "alpha\r\n");

    // In debug mode the edited text itself goes there, and no file is written.
    unlink(OutputPath("a.txt").c_str());
    run = RunCli({"-g", "-e", "te", m_out, a}, toFull);
    EXPECT_EQ(run.exitStatus, 3);
    EXPECT_NE(run.err.find("standard output: No space left on device"), std::string::npos) << run.err;
    EXPECT_FALSE(OutputExists("a.txt"));
}

}  // namespace
}  // namespace tavisk::test
