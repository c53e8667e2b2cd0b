#pragma once
// The files of a batch run ahead on several engines at once.  Each worker
// runs whole files on its own parser and engine into its own response lines
// and leaves the output finished but not in place; the batch loop takes the
// results in source order and does with each what it does with a file run
// on its own engine, so nothing but the time depends on the jobs.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "../engine/EditEngine.h"
#include "../engine/OrderedJobs.h"
#include "../engine/StopEvent.h"
#include "FileResult.h"
#include "RunFile.h"

namespace tavisk {

// The jobs that can run at once without running out of descriptors under
// the process's limit (RLIMIT_NOFILE, whose soft value it raises to the
// hard one): `wanted`, or fewer, at least 1.
int JobsWithinDescriptorLimit(int wanted);

class FileJobs {
public:
    // `opener`, when set, reads the sources instead of the file system.
    FileJobs(int jobs, int filesToRun, const std::vector<std::string>& scriptLines, const StopEvent& stop,
             LineEndStyle lineEnds, const FileStepPlaces& places);
    ~FileJobs();
    FileJobs(const FileJobs&) = delete;
    FileJobs& operator=(const FileJobs&) = delete;

    // Waits for the next file's result in source order; false when none is left.
    bool TakeNext(FileResult& file) { return m_jobs->TakeNext(file); }
    // Files past the end of the batch leave nothing: no job starts any more,
    // their outputs are dropped and the folders made for them removed (when
    // still empty).
    void Abandon();

private:
    struct Worker;
    class SameFileGate;

    FileResult RunOnWorker(int worker, int i);

    const int m_nJobs;
    const int m_nFiles;
    const FileStepPlaces m_places;
    std::vector<std::unique_ptr<Worker>> m_workers;
    std::unique_ptr<SameFileGate> m_gate;
    std::unique_ptr<OrderedJobs<FileResult>> m_jobs;
};

}  // namespace tavisk
