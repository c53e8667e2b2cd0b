// The start checks: the complaints in their order, and the facts the run
// takes from them.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "RecordingFakes.h"
#include "TempDir.h"
#include "TestNames.h"
#include "batch/BatchRun.h"
#include "batch/StartChecks.h"

namespace tavisk {
namespace {

using test::MakeDir;
using test::RecordingBatchWindow;
using test::TempDir;
using test::WriteFile;

struct ComplaintCase {
    bool script;
    int sources;
    std::string sourceFolder;
    std::string destFolder;
    std::string complaints;
};

class StartComplaints : public testing::TestWithParam<ComplaintCase> {};

TEST_P(StartComplaints, AreListedInTheirFixedOrderInOneMessage) {
    const ComplaintCase& c = GetParam();
    RecordingBatchWindow window;
    BatchRun batch;
    batch.SetWindow(&window);
    if (c.script) batch.m_arrScriptLines = {"te"};
    batch.m_sources.SetLastFolder(c.sourceFolder);
    for (int i = 0; i < c.sources; ++i) batch.m_sources.Add(c.sourceFolder, "/f" + std::to_string(i));
    batch.m_strDestFolder = c.destFolder;
    window.progressPos = 7;

    EXPECT_EQ(batch.StartComplaints(), c.complaints);
    EXPECT_EQ(batch.PrepareStart(), c.complaints.empty() ? StartResult::Ready : StartResult::Refused);
    EXPECT_EQ(window.progressTop, c.sources);  // set before any check
    EXPECT_EQ(window.progressPos, 0);
    if (c.complaints.empty()) {
        EXPECT_TRUE(window.errorMessages.empty());
    } else {
        EXPECT_EQ(window.errorMessages, std::vector<std::string>{c.complaints});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartComplaints,
    testing::Values(
        ComplaintCase{false, 0, "/d", "/d",
                      "Empty or No Control File\r\nNo Source File(s)\r\n"
                      "Destination Folder can't be the same as the source.\r\n"},
        ComplaintCase{false, 1, "/a", "/b", "Empty or No Control File\r\n"},
        ComplaintCase{true, 0, "/a", "/b", "No Source File(s)\r\n"},
        ComplaintCase{true, 2, "/Data", "/Data", "Destination Folder can't be the same as the source.\r\n"},
        // Letter case alone makes two folders where the file system keeps case.
        ComplaintCase{true, 2, "/Data", "/DATA", ""},
        ComplaintCase{true, 2, "", "", "Destination Folder can't be the same as the source.\r\nNo Destination Folder\r\n"},
        ComplaintCase{true, 1, "/a", "", "No Destination Folder\r\n"},
        ComplaintCase{true, 2, "/data", "/data/", ""},
        ComplaintCase{true, 2, "/data", "/data2", ""}),
    test::NameRowsBy<ComplaintCase>([](const ComplaintCase& c) { return c.complaints.empty() ? std::string("NoComplaint") : c.complaints; }));

TEST(StartChecks, SourcesOfOneNameFromSeveralFoldersAreRefused) {
    BatchRun batch;
    batch.m_arrScriptLines = {"te"};
    batch.m_sources.SetPaths({"/x/a.txt", "/y/a.txt", "b.txt", "/z/b.txt", "/w/a.txt"});
    batch.m_strDestFolder = "/out";
    EXPECT_EQ(batch.StartComplaints(), "Source File names must differ: a.txt\r\nSource File names must differ: b.txt\r\n");
    EXPECT_EQ(batch.m_sources.Path(2), "./b.txt");
    EXPECT_EQ(batch.OutputPath(3), "/out/b.txt");
    batch.m_strDestFolder = "/y";
    EXPECT_NE(batch.StartComplaints().find("Destination Folder can't be the same as the source.\r\n"), std::string::npos);
}

// dir/src and dir/dest, made.
std::pair<std::string, std::string> MakeSourceAndDestination(const TempDir& dir) {
    MakeDir(dir / "src");
    MakeDir(dir / "dest");
    return {dir / "src", dir / "dest"};
}

// Which output names existed at the checks: a name absent then is one a new
// file can take without care for what it held.
TEST(StartChecks, FactsTellWhichOutputNamesExisted) {
    TempDir dir;
    const auto [src, dest] = MakeSourceAndDestination(dir);
    MakeDir(src + "/sub");
    MakeDir(dest + "/sub");
    for (const char* name : {"/a.txt", "/b.txt", "/c.txt", "/sub/d.txt"}) WriteFile(src + name, "x\r\n");
    WriteFile(dest + "/b.txt", "old\r\n");
    WriteFile(dest + "/sub/d.txt", "old\r\n");
    BatchSources sources;
    for (const char* name : {"/a.txt", "/b.txt", "/c.txt", "/sub/d.txt"}) sources.Add(src, name);
    const std::string response = dest + "/log.txt";
    const std::string noControl;
    const std::vector<std::string> noLists;
    BatchInputs inputs(sources, noControl, noLists);
    const StartFacts facts = CheckStart(StartSubject{true, sources, dest, response, true}, inputs);
    EXPECT_EQ(facts.complaints, "");
    EXPECT_EQ(facts.outputPresent, (std::vector<bool>{false, true, false, true}));

    // A refused start still tells; one with no destination tells nothing.
    const StartFacts noScript = CheckStart(StartSubject{false, sources, dest, response, true}, inputs);
    EXPECT_EQ(noScript.complaints, "Empty or No Control File\r\n");
    EXPECT_EQ(noScript.outputPresent, facts.outputPresent);
    const std::string none;
    EXPECT_TRUE(CheckStart(StartSubject{true, sources, none, response, true}, inputs).outputPresent.empty());
}

// What the batch reads is looked up once per start: a source that appears at
// an output's name later is still known by the identity it had then.
TEST(StartChecks, InputsAreKnownByIdentityUnderAnyName) {
    TempDir dir;
    const std::string src = dir / "src";
    MakeDir(src);
    WriteFile(src + "/a.txt", "x\r\n");
    WriteFile(dir / "script.txt", "te\r\n");
    WriteFile(dir / "other.txt", "y\r\n");
    WriteFile(dir / "list.txt", "a.txt\n");
    ASSERT_EQ(link((src + "/a.txt").c_str(), (dir / "hard.txt").c_str()), 0);
    ASSERT_EQ(symlink((dir / "script.txt").c_str(), (dir / "soft.txt").c_str()), 0);
    BatchSources sources;
    sources.Add(src, "/a.txt");
    const std::string control = dir / "script.txt";
    const std::vector<std::string> lists{dir / "list.txt"};
    BatchInputs inputs(sources, control, lists);
    EXPECT_TRUE(inputs.Holds(src + "/a.txt"));
    EXPECT_TRUE(inputs.Holds(dir / "hard.txt"));
    EXPECT_TRUE(inputs.Holds(dir / "soft.txt"));
    EXPECT_TRUE(inputs.Holds(dir / "list.txt"));
    EXPECT_FALSE(inputs.Holds(dir / "other.txt"));
    EXPECT_FALSE(inputs.Holds(dir / "missing.txt"));
    // Forgotten, they are looked up afresh.
    sources.Clear();
    EXPECT_TRUE(inputs.Holds(src + "/a.txt"));
    inputs.Forget();
    EXPECT_FALSE(inputs.Holds(src + "/a.txt"));
    EXPECT_TRUE(inputs.Holds(dir / "soft.txt"));
}

// A re-run looks closer only at outputs whose folder entry may be an input:
// a hard link of one by its inode number, a file mounted over another in
// any case (its entry shows the covered file).
TEST(StartChecks, OutputsThatAreInputsAreFoundByTheirFolderEntries) {
    TempDir dir;
    const auto [src, out] = MakeSourceAndDestination(dir);
    for (const char* name : {"/a.txt", "/b.txt", "/c.txt"}) WriteFile(src + name, name);
    WriteFile(out + "/b.txt", "an older output\n");
    WriteFile(out + "/c.txt", "covered\n");
    ASSERT_EQ(link((src + "/b.txt").c_str(), (out + "/a.txt").c_str()), 0);
    const bool mounted = mount((src + "/a.txt").c_str(), (out + "/c.txt").c_str(), nullptr, MS_BIND, nullptr) == 0;
    BatchSources sources;
    struct stat seen {};
    ASSERT_EQ(stat((src + "/a.txt").c_str(), &seen), 0);
    sources.AddPath(src + "/a.txt", IdentityOf(seen));  // as the gathering saw it
    sources.AddPath(src + "/b.txt");
    sources.AddPath(src + "/c.txt");
    const std::string control;
    const std::vector<std::string> lists;
    BatchInputs inputs(sources, control, lists);
    const std::string response = out + "/response.txt";
    const StartFacts facts = CheckStart(StartSubject{true, sources, out, response, false}, inputs);
    if (mounted) umount((out + "/c.txt").c_str());
    EXPECT_EQ(facts.complaints, std::string(kWouldOverwriteInput) + out + "/a.txt\r\n" +
                                    (mounted ? std::string(kWouldOverwriteInput) + out + "/c.txt\r\n" : ""));
    EXPECT_EQ(facts.outputPresent, (std::vector<bool>{true, true, true}));
    if (!mounted) GTEST_SKIP() << "no bind mount here: the mounted case was not tried";
}

}  // namespace
}  // namespace tavisk
