#include "FileJobs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

    Worker(const std::vector<std::string>& scriptLines, const std::atomic<bool>* stop, LineEndStyle lineEnds)
        : parser(scriptLines), engine(parser, log) {
        engine.SetFileErrorReport(this);
        engine.SetStopFlag(stop);
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

}  // namespace

FileJobs::FileJobs(int jobs, int filesToRun, const std::vector<std::string>& scriptLines,
                   const std::atomic<bool>* stop, LineEndStyle lineEnds, const BatchSources& sources,
                   const OutputSink& sink)
    : m_nJobs(jobs), m_nFiles(filesToRun), m_sources(sources), m_sink(sink), m_gate(std::make_unique<SameFileGate>()) {
    const int workers = std::min(jobs, filesToRun);
    for (int w = 0; w < workers; ++w) m_workers.push_back(std::make_unique<Worker>(scriptLines, stop, lineEnds));
    m_jobs = std::make_unique<OrderedJobs<FileResult>>(workers, filesToRun,
                                                       std::min(workers * kLookaheadPerJob, kMaxLookahead),
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
    const bool entered = !m_sources.IsStandardInput(i) && m_gate->Enter(m_sources.Path(i), source);
    FileResult file = RunFile(job.engine, job.log, m_sources, m_sink, i, nullptr);
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
