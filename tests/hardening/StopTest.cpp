// A batch on a worker thread, stopped from another thread while it runs (the
// desktop program's "Done" during a run).  Also run under ThreadSanitizer.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "HardeningFixture.h"
#include "RecordingFakes.h"
#include "batch/BatchRun.h"

namespace tavisk::test {
namespace {

off_t SizeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_size : 0;
}

class Stop : public BatchFolders {};

TEST_F(Stop, StopFromAnotherThreadEndsTheRunAndKeepsWholeLines) {
    const std::string a = Source("a.txt", "alpha\n");
    const std::string b = Source("b.txt", "beta\n");
    BatchRun batch;
    RecordingBatchWindow window;
    window.saveResponseChecked = true;
    batch.SetWindow(&window);
    // Endless in practice: four billion passes, each writing one line.
    batch.m_arrScriptLines = {"(i/line/,l)4294967295"};
    batch.SetSourcePaths({a, b});
    batch.m_strDestFolder = m_out;
    ASSERT_EQ(batch.PrepareStart(), StartResult::Ready);

    std::thread worker([&batch] { batch.RunBatch(); });
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (SizeOf(OutputPath("a.txt")) < (off_t{1} << 21) && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    batch.RequestStop();
    worker.join();

    EXPECT_TRUE(batch.m_bStopped);
    EXPECT_TRUE(window.startEnabled);
    EXPECT_EQ(window.status, kErrors);
    EXPECT_TRUE(window.fileErrors.empty());
    const std::vector<std::string> expected = {"a.txt", "\tBatch stopped before its end", kErrors};
    EXPECT_EQ(batch.m_log.m_arrResponseLines, expected);
    // The response file is written after a stop too.
    EXPECT_EQ(ReadFile(m_out + "/re$pon$e.txt"), "a.txt\r\n\tBatch stopped before its end\r\n" + std::string(kErrors) + "\r\n");

    // Whole lines only, and the file is closed: its lock can be taken again.
    const std::string written = Output("a.txt");
    ASSERT_FALSE(written.empty());
    ASSERT_EQ(written.size() % 6, 0u);
    bool wholeLines = true;
    for (size_t at = 0; at < written.size(); at += 6) wholeLines = wholeLines && written.compare(at, 6, "line\r\n") == 0;
    EXPECT_TRUE(wholeLines);
    const int fd = open(OutputPath("a.txt").c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    close(fd);
    EXPECT_FALSE(OutputExists("b.txt"));
    EXPECT_EQ(ReadFile(a), "alpha\n");

    // The next run starts afresh: no stop left over from the last one.
    batch.m_arrScriptLines = {"te"};
    ASSERT_EQ(batch.PrepareStart(), StartResult::Ready);
    std::thread again([&batch] { batch.RunBatch(); });
    again.join();
    EXPECT_FALSE(batch.m_bStopped);
    EXPECT_EQ(Output("a.txt"), "alpha\r\n");
    EXPECT_EQ(Output("b.txt"), "beta\r\n");
}

}  // namespace
}  // namespace tavisk::test
