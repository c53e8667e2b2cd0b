#pragma once
// Text in a two- or four-byte encoding cannot go through the line rules: a
// CR byte would land inside each LF character.  Such a file is recognised by
// its byte-order mark.
#include <string_view>

namespace tavisk {

// The encoding named by a byte-order mark at the start of `firstBytes` (at
// least four bytes of the file, fewer when it is shorter), or nullptr when
// it is not UTF-16 or UTF-32.
inline const char* WideEncodingName(std::string_view firstBytes) {
    if (firstBytes.substr(0, 4) == std::string_view("\xFF\xFE\0\0", 4)) return "UTF-32LE";
    if (firstBytes.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4)) return "UTF-32BE";
    if (firstBytes.substr(0, 2) == "\xFF\xFE") return "UTF-16LE";
    if (firstBytes.substr(0, 2) == "\xFE\xFF") return "UTF-16BE";
    return nullptr;
}

}  // namespace tavisk
