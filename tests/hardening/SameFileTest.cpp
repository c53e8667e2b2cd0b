// A destination that names the source folder under another spelling passes
// the start check, which compares the strings only.  The output open must
// then find that it is the source itself and refuse it before truncating.
#include <unistd.h>

#include "HardeningFixture.h"

namespace tavisk::test {
namespace {

class SameFile : public BatchFolders {};

TEST_F(SameFile, OutputThatIsTheOpenSourceIsRefusedUntouched) {
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
        const std::string error = c.dest + "/a.txt: is the same file as the source being read";
        EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"a.txt", "\t" + error, kErrors}));
        EXPECT_EQ(run.ErrLines(), std::vector<std::string>{error});
        EXPECT_EQ(ReadFile(source), text);
    }
}

// The same folder, spelled the same way, is a start complaint: nothing runs.
TEST_F(SameFile, SameFolderStringIsRefusedAtStart) {
    const std::string source = Source("a.txt", "kept\n");
    const CliResult run = RunCli({"-e", "te", m_src, source});
    EXPECT_EQ(run.exitStatus, 3);
    EXPECT_EQ(run.ErrLines(), std::vector<std::string>{"Destination Folder can't be the same as the source."});
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(ReadFile(source), "kept\n");
}

// A later source reached through the destination under another spelling: the
// files before it are written; it is refused when its turn comes.
TEST_F(SameFile, LaterSourceInTheDestinationIsRefusedWhenReached) {
    const std::string a = Source("a.txt", "alpha\n");
    WriteFile(OutputPath("b.txt"), "beta\n");
    const std::string dest = m_out + "/.";
    const CliResult run = RunCli({"-e", "te", dest, a, m_out + "/b.txt"});
    EXPECT_EQ(run.exitStatus, 3);
    const std::string error = dest + "/b.txt: is the same file as the source being read";
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"a.txt", "b.txt", "\t" + error, kErrors}));
    EXPECT_EQ(Output("a.txt"), "alpha\r\n");
    EXPECT_EQ(Output("b.txt"), "beta\n");
}

}  // namespace
}  // namespace tavisk::test
