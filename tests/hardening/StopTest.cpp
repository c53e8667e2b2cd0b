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
    batch.m_sources.SetPaths({a, b});
    batch.m_strDestFolder = m_out;
    ASSERT_EQ(batch.PrepareStart(), StartResult::Ready);

    std::thread worker([&batch] { batch.RunBatch(); });
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (OpenOutputSize(getpid(), m_out) < (off_t{1} << 21) && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    batch.RequestStop();
    worker.join();

    EXPECT_TRUE(batch.Stopped());
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
    EXPECT_FALSE(batch.Stopped());
    EXPECT_EQ(Output("a.txt"), "alpha\r\n");
    EXPECT_EQ(Output("b.txt"), "beta\r\n");
}

// Stops the run when the batch takes file `m_nStopAt` over (the progress moves).
struct StopAtProgressWindow final : RecordingBatchWindow {
    StopAtProgressWindow(BatchRun& batch, int stopAt) : m_batch(batch), m_nStopAt(stopAt) {}
    void SetProgressPos(int position) override {
        RecordingBatchWindow::SetProgressPos(position);
        if (position == m_nStopAt) m_batch.RequestStop();
    }

    BatchRun& m_batch;
    int m_nStopAt;
};

// With several jobs a stop keeps what one job would keep: the files before
// the one it stopped in, in source order, and nothing after.
TEST_F(Stop, StopWithFourJobsKeepsAPrefixOfTheSources) {
    std::vector<std::string> sources;
    for (int i = 0; i < 300; ++i) {
        const std::string name = "f" + std::to_string(1000 + i);
        sources.push_back(Source(name, name + "\n"));
    }
    BatchRun batch;
    StopAtProgressWindow window(batch, 11);
    batch.SetWindow(&window);
    batch.m_arrScriptLines = {"(i/x/,l)2000,te"};
    batch.m_sources.SetPaths(sources);
    batch.m_strDestFolder = m_out;
    batch.m_nJobs = 4;
    ASSERT_EQ(batch.PrepareStart(), StartResult::Ready);
    std::thread worker([&batch] { batch.RunBatch(); });
    worker.join();

    ASSERT_TRUE(batch.Stopped());  // the files far behind had not started when it came
    EXPECT_TRUE(window.fileErrors.empty());
    const std::vector<std::string>& lines = batch.m_log.m_arrResponseLines;
    ASSERT_GE(lines.size(), 13u);
    const size_t kept = lines.size() - 3;  // each kept file has its header only
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "x\r\n";
    for (size_t i = 0; i < sources.size(); ++i) {
        const std::string name = "f" + std::to_string(1000 + i);
        // The file the stop came in is kept only when it had ended, whole.
        if (i < kept || (i == kept && OutputExists(name))) {
            if (i < kept) {
                EXPECT_EQ(lines[i], name);
            }
            EXPECT_EQ(Output(name), text + name + "\r\n") << name;
        } else {
            EXPECT_FALSE(OutputExists(name)) << name << " was written after the stop in " << lines[kept];
        }
    }
    EXPECT_EQ(lines[kept], "f" + std::to_string(1000 + kept));
    EXPECT_EQ(lines[kept + 1], "\tBatch stopped before its end");
    EXPECT_EQ(CountFiles(m_out), kept + (OutputExists(lines[kept]) ? 1 : 0)) << "no file but the kept outputs is left";
}

}  // namespace
}  // namespace tavisk::test
