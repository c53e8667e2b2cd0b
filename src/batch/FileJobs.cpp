#include "FileJobs.h"

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <condition_variable>
#include <mutex>
#include <set>

#include "PieceWorkers.h"
#include "RunFile.h"

namespace tavisk {

// A worker's engine: its own parser cursor, response lines and file errors.
struct FileJobs::Worker final : FileErrorReport {
    ScriptParser parser;
    ResponseLog log;
    EditEngine engine;
    std::vector<FileError> errors;

    Worker(const std::vector<std::string>& scriptLines, const StopEvent& stop, LineEndStyle lineEnds)
        : parser(scriptLines), engine(parser, log) {
        engine.SetFileErrorReport(this);
        engine.SetStopFlag(&stop.Flag(), stop.Fd());
        engine.m_lineEnds = lineEnds;
    }
    void ReportFileError(const FileError& error) override { errors.push_back(error); }
};

// One file named twice (by a link, or another spelling) must not be open in
// two jobs at once: the second open would meet the first one's lock, where
// one job after another never does.
class FileJobs::SameFileGate {
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

namespace {

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

FileJobs::FileJobs(int jobs, int filesToRun, const std::vector<std::string>& scriptLines, const StopEvent& stop,
                   LineEndStyle lineEnds, const FileStepPlaces& places)
    : m_nJobs(jobs), m_nFiles(filesToRun), m_places(places), m_gate(std::make_unique<SameFileGate>()) {
    const int descriptors = DescriptorsForJobs();
    const int workers = std::min({jobs, filesToRun, JobsWithinDescriptorLimit(jobs)});
    for (int w = 0; w < workers; ++w) m_workers.push_back(std::make_unique<Worker>(scriptLines, stop, lineEnds));
    m_jobs = std::make_unique<OrderedJobs<FileResult>>(workers, filesToRun, LookaheadFor(workers, descriptors),
                                                       [this](int worker, int i) { return RunOnWorker(worker, i); });
}

FileJobs::~FileJobs() { Abandon(); }

FileResult FileJobs::RunOnWorker(int worker, int i) {
    Worker& job = *m_workers[static_cast<size_t>(worker)];
    job.log.Clear();
    job.errors.clear();
    // The last file runs while the other workers run out of files: its pieces may use them all.
    SetPieceWorkers(job.engine, i + 1 == m_nFiles ? m_nJobs : 1);
    FileIdentity source;
    const bool entered = !m_places.sources.IsStandardInput(i) && m_gate->Enter(m_places.sources.Path(i), source);
    FileResult file = RunFile(job.engine, job.log, m_places, i, nullptr);
    if (entered) m_gate->Leave(source);
    file.bOnWorker = true;
    file.lines = std::move(job.log.m_arrResponseLines);
    file.nErrors = job.log.m_nErrorCount;
    file.fileErrors = std::move(job.errors);
    return file;
}

void FileJobs::Abandon() {
    if (!m_jobs) return;
    std::vector<std::string> madeFolders;
    m_jobs->Abandon([&](int, FileResult& leftover) {
        leftover.output->Discard();
        madeFolders.insert(madeFolders.end(), leftover.madeFolders.begin(), leftover.madeFolders.end());
    });
    for (auto folder = madeFolders.rbegin(); folder != madeFolders.rend(); ++folder) rmdir(folder->c_str());
    m_jobs.reset();
}

}  // namespace tavisk
