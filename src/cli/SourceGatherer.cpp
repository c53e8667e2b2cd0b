#include "SourceGatherer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "NameList.h"
#include "PathGlob.h"

namespace tavisk::cli {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

std::string JoinRelative(const std::string& relative, const char* name) {
    return relative.empty() ? std::string(name) : relative + "/" + name;
}

}  // namespace

SourceGatherer::SourceGatherer(const GatherOptions& options, BatchRun& batch) : m_options(options), m_batch(batch) {
    for (const std::string& glob : options.includes) m_includes.emplace_back(glob);
    for (const std::string& glob : options.excludes) m_excludes.emplace_back(glob);
    struct stat info {};
    if (options.recursive && !options.destFolder.empty() && stat(options.destFolder.c_str(), &info) == 0) {
        m_destIdentity = IdentityOf(info);
    }
}

void SourceGatherer::Report(const std::string& path, int errorNumber) { Report(path, DescribeErrno(errorNumber)); }

void SourceGatherer::Report(const std::string& path, const std::string& cause) {
    ++m_nProblems;
    std::fprintf(stderr, "tavisk-cli: %s: %s\n", path.c_str(), cause.c_str());
}

void SourceGatherer::NoteCarriageReturn(const std::string& list, std::string_view name) {
    struct stat info {};
    if (m_bCarriageReturnNoted || m_options.nullSeparated || !name.ends_with('\r') ||
        lstat(std::string(name).c_str(), &info) == 0)
        return;
    m_bCarriageReturnNoted = true;
    std::fprintf(stderr, "tavisk-cli: %s: the list has CR LF line ends; its names keep the CR and are not found "
                 "(tr -d '\\r' gives LF lines)\n", list == "-" ? "standard input" : list.c_str());
}

void SourceGatherer::AddArgument(const std::string& source) { AddName(source); }

void SourceGatherer::AddName(std::string_view name) {
    struct stat info {};
    const bool seen = stat(std::string(name).c_str(), &info) == 0;
    if (seen && S_ISDIR(info.st_mode)) {
        if (m_options.recursive) {
            AddTree(std::string(name));
            return;
        }
        std::fprintf(stderr, "tavisk-cli: %.*s: a folder; -R takes folders and every file under them\n",
                     static_cast<int>(name.size()), name.data());
    }
    // A missing file fails when the run opens it.
    m_batch.m_sources.AddPath(name, seen ? IdentityOf(info) : FileIdentity{});
}

void SourceGatherer::AddNamesFrom(const std::string& path) {
    const bool standardInput = path == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Report(path, errno);
        return;
    }
    const std::string listName = standardInput ? "standard input" : path;
    NameListReader reader(m_options.nullSeparated);
    const auto take = [&](std::string_view name, ListEntry entry) {
        if (entry == ListEntry::Name) {
            AddName(name);
            NoteCarriageReturn(path, name);
        } else {  // cut at the NUL it would name another file, and two entries could write one output
            Report(listName, "a name holds a NUL byte (-0 reads lists of NUL-ended names)");
        }
    };
    std::unique_ptr<char[]> buffer(new char[1 << 16]);
    for (;;) {
        const ssize_t got = ::read(fd, buffer.get(), 1 << 16);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            Report(listName, errno);
            break;
        }
        if (got == 0) break;
        reader.Feed(std::string_view(buffer.get(), static_cast<size_t>(got)), take);
    }
    reader.Finish(take);
    if (!standardInput) ::close(fd);
}

bool SourceGatherer::Included(std::string_view relative) const {
    if (m_includes.empty()) return true;
    return std::any_of(m_includes.begin(), m_includes.end(),
                       [&](const PathGlob& glob) { return glob.MatchesEntry(relative, false); });
}

bool SourceGatherer::Excluded(std::string_view relative, bool isFolder) const {
    return std::any_of(m_excludes.begin(), m_excludes.end(),
                       [&](const PathGlob& glob) { return glob.MatchesEntry(relative, isFolder); });
}

void SourceGatherer::AddTree(std::string root) {
    while (root.size() > 1 && root.back() == '/') root.pop_back();  // "src/" and "src" are one folder
    std::vector<std::string> found;
    Walk(root, {}, found);
    std::sort(found.begin(), found.end());
    for (const std::string& relative : found) m_batch.m_sources.AddInTree(root, "/" + relative);
}

// Every regular file below `root`/`relative`, as a path relative to `root`.
// Symbolic links (to files or folders) and special files are left out, and
// counted: a link could lead out of the tree.  The destination folder is left out.
void SourceGatherer::Walk(const std::string& root, const std::string& relative, std::vector<std::string>& found) {
    const std::string folder = relative.empty() ? root : root + "/" + relative;
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) {
        Report(folder, errno);
        return;
    }
    const int dirFd = dirfd(dir.get());
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (!entry) {
            if (errno != 0) Report(folder, errno);
            return;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        bool isFolder = entry->d_type == DT_DIR;
        bool isFile = entry->d_type == DT_REG;
        struct stat info {};
        if (entry->d_type == DT_UNKNOWN) {
            if (fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
            isFolder = S_ISDIR(info.st_mode);
            isFile = S_ISREG(info.st_mode);
        }
        const std::string path = JoinRelative(relative, name);
        if (isFolder) {
            if (Excluded(path, true)) continue;
            if (m_destIdentity.valid && fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                IdentityOf(info) == m_destIdentity)
                continue;  // the outputs of an earlier run are not sources
            Walk(root, path, found);
        } else if (Included(path) && !Excluded(path, false)) {
            if (isFile)
                found.push_back(path);
            else
                ++m_nLeftOut;
        }
    }
}

}  // namespace tavisk::cli
