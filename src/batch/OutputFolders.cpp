#include "OutputFolders.h"

#include <sys/stat.h>

#include <cerrno>
#include <string_view>
#include <unordered_set>

namespace tavisk {

bool MakeOutputFolders(const std::string& dest, const std::string& element, FileError& error,
                       std::vector<std::string>* made) {
    // Walks the element's folders from the top: "/a/b/name" needs DEST/a, then DEST/a/b.
    for (size_t slash = element.find('/', 1); slash != std::string::npos; slash = element.find('/', slash + 1)) {
        const std::string folder = dest + element.substr(0, slash);
        if (mkdir(folder.c_str(), 0777) == 0) {
            if (made) made->push_back(folder);
            continue;
        }
        if (errno == EEXIST) continue;  // a file in its way fails at the output
        error = FileError{folder, DescribeErrno(errno)};
        return false;
    }
    return true;
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
