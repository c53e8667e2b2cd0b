#pragma once
// Identity of a file (device and inode), to tell when two paths name the same file.
#include <sys/stat.h>
#include <sys/types.h>

namespace tavisk {

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool valid = false;
    bool operator==(const FileIdentity& other) const {
        return valid && other.valid && device == other.device && inode == other.inode;
    }
    bool operator<(const FileIdentity& other) const {
        return device != other.device ? device < other.device : inode < other.inode;
    }
};

inline FileIdentity IdentityOf(const struct stat& info) { return FileIdentity{info.st_dev, info.st_ino, true}; }

}  // namespace tavisk
