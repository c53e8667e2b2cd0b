// One source's step, as the batch's own engine and each worker run it: what
// it tells the loop, and where each kind of output goes once taken.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

#include <atomic>
#include <string>
#include <vector>

#include "RecordingFakes.h"
#include "TempDir.h"
#include "TestNames.h"
#include "batch/RunFile.h"

namespace tavisk {
namespace {

using test::FileExists;
using test::MakeDir;
using test::ReadFile;
using test::RecordingBatchWindow;
using test::RecordingFileErrors;
using test::TempDir;
using test::WriteFile;

enum class Sink { Written, Preview, Debug };

struct StepCase {
    std::string what;
    Sink sink;
    const char* source;  // null: no such file
    bool destIsFile;     // the output cannot be begun
    bool stop;           // the stop was asked for before the step
    // What the step tells the loop.
    bool opened, wide, outputOpened;
    FileRun run;
    bool written;        // the loop's take put it in place
    int fileErrors;
};

class FileStep : public testing::TestWithParam<StepCase> {};

TEST_P(FileStep, TellsTheLoopWhatBecameOfTheFile) {
    const StepCase& c = GetParam();
    TempDir dir;
    const std::string src = dir / "src";
    const std::string dest = dir / "dest";
    MakeDir(src);
    if (c.destIsFile)
        WriteFile(dest, "not a folder");
    else
        MakeDir(dest);
    if (c.source) WriteFile(src + "/a.txt", c.source);
    BatchSources sources;
    sources.Add(src, "/a.txt");

    const std::vector<std::string> script{"te"};
    ScriptParser parser(script);
    ResponseLog log;
    EditEngine engine(parser, log);
    RecordingFileErrors errors;
    RecordingBatchWindow window;
    std::atomic<bool> stop{c.stop};
    engine.SetFileErrorReport(&errors);
    engine.SetDebugSink(&window);
    engine.SetStopFlag(&stop);
    engine.m_bDebug = c.sink == Sink::Debug;
    const OutputPlace place{sources, dest};
    const std::vector<bool> outputPresent{false};
    // The run opens its destination once, as a real run does.
    const int destFd = ::open(dest.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const int destError = destFd < 0 ? errno : 0;
    const SharedFolder destHandle = destFd < 0 ? nullptr : std::make_shared<const FolderHandle>(destFd);
    const WrittenOutputs written(place, destHandle, destError, outputPresent);
    const PreviewOutputs preview(place, nullptr, false);
    const DebugOutputs debug(window);
    const OutputSink& sink = c.sink == Sink::Written ? static_cast<const OutputSink&>(written)
                             : c.sink == Sink::Preview ? static_cast<const OutputSink&>(preview)
                                                       : static_cast<const OutputSink&>(debug);

    FileResult file = RunFile(engine, log, FileStepPlaces{sources, nullptr, sink}, 0, nullptr);
    EXPECT_EQ(file.bOpened, c.opened);
    EXPECT_EQ(file.bWideText, c.wide);
    EXPECT_EQ(file.bOutputOpened, c.outputOpened);
    EXPECT_EQ(file.run, c.run);
    EXPECT_EQ(file.bStopRequested, c.stop);
    ASSERT_FALSE(log.m_arrResponseLines.empty());
    EXPECT_EQ(log.m_arrResponseLines.front(), "a.txt");  // the header line comes first
    EXPECT_EQ(static_cast<int>(errors.texts.size()), c.fileErrors);
    EXPECT_FALSE(engine.m_fileSource.IsOpen());  // nothing is left open for the next file

    // Nothing reaches the output's name before the loop takes the file.
    const std::string output = dest + "/a.txt";
    EXPECT_FALSE(FileExists(output));
    EXPECT_EQ(sink.Take(file, engine), c.written);
    EXPECT_EQ(FileExists(output), c.written);
    if (c.written) {
        EXPECT_EQ(ReadFile(output), c.source);
    }
    EXPECT_EQ(window.debugShown, c.sink == Sink::Debug && c.outputOpened);
    if (c.sink == Sink::Debug && c.outputOpened) {
        EXPECT_EQ(window.debugText, c.source);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileStep,
    testing::Values(
        StepCase{"written", Sink::Written, "a\r\nb\r\n", false, false, true, false, true, FileRun::Finished, true, 0},
        StepCase{"missing source", Sink::Written, nullptr, false, false, false, false, false, FileRun::Finished, false, 1},
        StepCase{"wide text", Sink::Written, "\xFF\xFE" "a\0\r\0\n\0", false, false, true, true, false, FileRun::Finished,
                 false, 1},
        StepCase{"output cannot be begun", Sink::Written, "a\r\n", true, false, true, false, false, FileRun::Finished,
                 false, 1},
        StepCase{"stopped", Sink::Written, "a\r\n", false, true, true, false, true, FileRun::Stopped, false, 0},
        StepCase{"previewed", Sink::Preview, "a\r\n", false, false, true, false, true, FileRun::Finished, false, 0},
        StepCase{"preview of an output that cannot be made", Sink::Preview, "a\r\n", true, false, true, false, false,
                 FileRun::Finished, false, 1},
        StepCase{"debug window", Sink::Debug, "a\r\n", false, false, true, false, true, FileRun::Finished, false, 0}),
    test::NameRowsBy<StepCase>([](const StepCase& c) { return c.what; }));

}  // namespace
}  // namespace tavisk
