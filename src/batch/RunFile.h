#pragma once
// One source's run on one engine: its header line, the source opened (wide
// text refused), its output begun, the script run, the output ended.  The
// batch's own engine and a worker's run the same step.
#include "../engine/EditEngine.h"
#include "../engine/ResponseLog.h"
#include "BatchSources.h"
#include "FileResult.h"
#include "OutputSinks.h"

namespace tavisk {

// Told when a file's step begins on the batch's own engine, so that its
// progress shows from then on.
class FileStepStart {
public:
    virtual ~FileStepStart() = default;
    virtual void FileStepStarts(int i) = 0;
};

// `log` is the one `engine` writes to; `stepStart` may be null.
FileResult RunFile(EditEngine& engine, ResponseLog& log, const BatchSources& sources, const OutputSink& sink, int i,
                   FileStepStart* stepStart);

// Opens source `i` on `engine`; false when it cannot be, reported on the engine.
bool OpenSource(EditEngine& engine, const BatchSources& sources, int i);

}  // namespace tavisk
