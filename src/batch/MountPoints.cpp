#include "MountPoints.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace tavisk {

namespace {

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

// The table writes a space, tab, LF and backslash in a path as \ooo.
std::string Unescape(const std::string& field) {
    std::string path;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) && IsOctal(field[i + 2]) &&
            IsOctal(field[i + 3])) {
            path += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            path += field[i];
        }
    }
    return path;
}

}  // namespace

void MountPoints::Read() {
    m_bRead = true;
    std::ifstream table("/proc/self/mountinfo");
    if (!table) return;
    m_bReadable = true;
    std::string line;
    while (std::getline(table, line)) {
        // "36 35 98:0 /mnt1 /mnt/parent rw,... - ext3 ...": the fifth field is the mount point.
        std::istringstream fields(line);
        std::string field;
        for (int i = 0; i < 5 && fields >> field; ++i) {
        }
        const std::string point = Unescape(field);
        const size_t slash = point.rfind('/');
        if (point.size() > 1 && slash != std::string::npos) m_parents.insert(slash == 0 ? "/" : point.substr(0, slash));
    }
}

bool MountPoints::AnyIn(const std::string& folder) {
    if (!m_bRead) Read();
    if (!m_bReadable) return true;
    const std::unique_ptr<char, decltype(&std::free)> canonical(realpath(folder.c_str(), nullptr), &std::free);
    return !canonical || m_parents.count(canonical.get()) != 0;
}

}  // namespace tavisk
