#pragma once
// Where an output's bytes go, and how they reach their name.
//
// An output is written as a new file beside its final name and put there
// only once it was written and closed without error, so that a failed,
// stopped or killed run never leaves a cut-off file under the real name, and
// a link at the name is replaced instead of written through.  Every name is
// taken in a folder held open by descriptor (FolderHandle.h): the old file
// is looked at, the new one made and renamed relative to that descriptor,
// and no path is walked again in between.
//
// The life of one target (OutputState):
//
//   Closed --Open--> Unnamed   a file without a name (O_TMPFILE): a killed
//     |                 |      process leaves nothing behind
//     |                 | Commit: linked at the final name where none was,
//     |                 |   else locked, linked at a hidden name and renamed
//     |                 |   as below; closed first where close() may report
//     |                 v   an error (a copy of the descriptor links it)
//     +--Open--> Hidden         a hidden name from the start where the file
//     |                 |       system has no unnamed files: created, locked
//     |                 |       (so another run's clean-up leaves it alone)
//     |                 |       and registered (TempFileRegistry)
//     |                 | Commit: closed, and only when close() succeeded
//     |                 v       renamed to the final name (swapped with
//     |                         the old file, which is removed after); a
//     |                         copy of the descriptor holds the lock
//     |                         until the rename
//     |               Closed
//     +--Open--> Direct         a character device or a FIFO at the name,
//                       |       or, for the response file, a name that
//                       |       reaches one of those or the very file on
//                       v       standard output or error: written in place
//                     Closed    Commit closes it
//
// Discard, from any state: the file is closed and its hidden name, if any,
// removed; the final name keeps what it held.  HandOver moves the state to
// another target and leaves this one Closed.
//
// The old file at the name is looked at once, without following it: a
// folder, a block device or a socket there is a file error (never written,
// never replaced), as is a file another opener holds locked ("sharing
// violation").  The new file then swaps names with it (RENAME_EXCHANGE,
// else a rename over it), and the old one, at the hidden name, is removed
// on a background thread (DeferredWork.h).
#include <sys/types.h>

#include <atomic>
#include <string>

#include "FileError.h"
#include "FileIdentity.h"
#include "FolderHandle.h"

namespace tavisk {

// Every temporary name starts with this; the rest is six random characters,
// "-" and the start of the final name.
inline constexpr const char* kTempFilePrefix = ".tavisk-partial-";

struct OutputOptions {
    FileIdentity mustDiffer;         // an open input: an output that is that file is refused
    mode_t permissions = 0666;       // less the umask, as the kernel applies it
    // The response file: a link at the name that reaches a character device,
    // a FIFO or the file on standard output or error is written through
    // (decided by the file reached, never by the link's text).
    bool followDeviceLinks = false;
    bool nameWasAbsent = false;      // the caller saw no file at the name: it is not looked at again
    // The output's folder, held open: the last part of the path is taken in
    // it.  Without one, the folder part of the path is opened.
    SharedFolder folder;
};

enum class OutputState { Closed, Unnamed, Hidden, Direct };

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
    // A FIFO at the name waits in open() for a reader: it waits on the stop
    // too, and the open fails with OpenStopped() once the stop is raised.
    void SetStopFlag(const std::atomic<bool>* stop, int stopFd) {
        m_pStop = stop;
        m_nStopFd = stopFd;
    }
    bool OpenStopped() const { return m_bOpenStopped; }
    // Lets go of the folder kept open between outputs named by path: the
    // next output looks its folder up afresh (a batch calls it at its end).
    void CloseFolder();
    // Hands the open file to `other`, whose own is discarded; this target is
    // closed afterwards.  A worker finishes a file and the batch commits it
    // later, in source order.
    void HandOver(OutputTarget& other);

    int Fd() const { return m_fd; }
    bool IsOpen() const { return m_state != OutputState::Closed; }
    OutputState State() const { return m_state; }
    const std::string& Path() const { return m_strPath; }

private:
    // How the file at the name is to be written in place, when it is.
    struct InPlace {
        bool wanted = false;
        bool follow = false;  // the name is a link that is followed
        bool append = false;  // a regular file: standard output or error
        bool fifo = false;    // open() waits for a reader
        FileIdentity identity;  // the file that was looked at
    };

    bool TakeFolder(const OutputOptions& options, FileError& error);
    // False, with the cause, when the file at the name must be left alone.
    bool LookAtOldFile(const OutputOptions& options, InPlace& inPlace, std::string& cause);
    bool LookThroughLink(const OutputOptions& options, InPlace& inPlace, std::string& cause);
    bool OpenInPlace(const InPlace& inPlace, FileError& error);
    int OpenFifoForWriting(int flags);  // -1 with errno, EINTR when stopped
    bool OpenNew(mode_t permissions, FileError& error);
    bool OpenHidden(mode_t permissions, FileError& error);
    std::string TempName() const;
    void Register(std::string temp);
    bool LinkUnnamedAs(const std::string& name) const;
    bool PlaceUnnamedFile();  // false with errno set
    bool CloseKeepingACopy();
    bool CloseAfterPlacing();
    bool TakeFinalName();     // false with errno set
    bool NameUnnamedFile();  // false with errno set
    bool CloseAndRename();   // false with errno set
    bool SwapWithOldFile();
    void Forget();

    OutputState m_state = OutputState::Closed;
    int m_fd = -1;
    FileIdentity m_oldFile;     // the file seen at the name, when one was
    std::string m_strPath;      // the name the user knows
    std::string m_strName;      // its last part
    std::string m_strTempName;  // the hidden name, when the file has one
    SharedFolder m_folder;
    std::string m_strFolderPath;  // the folder's path, when it was opened by path
    int m_nRegistrySlot = -1;
    const std::atomic<bool>* m_pStop = nullptr;
    int m_nStopFd = -1;
    bool m_bOpenStopped = false;
};

// Whether `name` has the form of a temporary file's name.
bool IsTempFileName(const char* name);

// Removes the temporary files a killed run left in the folder `folderFd`:
// those whose name has the temporary form and that no running writer holds
// locked.
void RemoveLeftoverTempFiles(int folderFd);

}  // namespace tavisk
