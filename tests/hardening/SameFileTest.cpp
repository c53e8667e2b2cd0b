// A destination that names the source folder under another spelling passes
// the string comparison of the start check; the check by identity that
// follows it refuses the run before anything is written.
#include <unistd.h>

#include "HardeningFixture.h"

namespace tavisk::test {
namespace {

class SameFile : public BatchFolders {};

TEST_F(SameFile, OutputThatIsTheSourceIsRefusedAtStart) {
    const std::string text = "precious\nlines\n";
    const std::string source = Source("a.txt", text);
    ASSERT_EQ(symlink(m_src.c_str(), (m_dir / "link").c_str()), 0);
    MakeDir(m_dir / "hard");
    ASSERT_EQ(link(source.c_str(), (m_dir / "hard/a.txt").c_str()), 0);

    struct Case {
        const char* name;
        std::string dest;
    };
    const std::vector<Case> cases = {
        {"trailing slash", m_src + "/"},
        {"dot segment", m_src + "/."},
        {"dot-dot segment", m_src + "/../src"},
        {"doubled slash", m_dir.Path() + "//src"},
        {"symlink to the folder", m_dir / "link"},
        {"hard link in another folder", m_dir / "hard"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult run = RunCli({"-e", "i/clobbered/,te", c.dest, source});
        EXPECT_EQ(run.exitStatus, 3);
        EXPECT_TRUE(run.out.empty());
        EXPECT_EQ(run.ErrLines(), std::vector<std::string>{"tavisk-cli: Output would overwrite an input: " + c.dest + "/a.txt"});
        EXPECT_EQ(ReadFile(source), text);
    }
}

// The same folder, spelled the same way, is a start complaint: nothing runs.
TEST_F(SameFile, SameFolderStringIsRefusedAtStart) {
    const std::string source = Source("a.txt", "kept\n");
    const CliResult run = RunCli({"-e", "te", m_src, source});
    EXPECT_EQ(run.exitStatus, 3);
    EXPECT_EQ(run.ErrLines(), std::vector<std::string>{"tavisk-cli: Destination Folder can't be the same as the source."});
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(ReadFile(source), "kept\n");
}

// A later source reached through the destination under another spelling: the
// run is refused before the files ahead of it are written.
TEST_F(SameFile, LaterSourceInTheDestinationIsRefusedAtStart) {
    const std::string a = Source("a.txt", "alpha\n");
    WriteFile(OutputPath("b.txt"), "beta\n");
    const std::string dest = m_out + "/.";
    const CliResult run = RunCli({"-e", "te", dest, a, m_out + "/b.txt"});
    EXPECT_EQ(run.exitStatus, 3);
    EXPECT_EQ(run.ErrLines(), std::vector<std::string>{"tavisk-cli: Output would overwrite an input: " + dest + "/b.txt"});
    EXPECT_FALSE(OutputExists("a.txt"));
    EXPECT_EQ(Output("b.txt"), "beta\n");
}

}  // namespace
}  // namespace tavisk::test
