#pragma once
// Script and source text is bytes.  To show it, the bytes become UTF-8 text:
// as they are when they are valid UTF-8, else read as Windows-1252.  Text
// taken back from the user is turned into bytes of the same encoding.
#include <string>
#include <string_view>
#include <vector>

namespace tavisk::ui {

enum class ScriptEncoding { Utf8, Windows1252 };

bool IsValidUtf8(std::string_view bytes);

// UTF-8 when every line is valid UTF-8 (plain ASCII included), else Windows-1252.
ScriptEncoding DetectScriptEncoding(const std::vector<std::string>& lines);

// Bytes to UTF-8 text.  Windows-1252's five undefined bytes become the C1
// controls of the same value, so every byte has a character and comes back.
std::string DecodeText(std::string_view bytes, ScriptEncoding encoding);

// UTF-8 text to bytes.  A character Windows-1252 cannot hold keeps its UTF-8
// bytes rather than being lost.
std::string EncodeText(std::string_view utf8, ScriptEncoding encoding);

// For text that is only shown: valid UTF-8 sequences as they are, every other
// byte read as Windows-1252.
std::string DecodeForDisplay(std::string_view bytes);

// The first `count` characters of UTF-8 text.
std::string_view FirstCharacters(std::string_view utf8, size_t count);

}  // namespace tavisk::ui
