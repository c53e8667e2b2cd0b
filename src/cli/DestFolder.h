#pragma once
// DEST-FOLDER before the run: whether it is there, and making it (--mkpath).
#include <string>
#include <vector>

#include "engine/FileError.h"

namespace tavisk::cli {

enum class DestState {
    Folder,     // there, a folder (or a link to one)
    Missing,    // not there (nor, perhaps, some of its parents)
    NotFolder,  // there, but a file or something else that holds no files
};

DestState DestFolderState(const std::string& path);

// Makes `path` and its missing parents, as `mkdir -p` does; each folder made
// is added to `made`, top first.  False, with the part and the cause in
// `error`, when a part cannot be made or is not a folder.
bool MakeFolderPath(const std::string& path, std::vector<std::string>& made, FileError& error);

// Takes back what MakeFolderPath made, deepest first, where still empty.
void RemoveMadeFolders(const std::vector<std::string>& made);

// Says once on standard error what is wrong with `dest` before the run, or
// makes it when `makePath` (a dry run only says it would; the folders made
// go to `made`).  False, said too, when it could not be made.
bool PrepareDestFolder(const std::string& dest, bool makePath, bool dryRun, std::vector<std::string>& made);

}  // namespace tavisk::cli
