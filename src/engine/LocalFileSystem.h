#pragma once
// The file systems on a local disk or in memory whose behaviour the batch
// may count on: a folder entry carries its file's own inode number and type
// (overlayfs and FUSE may carry others), and close() reports nothing that the
// writes did not (NFS reports write errors there).
namespace tavisk {

// Whether the folder or file `fd` lies on ext2/3/4, tmpfs, xfs or btrfs.
bool IsLocalFileSystem(int fd);

}  // namespace tavisk
