// The batch loop on several engines at once.  Each worker runs whole files on
// its own parser and engine into its own response lines; the calling thread
// takes the results in source order and does exactly what the one-engine loop
// does with them, so nothing but the time depends on the number of jobs.
#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>
#include <memory>

#include "BatchRun.h"
#include "OrderedJobs.h"

namespace tavisk {

namespace {

// A worker's engine: its own parser cursor, response lines and file errors.
struct JobEngine final : FileErrorReport {
    ScriptParser parser;
    ResponseLog log;
    EditEngine engine;
    std::vector<FileError> errors;

    JobEngine(const std::vector<std::string>& scriptLines, const std::atomic<bool>* stop)
        : parser(scriptLines), engine(parser, log) {
        engine.SetFileErrorReport(this);
        engine.SetStopFlag(stop);
    }
    void ReportFileError(const FileError& error) override { errors.push_back(error); }
};

// What one file's run left for the loop to take over.
struct FileJob {
    std::vector<std::string> lines;  // the header line first
    int nErrors = 0;
    std::vector<FileError> fileErrors;
    bool bOpened = false;
    bool bOutputOpened = false;
    bool bStopRequested = false;  // the stop had been asked for when the file ended
};

// One file named twice (by a link, or another spelling) must not be open in
// two jobs at once: the second open would meet the first one's lock, where
// one job after another never does.
class SameFileGate {
public:
    // Waits while another job has the file at `path` open; false when it cannot be looked at.
    bool Enter(const std::string& path, std::pair<dev_t, ino_t>& key) {
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) return false;  // the open reports why
        key = {info.st_dev, info.st_ino};
        std::unique_lock lock(m_mutex);
        m_released.wait(lock, [&] { return m_busy.count(key) == 0; });
        m_busy.insert(key);
        return true;
    }
    void Leave(const std::pair<dev_t, ino_t>& key) {
        {
            std::lock_guard lock(m_mutex);
            m_busy.erase(key);
        }
        m_released.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    std::set<std::pair<dev_t, ino_t>> m_busy;
};

// Results wait for the slowest file; this many ahead per worker keeps both
// cores busy behind a long file without holding the whole batch.
constexpr int kLookaheadPerJob = 16;

}  // namespace

void BatchRun::RunFilesInParallel(int filesToRun) {
    const int workers = std::min(m_nJobs, filesToRun);
    std::vector<std::unique_ptr<JobEngine>> engines;
    for (int w = 0; w < workers; ++w) engines.push_back(std::make_unique<JobEngine>(m_arrScriptLines, &m_bStopRequested));

    SameFileGate gate;
    const auto runFile = [&](int worker, int i) {
        JobEngine& job = *engines[static_cast<size_t>(worker)];
        job.log.Clear();
        job.errors.clear();
        job.log.AddLine(m_arrSourceFiles[static_cast<size_t>(i)].substr(1));
        FileJob result;
        std::pair<dev_t, ino_t> source;
        const bool entered = gate.Enter(SourcePath(i), source);
        result.bOpened = OpenSourceFileOn(job.engine, i);
        result.bOutputOpened = result.bOpened && OpenOutputFileOn(job.engine, i);
        if (result.bOutputOpened) job.engine.RunScriptOnFile();
        job.engine.CloseFiles();
        if (entered) gate.Leave(source);
        result.bStopRequested = m_bStopRequested.load();
        result.lines = std::move(job.log.m_arrResponseLines);
        result.nErrors = job.log.m_nErrorCount;
        result.fileErrors = std::move(job.errors);
        return result;
    };
    OrderedJobs<FileJob> jobs(workers, filesToRun, workers * kLookaheadPerJob, runFile);

    FileJob file;
    for (int i = 0; jobs.TakeNext(file); ++i) {
        FileOutcome& outcome = m_arrFileOutcomes.emplace_back();
        outcome.nFirstLine = m_log.m_arrResponseLines.size();
        for (std::string& line : file.lines) m_log.AddLine(std::move(line));
        m_log.m_nErrorCount += file.nErrors;
        for (const FileError& error : file.fileErrors) ReportFileError(error);
        outcome.bOpened = file.bOpened;
        if (file.bOutputOpened) m_pWindow->SetProgressPos(i + 1);
        const bool ran = file.bOutputOpened || (!file.bOpened && m_bKeepGoing);
        outcome.bStopped = ran && file.bStopRequested;
        if (outcome.bStopped) {
            m_bStopped = true;
            m_log.AddErrorLine(kStoppedLine);
        }
        outcome.nErrors = file.nErrors + (outcome.bStopped ? 1 : 0);
        outcome.bWritten = file.bOutputOpened && !outcome.bStopped && file.fileErrors.empty();
        if (outcome.bStopped || !ran) break;
    }
    jobs.Abandon();
}

}  // namespace tavisk
