// The batch loop on several engines at once.  Each worker runs whole files on
// its own parser and engine into its own response lines and leaves the output
// finished but not in place; the calling thread takes the results in source
// order and does with each exactly what the one-engine loop does, committing
// the outputs in that order, so nothing but the time depends on the jobs.
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>

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

    JobEngine(const std::vector<std::string>& scriptLines, const StopEvent& stop)
        : parser(scriptLines), engine(parser, log) {
        engine.SetFileErrorReport(this);
        engine.SetStopFlag(&stop.Flag(), stop.Fd());
    }
    void ReportFileError(const FileError& error) override { errors.push_back(error); }
};

// What one file's run left for the loop to take over.
struct FileJob {
    std::vector<std::string> lines;  // the header line first
    int nErrors = 0;
    int64_t nReplacements = 0;
    std::vector<FileError> fileErrors;  // to be shown, in order
    bool bOpened = false;
    bool bWideText = false;
    bool bOutputOpened = false;
    FileRun run = FileRun::Finished;
    bool bStopRequested = false;  // the stop had been asked for when the file ended
    std::unique_ptr<OutputTarget> output = std::make_unique<OutputTarget>();  // finished, to be put in place
    std::vector<std::string> madeFolders;  // below the destination, top first
};

// One file named twice (by a link, or another spelling) must not be open in
// two jobs at once: the second open would meet the first one's lock, where
// one job after another never does.
class SameFileGate {
public:
    // Waits while another job has the file at `path`; false when it cannot be looked at.
    bool Enter(const std::string& path, FileIdentity& key) {
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) return false;  // the open reports why
        key = IdentityOf(info);
        std::unique_lock lock(m_mutex);
        m_released.wait(lock, [&] { return m_busy.count(key) == 0; });
        m_busy.insert(key);
        return true;
    }
    void Leave(const FileIdentity& key) {
        {
            std::lock_guard lock(m_mutex);
            m_busy.erase(key);
        }
        m_released.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    std::set<FileIdentity> m_busy;
};

// Results wait for the slowest file; some files ahead per worker keep the
// cores busy behind a long one, and bound the finished outputs held open.
// Each finished output holds its descriptor until it is committed.
constexpr int kLookaheadPerJob = 32;
constexpr int kMaxLookahead = 256;

// Descriptors a running job holds (its source, its output and the output's
// folder), those a finished output holds until it is committed (the file and
// its folder), and those kept free for the rest of the run (the response
// file, a folder being made, libraries).
constexpr int kDescriptorsPerJob = 3;
constexpr int kDescriptorsPerFinishedOutput = 2;
constexpr int kDescriptorsSpare = 16;

int OpenDescriptorCount() {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return 3;
    int count = -1;  // the folder's own descriptor
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') ++count;
    closedir(dir);
    return count;
}

// Descriptors the jobs may use: the limit, raised to the hard limit first,
// less those open now and the spare ones.
int DescriptorsForJobs() {
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return INT32_MAX;
    if (limit.rlim_cur < limit.rlim_max) {  // the soft limit is ours to raise
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > INT32_MAX) return INT32_MAX;
    return std::max(0, static_cast<int>(limit.rlim_cur) - OpenDescriptorCount() - kDescriptorsSpare);
}

// Finished outputs the jobs may hold at once, each within the descriptor limit.
int LookaheadFor(int workers, int descriptors) {
    const int fitting = (descriptors - workers * kDescriptorsPerJob) / kDescriptorsPerFinishedOutput;
    return std::max(1, std::min({workers * kLookaheadPerJob, kMaxLookahead, fitting}));
}

}  // namespace

int JobsWithinDescriptorLimit(int wanted) {
    const int descriptors = DescriptorsForJobs();
    // Each job needs room for its own files and at least one finished output.
    const int fitting = descriptors / (kDescriptorsPerJob + kDescriptorsPerFinishedOutput);
    return std::max(1, std::min(wanted, fitting));
}

void BatchRun::RunFilesInParallel(int filesToRun) {
    const int descriptors = DescriptorsForJobs();
    const int workers = std::min({m_nJobs, filesToRun, JobsWithinDescriptorLimit(m_nJobs)});
    std::vector<std::unique_ptr<JobEngine>> engines;
    for (int w = 0; w < workers; ++w) {
        engines.push_back(std::make_unique<JobEngine>(m_arrScriptLines, m_stop));
        engines.back()->engine.m_lineEnds = m_lineEnds;
    }

    SameFileGate gate;
    // The steps of the one-engine loop up to the commit, on a worker's engine.
    const auto runFile = [&](int worker, int i) {
        JobEngine& job = *engines[static_cast<size_t>(worker)];
        job.log.Clear();
        job.errors.clear();
        job.log.AddLine(m_arrSourceFiles[static_cast<size_t>(i)].substr(1));
        // The last file runs while the other workers run out of files: its pieces may use them all.
        SetPieceWorkers(job.engine, i + 1 == filesToRun ? m_nJobs : 1);
        const int64_t fileErrorsBefore = job.engine.FileErrorCount();
        FileJob result;
        FileIdentity source;
        const bool entered = i != m_nStandardInputSource && gate.Enter(SourcePath(i), source);
        result.bOpened = OpenSourceFileOn(job.engine, i);
        result.bWideText = result.bOpened && RefuseWideTextOn(job.engine);
        if (result.bOpened && !result.bWideText) {
            result.bOutputOpened = OpenOutputFileOn(job.engine, i, &result.madeFolders);
            if (result.bOutputOpened) {
                result.run = job.engine.RunScriptOnFile();
                result.nReplacements = job.engine.m_nReplacements;
                if (result.run == FileRun::Finished && job.engine.FileErrorCount() == fileErrorsBefore)
                    job.engine.FinishFiles(*result.output);
                else
                    job.engine.DiscardFiles();
                if (job.engine.m_fileOutput.Stopped()) result.run = FileRun::Stopped;  // its last write was stopped
            }
        }
        job.engine.DiscardFiles();  // whatever a failed step left open
        if (entered) gate.Leave(source);
        result.bStopRequested = m_stop.Flag().load();
        result.lines = std::move(job.log.m_arrResponseLines);
        result.nErrors = job.log.m_nErrorCount;
        result.fileErrors = std::move(job.errors);
        return result;
    };
    OrderedJobs<FileJob> jobs(workers, filesToRun, LookaheadFor(workers, descriptors), runFile);

    FileJob file;
    for (int i = 0; jobs.TakeNext(file); ++i) {
        FileOutcome& outcome = BeginFileOutcome();
        for (std::string& line : file.lines) m_log.AddLine(std::move(line));
        m_log.m_nErrorCount += file.nErrors;
        for (const FileError& error : file.fileErrors) ReportFileError(error);
        outcome.bOpened = file.bOpened;
        outcome.nReplacements = file.nReplacements;
        const bool moreFiles = i + 1 < filesToRun;
        if (!file.bOpened) {
            if (m_bKeepGoing && file.bStopRequested && moreFiles) {
                NoteStop();
                outcome.bStopped = true;
            }
            if (!m_bKeepGoing || outcome.bStopped) break;
            continue;
        }
        if (file.bWideText) {
            m_pWindow->SetProgressPos(i + 1);
            continue;
        }
        if (!file.bOutputOpened) break;
        m_pWindow->SetProgressPos(i + 1);
        if (file.output->IsOpen()) {
            FileError error;
            outcome.bWritten = file.output->Commit(error);
            if (!outcome.bWritten) m_engine.ReportFileError(error);
        }
        outcome.bStopped = file.run == FileRun::Stopped || (file.bStopRequested && moreFiles);
        if (outcome.bStopped) NoteStop();
        if (outcome.bStopped) break;
    }
    // Files past the end of the batch leave nothing: their outputs are
    // dropped and the folders made for them removed (when still empty).
    std::vector<std::string> madeFolders;
    jobs.Abandon([&](int, FileJob& leftover) {
        leftover.output->Discard();
        madeFolders.insert(madeFolders.end(), leftover.madeFolders.begin(), leftover.madeFolders.end());
    });
    for (auto folder = madeFolders.rbegin(); folder != madeFolders.rend(); ++folder) rmdir(folder->c_str());
}

}  // namespace tavisk
