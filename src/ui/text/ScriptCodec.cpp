#include "ScriptCodec.h"

#include <array>
#include <cstdint>

namespace tavisk::ui {

namespace {

// Code points of the bytes 0x80..0x9F in Windows-1252; the five bytes the
// code page leaves undefined map to the C1 control of the same value.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t Windows1252ToCodePoint(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
    return byte;
}

// The byte for a code point, or -1 when Windows-1252 has none.
int CodePointToWindows1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == cp) return static_cast<int>(0x80 + i);
    return -1;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Length of the valid UTF-8 sequence at `pos` (its code point in `cp`), or 0
// when the bytes there are not one: overlong forms, surrogates and values
// beyond U+10FFFF are refused.
size_t Utf8SequenceAt(std::string_view bytes, size_t pos, char32_t& cp) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[pos + i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (pos + length > bytes.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i) & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
    char32_t cp = 0;
    for (size_t pos = 0; pos < bytes.size();) {
        const size_t length = Utf8SequenceAt(bytes, pos, cp);
        if (length == 0) return false;
        pos += length;
    }
    return true;
}

ScriptEncoding DetectScriptEncoding(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        if (!IsValidUtf8(line)) return ScriptEncoding::Windows1252;
    return ScriptEncoding::Utf8;
}

std::string DecodeText(std::string_view bytes, ScriptEncoding encoding) {
    if (encoding == ScriptEncoding::Utf8) return std::string(bytes);
    std::string text;
    text.reserve(bytes.size());
    for (char ch : bytes) AppendUtf8(text, Windows1252ToCodePoint(static_cast<unsigned char>(ch)));
    return text;
}

std::string EncodeText(std::string_view utf8, ScriptEncoding encoding) {
    if (encoding == ScriptEncoding::Utf8) return std::string(utf8);
    std::string bytes;
    bytes.reserve(utf8.size());
    char32_t cp = 0;
    for (size_t pos = 0; pos < utf8.size();) {
        const size_t length = Utf8SequenceAt(utf8, pos, cp);
        if (length == 0) {  // not UTF-8 after all: keep the byte
            bytes += utf8[pos++];
            continue;
        }
        const int byte = CodePointToWindows1252(cp);
        if (byte >= 0)
            bytes += static_cast<char>(byte);
        else
            bytes.append(utf8.substr(pos, length));
        pos += length;
    }
    return bytes;
}

std::string DecodeForDisplay(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    char32_t cp = 0;
    for (size_t pos = 0; pos < bytes.size();) {
        const size_t length = Utf8SequenceAt(bytes, pos, cp);
        if (length == 0) {
            AppendUtf8(text, Windows1252ToCodePoint(static_cast<unsigned char>(bytes[pos++])));
            continue;
        }
        text.append(bytes.substr(pos, length));
        pos += length;
    }
    return text;
}

std::string_view FirstCharacters(std::string_view utf8, size_t count) {
    size_t seen = 0;
    for (size_t pos = 0; pos < utf8.size(); ++pos) {
        if ((static_cast<unsigned char>(utf8[pos]) & 0xC0) == 0x80) continue;
        if (seen == count) return utf8.substr(0, pos);
        ++seen;
    }
    return utf8;
}

}  // namespace tavisk::ui
