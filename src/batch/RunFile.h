#pragma once
// One source's run on one engine: its header line, the source opened (wide
// text refused), its output begun, the script run, the output ended.  The
// batch's own engine and a worker's run the same step.
#include "../engine/EditEngine.h"
#include "../engine/ResponseLog.h"
#include "BatchSources.h"
#include "FileResult.h"
#include "OutputSinks.h"
#include "SourceOpener.h"

namespace tavisk {

// Told when a file's step begins on the batch's own engine, so that its
// progress shows from then on.
class FileStepStart {
public:
    virtual ~FileStepStart() = default;
    virtual void FileStepStarts(int i) = 0;
};

// Where a step finds its source and puts its output.
struct FileStepPlaces {
    const BatchSources& sources;
    SourceOpener* opener;  // reads the sources instead of the file system, when set
    const OutputSink& sink;
};

// `log` is the one `engine` writes to; `stepStart` may be null.
FileResult RunFile(EditEngine& engine, ResponseLog& log, const FileStepPlaces& places, int i,
                   FileStepStart* stepStart);

// Opens source `i` on `engine`; false when it cannot be, reported on the engine.
bool OpenSource(EditEngine& engine, const BatchSources& sources, SourceOpener* opener, int i);

}  // namespace tavisk
