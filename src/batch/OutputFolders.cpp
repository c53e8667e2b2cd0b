#include "OutputFolders.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <string_view>
#include <unordered_set>

#include "../engine/OpenBeneath.h"

namespace tavisk {

namespace {

// Makes the missing folders of `relative` ("sub/dir") one below the other,
// each reached from the one above by descriptor.
int MakeFolders(int dest, const std::string& destPath, const std::string& relative, FileError& error,
                std::vector<std::string>* made) {
    int folder = dest;
    for (size_t start = 0; start < relative.size();) {
        size_t slash = relative.find('/', start);
        if (slash == std::string::npos) slash = relative.size();
        const std::string name = relative.substr(start, slash - start);
        const std::string path = destPath + "/" + relative.substr(0, slash);
        start = slash + 1;
        const bool madeHere = mkdirat(folder, name.c_str(), 0777) == 0;
        const int cause = errno;
        const int next = madeHere || cause == EEXIST ? OpenFolderBeneath(folder, name, O_PATH) : -1;
        if (next < 0) error = FileError{path, DescribeErrno(madeHere || cause == EEXIST ? errno : cause)};
        if (folder != dest) ::close(folder);
        if (next < 0) return -1;
        if (madeHere && made) made->push_back(path);
        folder = next;
    }
    return folder;
}

}  // namespace

SharedFolder OpenOutputFolder(const SharedFolder& dest, const std::string& destPath, const std::string& element,
                              FileError& error, std::vector<std::string>* made) {
    const size_t slash = element.rfind('/');
    if (slash == 0 || slash == std::string::npos) return dest;
    const std::string relative = element.substr(1, slash - 1);
    // Most outputs find their folder there already: one call.
    int fd = OpenFolderBeneath(dest->Fd(), relative, O_PATH);
    if (fd < 0 && errno == ENOENT) fd = MakeFolders(dest->Fd(), destPath, relative, error, made);
    else if (fd < 0) error = FileError{destPath + element.substr(0, slash), DescribeErrno(errno)};
    if (fd < 0) return nullptr;
    return std::make_shared<const FolderHandle>(fd);
}

std::vector<std::string> OutputSubfolders(const std::vector<std::string>& elements) {
    std::unordered_set<std::string_view> seen;
    std::vector<std::string> folders;
    for (const std::string& element : elements) {
        const size_t slash = element.rfind('/');
        if (slash == 0 || slash == std::string::npos) continue;
        if (seen.insert(std::string_view(element).substr(0, slash)).second) folders.push_back(element.substr(0, slash));
    }
    return folders;
}

}  // namespace tavisk
