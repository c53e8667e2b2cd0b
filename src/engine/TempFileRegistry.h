#pragma once
// The temporary output files being written right now, kept where a signal
// handler can reach them: a second Ctrl-C removes them before the process
// ends, so no cut-off file is left behind.
#include <string>

namespace tavisk {

class TempFileRegistry {
public:
    // Records `path`; returns its slot, or -1 when every slot is taken (the
    // file is then left for the next run's clean-up).
    static int Add(const std::string& path);
    static void Remove(int slot);
    // Unlinks every recorded file.  Async-signal-safe.
    static void UnlinkAll();
};

}  // namespace tavisk
