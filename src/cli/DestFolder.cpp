#include "DestFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tavisk::cli {

DestState DestFolderState(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? DestState::Folder : DestState::NotFolder;
    if (errno == ENOTDIR) return DestState::NotFolder;
    return errno == ENOENT ? DestState::Missing : DestState::Folder;  // the run reports any other cause
}

namespace {

// Makes one part of the path; true when it is a folder afterwards.  A link
// to a folder counts as one, as the user named the path through it.
bool MakeOnePart(const std::string& part, std::vector<std::string>& made, FileError& error) {
    if (mkdir(part.c_str(), 0777) == 0) {
        made.push_back(part);
        return true;
    }
    int cause = errno;
    struct stat info {};
    if (cause == EEXIST) {
        const bool reached = stat(part.c_str(), &info) == 0;
        if (reached && S_ISDIR(info.st_mode)) return true;
        cause = reached ? ENOTDIR : errno;  // a file, or a link that leads nowhere
    }
    error = FileError{part, DescribeErrno(cause)};
    return false;
}

}  // namespace

bool MakeFolderPath(const std::string& path, std::vector<std::string>& made, FileError& error) {
    // Each prefix that ends before a "/" (runs of "/" and a leading one skipped), then the whole path.
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        if (path[slash - 1] == '/') continue;
        if (!MakeOnePart(path.substr(0, slash), made, error)) return false;
    }
    return path.find_first_not_of('/') == std::string::npos || MakeOnePart(path, made, error);
}

void RemoveMadeFolders(const std::vector<std::string>& made) {
    for (auto folder = made.rbegin(); folder != made.rend(); ++folder) rmdir(folder->c_str());
}

bool PrepareDestFolder(const std::string& dest, bool makePath, bool dryRun, std::vector<std::string>& made) {
    if (dest.empty()) return true;  // a start complaint
    const DestState state = DestFolderState(dest);
    if (state == DestState::Folder) return true;
    if (makePath && !dryRun) {
        FileError error;
        if (MakeFolderPath(dest, made, error)) return true;
        std::fprintf(stderr, "tavisk-cli: cannot make DEST-FOLDER: %s\n", error.Text().c_str());
        RemoveMadeFolders(made);
        made.clear();
        return false;
    }
    // Otherwise the run goes on as it would, reporting each output it cannot create.
    if (state == DestState::NotFolder)
        std::fprintf(stderr, "tavisk-cli: DEST-FOLDER %s is not a folder\n", dest.c_str());
    else if (makePath)
        std::fprintf(stderr, "tavisk-cli: would make DEST-FOLDER %s (--mkpath)\n", dest.c_str());
    else
        std::fprintf(stderr, "tavisk-cli: DEST-FOLDER %s does not exist (--mkpath makes it)\n", dest.c_str());
    return true;
}

}  // namespace tavisk::cli
