#pragma once
// Where a batch reads its sources from when not from the file system: text
// held in memory (fuzzing, tests), opened on the engine's reader.
#include <string>

#include "../engine/TextFile.h"

namespace tavisk {

class SourceOpener {
public:
    virtual ~SourceOpener() = default;
    // Opens the source named `path` on `reader`; false, with `error` set, when
    // there is no such source.
    virtual bool Open(const std::string& path, TextFileReader& reader, FileError& error) = 0;
};

}  // namespace tavisk
