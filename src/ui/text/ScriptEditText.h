#pragma once
// What the script editor shows for the script lines, and how the edited text
// becomes script lines again.  A line whose shown text the user left alone
// comes back with its original bytes.
#include <string>
#include <unordered_map>
#include <vector>

#include "ScriptCodec.h"

namespace tavisk::ui {

// Longest line, in characters, the editor hands back.
inline constexpr size_t kMaxEditedLineChars = 1023;

class ScriptEditText {
public:
    explicit ScriptEditText(const std::vector<std::string>& scriptLines);

    ScriptEncoding Encoding() const { return m_encoding; }

    // One line of UTF-8 text per script line.  A carriage return inside a line
    // is shown as U+240D, since the editor would take it for a line break.
    const std::vector<std::string>& ShownLines() const { return m_arrShownLines; }

    // Script lines from the editor's text lines (UTF-8, one per paragraph).
    // The empty remainder after a final line break is not a line; a soft line
    // break (U+2028) inside a changed line splits it; a changed line longer
    // than kMaxEditedLineChars is cut.
    std::vector<std::string> TakeBack(const std::vector<std::string>& editorLines) const;

private:
    void AppendChangedLine(const std::string& text, std::vector<std::string>& lines) const;

    ScriptEncoding m_encoding;
    std::vector<std::string> m_arrShownLines;
    std::unordered_map<std::string, std::string> m_mapOriginalBytes;  // shown text -> original line
};

}  // namespace tavisk::ui
