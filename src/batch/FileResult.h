#pragma once
// What one source's run left for the batch loop, which takes the results in
// source order whether they were run there or ahead on a worker.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../engine/EditEngine.h"
#include "../engine/FileError.h"
#include "../engine/OutputTarget.h"

namespace tavisk {

struct FileResult {
    // A worker's response lines (the header line first), its count of errors
    // among them and its file errors, to be shown in order; a run on the
    // batch's own engine has added them already.
    bool bOnWorker = false;
    std::vector<std::string> lines;
    int nErrors = 0;
    std::vector<FileError> fileErrors;

    bool bOpened = false;        // the source could be opened
    bool bWideText = false;      // it is UTF-16 or UTF-32 text, reported and left alone
    bool bOutputOpened = false;  // its output could be begun; the script ran
    FileRun run = FileRun::Finished;
    int64_t nReplacements = 0;   // those its "g" commands reported
    bool bStopRequested = false; // the stop had been asked for when the file ended
    // A kept output, flushed and finished, that the loop puts in place.
    std::unique_ptr<OutputTarget> output = std::make_unique<OutputTarget>();
    std::vector<std::string> madeFolders;  // made for the output below the destination, top first
};

}  // namespace tavisk
