// A batch on a worker thread, stopped from another thread while it runs (the
// desktop program's "Done" during a run).  Also run under ThreadSanitizer.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "HardeningFixture.h"
#include "RecordingFakes.h"
#include "batch/BatchRun.h"

namespace tavisk::test {
namespace {

class Stop : public BatchFolders {};

TEST_F(Stop, StopFromAnotherThreadEndsTheRunAndDropsTheFileInProgress) {
    const std::string a = Source("a.txt", "alpha\n");
    const std::string b = Source("b.txt", "beta\n");
    WriteFile(OutputPath("a.txt"), "the previous output\r\n");
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
    while (OpenOutputSize(getpid(), m_out) < (off_t{1} << 21) && std::chrono::steady_clock::now() < giveUp)
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

    // The file in progress is dropped: its name keeps what it held.
    EXPECT_EQ(Output("a.txt"), "the previous output\r\n");
    EXPECT_EQ(TempFileIn(m_out), "");
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
