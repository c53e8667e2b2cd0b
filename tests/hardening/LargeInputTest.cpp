// Big inputs in CI: a single line of 200 MB, whose run must stay near the
// memory of that one line, and a batch of 20,000 files.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "HardeningFixture.h"

namespace tavisk::test {
namespace {

constexpr size_t kMiB = size_t{1} << 20;
constexpr size_t kLineSize = 200 * kMiB;
constexpr size_t kMarkerAt = 100 * kMiB;
const std::string kMarker = "<MIDDLE>";
const std::string kReplacement = "[middle]";

constexpr bool kSanitized = TAVISK_SANITIZED;  // shadow memory and quarantine make RSS meaningless

// One 16-byte pattern over the whole line, `marker` at kMarkerAt, then the line end.
std::string ChunkOfLine(size_t offset, size_t size, const std::string& marker) {
    static const char kPattern[] = "0123456789abcdef";
    std::string chunk(size, '\0');
    for (size_t i = 0; i < size; ++i) chunk[i] = kPattern[(offset + i) % 16];
    if (offset <= kMarkerAt && kMarkerAt < offset + size) chunk.replace(kMarkerAt - offset, marker.size(), marker);
    return chunk;
}

void WriteLongLine(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    for (size_t offset = 0; offset < kLineSize; offset += kMiB) {
        const std::string chunk = ChunkOfLine(offset, kMiB, kMarker);
        ASSERT_EQ(std::fwrite(chunk.data(), 1, chunk.size(), file), chunk.size());
    }
    std::fputc('\n', file);
    ASSERT_EQ(std::fclose(file), 0);
}

// Compares an output with the line (its marker as given) and CR LF, a chunk at a time.
bool OutputIsTheLine(const std::string& path, const std::string& marker) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::string chunk(kMiB, '\0');
    bool same = true;
    for (size_t offset = 0; same && offset < kLineSize; offset += kMiB) {
        same = std::fread(chunk.data(), 1, kMiB, file) == kMiB && chunk == ChunkOfLine(offset, kMiB, marker);
    }
    char tail[3] = {};
    same = same && std::fread(tail, 1, sizeof tail, file) == 2 && tail[0] == '\r' && tail[1] == '\n';
    std::fclose(file);
    return same;
}

class LargeInput : public BatchFolders {};

TEST_F(LargeInput, TwoHundredMegabyteLine) {
    const std::string source = m_src + "/long.txt";
    WriteLongLine(source);
    if (HasFatalFailure()) return;

    // Copied through: memory stays near the one line.
    CliResult run = RunCli({"-e", "te", m_out, source});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"long.txt", kClean}));
    EXPECT_TRUE(OutputIsTheLine(OutputPath("long.txt"), kMarker));
    const long copyRssMb = run.peakRssKb / 1024;
    if (!kSanitized) {
        EXPECT_LT(copyRssMb, 2 * 200) << "peak RSS of a plain copy";
    }

    // Replaced in the middle: the text before the match is held until the line ends.
    run = RunCli({"-e", "r/" + kMarker + "/" + kReplacement + "/,te", m_out, source});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"long.txt", kClean}));
    EXPECT_TRUE(OutputIsTheLine(OutputPath("long.txt"), kReplacement));
    const long replaceRssMb = run.peakRssKb / 1024;
    if (!kSanitized) {
        EXPECT_LT(replaceRssMb, 3 * 200) << "peak RSS of a replacement in the line";
    }

    RecordProperty("copy_peak_rss_mb", std::to_string(copyRssMb));
    RecordProperty("replace_peak_rss_mb", std::to_string(replaceRssMb));
    std::printf("peak RSS: copy %ld MB, replace %ld MB\n", copyRssMb, replaceRssMb);

    unlink(source.c_str());
    unlink(OutputPath("long.txt").c_str());
}

// 20,000 files in one batch; one of them lacks the text to replace.
TEST_F(LargeInput, TwentyThousandFiles) {
    constexpr int kFiles = 20000;
    constexpr int kOdd = 12345;
    std::vector<std::string> args = {"-e", "r/old/new/,te", m_out};
    std::vector<std::string> expected;
    char name[32];
    for (int i = 0; i < kFiles; ++i) {
        std::snprintf(name, sizeof name, "f%05d.txt", i);
        args.push_back(Source(name, i == kOdd ? std::string("nothing here\n") : std::string(name) + "\nold value\n"));
        expected.push_back(name);
        if (i == kOdd) expected.push_back("\tRun past end of file performing r/old/new/,");
    }
    expected.push_back(kErrors);

    const CliResult run = RunCli(args);
    EXPECT_EQ(run.exitStatus, 1) << run.err.substr(0, 500);
    EXPECT_TRUE(run.OutLines() == expected) << "response lines differ";
    EXPECT_EQ(CountFiles(m_out), static_cast<size_t>(kFiles));
    int wrong = 0;
    for (int i = 0; i < kFiles; ++i) {
        std::snprintf(name, sizeof name, "f%05d.txt", i);
        const std::string want = i == kOdd ? "nothing here\r\n" : std::string(name) + "\r\nnew value\r\n";
        wrong += Output(name) == want ? 0 : 1;
    }
    EXPECT_EQ(wrong, 0);
    std::printf("peak RSS: %ld MB\n", run.peakRssKb / 1024);
}

}  // namespace
}  // namespace tavisk::test
