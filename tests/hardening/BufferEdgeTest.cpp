// Lines at the edges of the file buffers: empty lines written from nothing,
// and lines that meet the buffers' ends exactly or overrun them.
#include "HardeningFixture.h"
#include "engine/TextFile.h"

namespace tavisk::test {
namespace {

constexpr size_t kMiB = size_t{1} << 20;

class BufferEdges : public BatchFolders {};

// "l" with nothing pending writes a line from an empty piece of text.
TEST_F(BufferEdges, EmptyLinesFromNothing) {
    const std::string source = Source("a.txt", "x\n");
    const CliResult run = RunCli({"-q", "-e", "l,l,te,l", m_out, source});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(Output("a.txt"), "\r\n\r\nx\r\n\r\n");
}

// Every byte arrives, in order, whatever the line sizes.
TEST_F(BufferEdges, LinesAroundTheBufferSizes) {
    const std::vector<size_t> sizes = {kMiB - 2, 0, kMiB / 2 - 1, kMiB / 2, kMiB - 1, kMiB, 3, kMiB + 1, 2 * kMiB + 5, 1};
    std::string bytes;
    char fill = 'a';
    for (size_t size : sizes) bytes += std::string(size, fill++) + (size % 2 ? "\r\n" : "\n");
    bytes += "last line without a line feed";
    const std::string source = Source("a.txt", bytes);

    const CliResult copy = RunCli({"-q", "-e", "te", m_out, source});
    EXPECT_EQ(copy.exitStatus, 0) << copy.err;
    EXPECT_TRUE(Output("a.txt") == AsOutputLines(bytes));

    // Text pending before each long line joins it on the same output line.
    const CliResult joined = RunCli({"-q", "-e", "(i/>/,t1)10,te", m_out, source});
    EXPECT_EQ(joined.exitStatus, 0) << joined.err;
    std::string expected;
    fill = 'a';
    for (size_t size : sizes) expected += ">" + std::string(size, fill++) + "\r\n";
    expected += "last line without a line feed\r\n";
    EXPECT_TRUE(Output("a.txt") == expected);
}

// A source held in memory reads the same lines and ends as from a file.
TEST_F(BufferEdges, MemorySourceReadsAsAFile) {
    std::string bytes;
    for (size_t size : {kMiB + 3, size_t{0}, size_t{5}, 2 * kMiB}) bytes += std::string(size, 'x') + "\r\n";
    bytes += "end";
    const std::string path = Source("m.txt", bytes);
    TextFileReader file, memory;
    FileError error;
    ASSERT_TRUE(file.Open(path, ShareMode::DenyWrite, error));
    memory.OpenMemory(bytes, "m.txt");
    std::string_view a, b;
    for (;;) {
        const auto fromFile = file.ReadLine(a);
        ASSERT_EQ(memory.ReadLine(b), fromFile);
        if (fromFile != TextFileReader::ReadResult::Line) break;
        ASSERT_EQ(a, b);
        ASSERT_EQ(memory.LastLineEnd(), file.LastLineEnd());
    }
    TextFileReader empty;
    empty.OpenMemory({}, "empty");
    EXPECT_TRUE(empty.IsOpen());
    EXPECT_EQ(empty.ReadLine(b), TextFileReader::ReadResult::End);
}

}  // namespace
}  // namespace tavisk::test
