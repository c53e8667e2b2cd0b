#pragma once
// Where an output's bytes go.  A file is written as a new file without a name
// in its final folder, and Commit links it in under its final name (renaming
// it over a name that is taken), so a failed, stopped or killed run never
// leaves a cut-off file under the real name, and a link at the name is
// replaced instead of written through.  Where the file system has no unnamed
// files, a hidden temporary name stands in.  A device or a pipe at the name
// is written directly: it holds no data to lose.
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
    bool nameWasAbsent = false;      // the caller saw no file at the name: it is not looked at again
};

class OutputTarget {
public:
    OutputTarget() = default;
    ~OutputTarget();
    OutputTarget(const OutputTarget&) = delete;
    OutputTarget& operator=(const OutputTarget&) = delete;

    // Opens a new file for `path`; every error names `path`.
    bool Open(const std::string& path, const OutputOptions& options, FileError& error);
    // Closes the file and puts it in place under its final name.
    bool Commit(FileError& error);
    // Closes the file and removes it; the final name keeps what it held.
    void Discard();
    // Lets go of the folder kept open between outputs: the next output looks
    // its folder up afresh (a batch calls it at its end).
    void CloseFolder();

    int Fd() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Path() const { return m_strPath; }

private:
    // Every call below works relative to the output's folder, held open
    // while one folder follows another, so that no call walks the whole path.
    bool OpenFolder(FileError& error);
    bool RefusedExisting(const OutputOptions& options, bool& writeDirectly, int& directFlags, std::string& cause);
    bool HeldByAnother() const;
    bool OpenDirect(int flags, FileError& error);
    bool OpenTemporary(mode_t permissions, FileError& error);
    std::string TempName() const;
    void HoldTempName(std::string temp);
    bool LinkUnnamedAs(const std::string& name) const;
    bool NameUnnamedFile();  // false with errno set
    void Forget();

    int m_fd = -1;
    std::string m_strPath;      // the name the user knows
    std::string m_strName;      // its last part
    std::string m_strTempName;  // the hidden name, when the file has one
    bool m_bUnnamed = false;    // the file has no name yet
    bool m_bNameTaken = false;  // a file was seen at the final name
    std::string m_strFolder;    // the folder part of m_strPath, as given
    int m_nFolderFd = -1;
    int m_nRegistrySlot = -1;
};

// Removes the temporary files a killed run left in `folder`: those whose
// name has the temporary form and that no running writer holds locked.
void RemoveLeftoverTempFiles(const std::string& folder);

}  // namespace tavisk
