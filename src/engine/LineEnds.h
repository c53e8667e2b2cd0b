#pragma once
// Line ends: what a source line ended with, and how output lines are ended.
#include <cstdint>
#include <string_view>

namespace tavisk {

// The end a source line had: LF, CR LF, or none (a last line without LF).
enum class LineEnd : uint8_t { None, Lf, CrLf };

// How output lines are ended: all CR LF (the default), all LF, or each with
// the end its source line had.
enum class LineEndStyle : uint8_t { CrLf, Lf, Keep };

inline std::string_view LineEndBytes(LineEnd end) {
    switch (end) {
    case LineEnd::Lf: return "\n";
    case LineEnd::CrLf: return "\r\n";
    case LineEnd::None: break;
    }
    return {};
}

// The end an output line gets under `style`.  `sourceEnd` is the end of the
// source line the output line was completed by passing; a line the script
// completed itself passes `made`.
inline LineEnd OutputLineEnd(LineEndStyle style, LineEnd sourceEnd) {
    switch (style) {
    case LineEndStyle::Lf: return LineEnd::Lf;
    case LineEndStyle::Keep: return sourceEnd;
    case LineEndStyle::CrLf: break;
    }
    return LineEnd::CrLf;
}

// Parses "crlf", "lf" or "keep"; false for anything else.
inline bool ParseLineEndStyle(std::string_view text, LineEndStyle& style) {
    if (text == "crlf") style = LineEndStyle::CrLf;
    else if (text == "lf") style = LineEndStyle::Lf;
    else if (text == "keep") style = LineEndStyle::Keep;
    else return false;
    return true;
}

}  // namespace tavisk
