#pragma once
// The folders below the destination that an output in a subfolder needs,
// reached from the destination's descriptor without following any link.
#include <string>
#include <vector>

#include "../engine/FileError.h"
#include "../engine/FolderHandle.h"

namespace tavisk {

// The folder of output `element` ("/sub/dir/name") below the destination
// held by `dest` (whose path is `destPath`, for messages): `dest` itself for
// "/name".  DEST/sub and DEST/sub/dir are made (mkdirat) where missing, top
// first, each added to `made` when given.  A link on the way, or anything
// else in the way, is an error naming that folder: null is returned.
SharedFolder OpenOutputFolder(const SharedFolder& dest, const std::string& destPath, const std::string& element,
                              FileError& error, std::vector<std::string>* made = nullptr);

// The output folders below the destination that `elements` name ("/sub/name"
// lies in "/sub"), each once: where a killed run may have left temporary files.
std::vector<std::string> OutputSubfolders(const std::vector<std::string>& elements);

}  // namespace tavisk
