#pragma once
// Where the edited text goes in debug mode instead of an output file.
#include <string_view>

namespace tavisk {

class DebugOutputSink {
public:
    virtual ~DebugOutputSink() = default;
    // Adds `text` (one completed line with its CR LF) at the end of the window's text.
    virtual void AppendText(std::string_view text) = 0;
};

}  // namespace tavisk
