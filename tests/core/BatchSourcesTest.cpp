// The source list: each source's folder, element and path, each folder held
// once, the source read from standard input, and the folder kept for the
// desktop program's chooser.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestNames.h"
#include "batch/BatchSources.h"

namespace tavisk {
namespace {

struct PathsCase {
    std::vector<std::string> paths;
    std::vector<std::string> folders;   // per source
    std::vector<std::string> elements;  // per source
    std::vector<std::string> distinct;  // each folder once, in order
    std::string lastFolder;
};

class SourcePaths : public testing::TestWithParam<PathsCase> {};

TEST_P(SourcePaths, SplitIntoFolderAndElement) {
    const PathsCase& c = GetParam();
    BatchSources sources;
    sources.SetLastFolder("/before");
    sources.SetPaths(c.paths);
    ASSERT_EQ(sources.Count(), static_cast<int>(c.paths.size()));
    EXPECT_EQ(sources.Empty(), c.paths.empty());
    for (int i = 0; i < sources.Count(); ++i) {
        const auto at = static_cast<size_t>(i);
        EXPECT_EQ(sources.Folder(i), c.folders[at]) << i;
        EXPECT_EQ(sources.Element(i), c.elements[at]) << i;
        EXPECT_EQ(sources.Name(i), c.elements[at].substr(1)) << i;
        EXPECT_EQ(sources.Path(i), c.folders[at] + c.elements[at]) << i;
        EXPECT_FALSE(sources.IsStandardInput(i));
    }
    EXPECT_EQ(sources.Elements(), c.elements);
    EXPECT_EQ(sources.Folders(), c.distinct);
    EXPECT_EQ(sources.LastFolder(), c.lastFolder);
    EXPECT_EQ(sources.StandardInputIndex(), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SourcePaths,
    testing::Values(
        PathsCase{{}, {}, {}, {}, ""},
        PathsCase{{"a.txt"}, {"."}, {"/a.txt"}, {"."}, "."},
        PathsCase{{"/a.txt"}, {""}, {"/a.txt"}, {""}, ""},
        PathsCase{{"/d/a", "/d/b", "/e/c", "/d/e"}, {"/d", "/d", "/e", "/d"}, {"/a", "/b", "/c", "/e"}, {"/d", "/e"}, "/d"},
        PathsCase{{"x/y/z.txt", "x/y/", "x/a"}, {"x/y", "x/y", "x"}, {"/z.txt", "/", "/a"}, {"x/y", "x"}, "x"}),
    test::NameRowsBy<PathsCase>([](const PathsCase& c) {
        std::string words = "Paths";
        for (const std::string& path : c.paths) words += " " + path;
        return words;
    }));

TEST(BatchSources, FilesBelowAFolderKeepTheirRelativePath) {
    BatchSources sources;
    sources.Add("/in", "/sub/deep/a.txt");
    sources.Add("/in", "/b.txt");
    sources.AddStandardInput();
    sources.Add("/other", "/c.txt");
    ASSERT_EQ(sources.Count(), 4);
    EXPECT_EQ(sources.Path(0), "/in/sub/deep/a.txt");
    EXPECT_EQ(sources.Name(0), "sub/deep/a.txt");
    EXPECT_EQ(sources.Folders(), (std::vector<std::string>{"/in", "", "/other"}));
    EXPECT_EQ(sources.StandardInputIndex(), 2);
    EXPECT_TRUE(sources.IsStandardInput(2));
    EXPECT_FALSE(sources.IsStandardInput(1));
    EXPECT_EQ(sources.Name(2), "-");
    EXPECT_EQ(sources.Folder(3), "/other");
    EXPECT_EQ(sources.LastFolder(), "/other");

    // Cleared, the list starts again; the chooser's folder stays.
    sources.Clear();
    EXPECT_TRUE(sources.Empty());
    EXPECT_TRUE(sources.Folders().empty());
    EXPECT_EQ(sources.StandardInputIndex(), -1);
    EXPECT_EQ(sources.LastFolder(), "/other");
    sources.Add("/in", "/a.txt");
    EXPECT_EQ(sources.Folders(), std::vector<std::string>{"/in"});
    EXPECT_EQ(sources.Folder(0), "/in");
}

}  // namespace
}  // namespace tavisk
