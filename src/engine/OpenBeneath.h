#pragma once
// Folders reached below a folder descriptor without following any link on the
// way, so that a link planted in the destination (before or during a run)
// can never lead a write outside it.
#include <string_view>

namespace tavisk {

// Opens the folder `relative` ("a/b") below the folder `base` with `flags`
// (O_PATH or O_RDONLY; O_DIRECTORY and O_CLOEXEC are added).  A link on the
// way, or a ".." leaving `base`, fails.  Returns the descriptor, or -1 with
// errno set (ELOOP for a link).
int OpenFolderBeneath(int base, std::string_view relative, int flags);

// The same, one component after another, each opened with O_NOFOLLOW below
// the one before: what OpenFolderBeneath does where openat2 is missing.
int WalkFolderBeneath(int base, std::string_view relative, int flags);

}  // namespace tavisk
