#include "LocalFileSystem.h"

#include <sys/vfs.h>

namespace tavisk {

bool IsLocalFileSystem(int fd) {
    struct statfs info {};
    if (fstatfs(fd, &info) != 0) return false;
    switch (static_cast<unsigned long>(info.f_type)) {
        case 0xEF53:      // ext2, ext3, ext4
        case 0x01021994:  // tmpfs
        case 0x58465342:  // xfs
        case 0x9123683E:  // btrfs
            return true;
        default:
            return false;
    }
}

}  // namespace tavisk
