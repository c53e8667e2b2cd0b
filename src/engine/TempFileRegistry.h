#pragma once
// The hidden temporary files that exist right now, kept where a signal
// handler can reach them, so that no cut-off file is left behind when the
// process ends: the first file recorded installs an exit hook and, for each
// of SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE that would end the process
// as it stands (no handler of the program's own), a handler that removes
// them and then ends the process as the signal would.  A program with its
// own handler (the CLI stops the batch on the first Ctrl-C) calls UnlinkAll
// itself on the path that ends the process.
#include <string>

namespace tavisk {

class TempFileRegistry {
public:
    // Records the file `name` in the folder `folderFd`, which the caller
    // keeps open until Remove; returns the slot, or -1 when every slot is
    // taken (the file is then left for the next run's clean-up).
    static int Add(int folderFd, const std::string& name);
    static void Remove(int slot);
    // Unlinks every recorded file.  Async-signal-safe.
    static void UnlinkAll();
};

}  // namespace tavisk
