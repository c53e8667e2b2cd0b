#pragma once
// Where an output's bytes go.  A file is written under a new hidden name
// beside its final name and renamed over that name only by Commit, so a
// failed, stopped or killed run never leaves a cut-off file under the real
// name, and a link at the name is replaced instead of written through.  A
// device or a pipe at the name is written directly: it holds no data to lose.
#include <sys/types.h>

#include <string>

#include "FileError.h"
#include "FileIdentity.h"

namespace tavisk {

// Every temporary name starts with this; the rest is six random characters,
// "-" and the start of the final name.
inline constexpr const char* kTempFilePrefix = ".tavisk-partial-";

struct OutputOptions {
    FileIdentity mustDiffer;         // an open input: an output that is that file is refused
    mode_t permissions = 0666;       // less the umask, as the kernel applies it
    bool followDeviceLinks = false;  // a link to a device, a pipe or a descriptor of ours is written through
};

class OutputTarget {
public:
    OutputTarget() = default;
    ~OutputTarget() { Discard(); }
    OutputTarget(const OutputTarget&) = delete;
    OutputTarget& operator=(const OutputTarget&) = delete;

    // Opens a new file for `path`; every error names `path`.
    bool Open(const std::string& path, const OutputOptions& options, FileError& error);
    // Closes the file and puts it in place under its final name.
    bool Commit(FileError& error);
    // Closes the file and removes it; the final name keeps what it held.
    void Discard();
    // Hands the open file, still locked, to `other`, whose own is discarded;
    // this target is closed afterwards.  A worker finishes a file and the
    // batch commits it later, in source order.
    void HandOver(OutputTarget& other);

    int Fd() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Path() const { return m_strPath; }

private:
    bool RefusedExisting(const OutputOptions& options, bool& writeDirectly, int& directFlags, std::string& cause) const;
    bool OpenDirect(int flags, FileError& error);
    bool OpenTemporary(mode_t permissions, FileError& error);
    void Forget();

    int m_fd = -1;
    std::string m_strPath;      // the name the user knows
    std::string m_strTempPath;  // empty when written directly
    int m_nRegistrySlot = -1;
};

// Removes the temporary files a killed run left in `folder`: those whose
// name has the temporary form and that no running writer holds locked.
void RemoveLeftoverTempFiles(const std::string& folder);

}  // namespace tavisk
