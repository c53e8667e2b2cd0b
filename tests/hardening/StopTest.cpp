// A batch on a worker thread, stopped from another thread while it runs (the
// desktop program's "Done" during a run).  Also run under ThreadSanitizer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
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

// ---------------------------------------------------------------- stops that reach blocking I/O

// The other end of a FIFO, held by a thread that never blocks in open():
// it feeds `bytes` (a writer) or reads nothing (a reader), then stays idle,
// open, until released.
class IdleFifoEnd {
public:
    IdleFifoEnd(const std::string& path, bool writer, std::string bytes = {})
        : m_thread([this, path, writer, bytes = std::move(bytes)] { Hold(path, writer, bytes); }) {}
    ~IdleFifoEnd() {
        m_released = true;
        m_thread.join();
    }
    bool Fed() const { return m_fed; }

private:
    void Hold(const std::string& path, bool writer, std::string_view bytes) {
        int fd = -1;
        // A writer cannot open before the batch opens to read: try until then.
        while (fd < 0 && !m_released) {
            fd = open(path.c_str(), (writer ? O_WRONLY : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        while (writer && fd >= 0 && !bytes.empty() && !m_released) {
            const ssize_t written = write(fd, bytes.data(), bytes.size());
            if (written > 0) bytes.remove_prefix(static_cast<size_t>(written));
            else std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        m_fed = true;
        while (!m_released) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (fd >= 0) close(fd);
    }

    std::atomic<bool> m_released{false};
    std::atomic<bool> m_fed{false};
    std::thread m_thread;
};

std::string MakeFifo(const std::string& path) {
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    return path;
}

struct BlockedStopCase {
    const char* name;
    int jobs;
    // Makes the scene in (src, out); returns the sources and the other ends
    // of its FIFOs, which stay idle until the end of the case.
    std::function<std::vector<std::string>(const std::string&, const std::string&,
                                           std::vector<std::unique_ptr<IdleFifoEnd>>&)>
        build;
    const char* responseFifo = nullptr;  // a FIFO with no reader at the response file's name
};

class StopWhileBlocked : public BatchFolders, public testing::WithParamInterface<BlockedStopCase> {};

// Whatever the run waits on, a stop ends it within half a second: no file
// error, the batch stopped, and no output but the earlier ones.
TEST_P(StopWhileBlocked, EndsWithinHalfASecond) {
    const BlockedStopCase& c = GetParam();
    std::vector<std::unique_ptr<IdleFifoEnd>> ends;
    const std::vector<std::string> sources = c.build(m_src, m_out, ends);
    BatchRun batch;
    RecordingBatchWindow window;
    batch.SetWindow(&window);
    batch.m_arrScriptLines = {"te"};
    batch.m_sources.SetPaths(sources);
    batch.m_strDestFolder = m_out;
    batch.m_nJobs = c.jobs;
    if (c.responseFifo) {
        window.saveResponseChecked = true;
        batch.m_strResponseFile = MakeFifo(m_out + "/" + c.responseFifo);
    }
    ASSERT_EQ(batch.PrepareStart(), StartResult::Ready);

    std::atomic<bool> ended{false};
    std::thread worker([&] {
        batch.RunBatch();
        ended = true;
    });
    // Every other end has fed what it had; then the run waits on it.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (const auto& end : ends)
        while (!end->Fed() && std::chrono::steady_clock::now() < giveUp) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(ended) << "the run did not wait";
    const auto stopped = std::chrono::steady_clock::now();
    batch.RequestStop();
    while (!ended && std::chrono::steady_clock::now() - stopped < std::chrono::seconds(10))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const bool stopReachedIt = ended;
    ends.clear();  // releases a run that the stop did not reach
    worker.join();

    EXPECT_TRUE(stopReachedIt) << "the run ended only when the other end went away";
    EXPECT_TRUE(batch.Stopped());
    // The response file that could not be written is the one error.
    const std::vector<std::string> errors = window.fileErrors;
    EXPECT_EQ(errors, c.responseFifo ? std::vector<std::string>{batch.m_strResponseFile + ": Interrupted system call"}
                                     : std::vector<std::string>{});
    EXPECT_EQ(batch.m_log.m_arrResponseLines.at(batch.m_log.m_arrResponseLines.size() - 2), kStoppedLine);
    EXPECT_EQ(TempFileIn(m_out), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StopWhileBlocked,
    testing::Values(
        BlockedStopCase{"IdleSourcePipe", 1,
                        [](const std::string& src, const std::string&, auto& ends) {
                            const std::string fifo = MakeFifo(src + "/pipe.txt");
                            ends.push_back(std::make_unique<IdleFifoEnd>(fifo, true, "a first line\nand half a"));
                            return std::vector<std::string>{fifo};
                        }},
        BlockedStopCase{"IdleSourcePipeInAWorker", 2,
                        [](const std::string& src, const std::string&, auto& ends) {
                            WriteFile(src + "/a.txt", "alpha\n");
                            WriteFile(src + "/b.txt", "bravo\n");
                            const std::string fifo = MakeFifo(src + "/pipe.txt");
                            ends.push_back(std::make_unique<IdleFifoEnd>(fifo, true));
                            return std::vector<std::string>{src + "/a.txt", fifo, src + "/b.txt"};
                        }},
        BlockedStopCase{"IdleFifoOutput", 1,
                        [](const std::string& src, const std::string& out, auto& ends) {
                            // More than a pipe holds, so the write waits for room.
                            WriteFile(src + "/big.txt", std::string(1 << 20, 'x') + "\n");
                            ends.push_back(std::make_unique<IdleFifoEnd>(MakeFifo(out + "/big.txt"), false));
                            return std::vector<std::string>{src + "/big.txt"};
                        }},
        BlockedStopCase{"FifoOutputWithoutReader", 1,
                        [](const std::string& src, const std::string& out, auto&) {
                            WriteFile(src + "/a.txt", "alpha\n");
                            MakeFifo(out + "/a.txt");
                            return std::vector<std::string>{src + "/a.txt"};
                        }},
        BlockedStopCase{"FifoOutputWithoutReaderInAWorker", 2,
                        [](const std::string& src, const std::string& out, auto&) {
                            WriteFile(src + "/a.txt", "alpha\n");
                            WriteFile(src + "/b.txt", "bravo\n");
                            MakeFifo(out + "/b.txt");
                            return std::vector<std::string>{src + "/a.txt", src + "/b.txt"};
                        }},
        BlockedStopCase{"ResponseFifoWithoutReaderAfterTheStop", 1,
                        [](const std::string& src, const std::string& out, auto&) {
                            WriteFile(src + "/a.txt", "alpha\n");
                            MakeFifo(out + "/a.txt");
                            return std::vector<std::string>{src + "/a.txt"};
                        },
                        "response.txt"},
        BlockedStopCase{"InsideOneLongLineFromAPipe", 1,
                        [](const std::string& src, const std::string&, auto& ends) {
                            const std::string fifo = MakeFifo(src + "/line.txt");
                            ends.push_back(std::make_unique<IdleFifoEnd>(fifo, true, std::string(size_t{64} << 20, 'y')));
                            return std::vector<std::string>{fifo};
                        }}),
    [](const testing::TestParamInfo<BlockedStopCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavisk::test
