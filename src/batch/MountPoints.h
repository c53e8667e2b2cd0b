#pragma once
// The folders that hold a mount point.  A folder entry there may show the
// inode of the file the mount covers rather than the one mounted on it (a
// file bind-mounted over another), so such a folder's entries are not taken
// as the identities of its files.
#include <string>
#include <unordered_set>

namespace tavisk {

class MountPoints {
public:
    // Whether `folder` (any spelling) directly holds a mount point; true too
    // when that cannot be told.  The mount table is read once, when first needed.
    bool AnyIn(const std::string& folder);

private:
    void Read();

    bool m_bRead = false;
    bool m_bReadable = false;
    std::unordered_set<std::string> m_parents;  // the folder of each mount point, canonical
};

}  // namespace tavisk
