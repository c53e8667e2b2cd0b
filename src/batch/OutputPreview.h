#pragma once
// What a dry run does with each output instead of writing it.
#include <string>

#include "../engine/TextFile.h"

namespace tavisk {

class OutputPreview {
public:
    virtual ~OutputPreview() = default;
    // Where the bytes of the output `outputPath`, made from `sourcePath`, go.
    virtual OutputCapture* BeginFile(const std::string& sourcePath, const std::string& outputPath) = 0;
    // The file's run is over; `complete` when a real run would have kept its output.
    virtual void EndFile(bool complete) = 0;
};

}  // namespace tavisk
