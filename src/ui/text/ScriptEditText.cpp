#include "ScriptEditText.h"

#include <string_view>

namespace tavisk::ui {

namespace {

constexpr std::string_view kShownCarriageReturn = "\xE2\x90\x8D";  // U+240D
constexpr std::string_view kSoftLineBreak = "\xE2\x80\xA8";        // U+2028

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    for (size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
    return text;
}

}  // namespace

ScriptEditText::ScriptEditText(const std::vector<std::string>& scriptLines)
    : m_encoding(DetectScriptEncoding(scriptLines)) {
    m_arrShownLines.reserve(scriptLines.size());
    for (const std::string& line : scriptLines) {
        std::string shown = ReplaceAll(DecodeText(line, m_encoding), "\r", kShownCarriageReturn);
        m_mapOriginalBytes.emplace(shown, line);
        m_arrShownLines.push_back(std::move(shown));
    }
}

std::vector<std::string> ScriptEditText::TakeBack(const std::vector<std::string>& editorLines) const {
    size_t count = editorLines.size();
    if (count > 0 && editorLines[count - 1].empty()) --count;

    std::vector<std::string> lines;
    lines.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const auto original = m_mapOriginalBytes.find(editorLines[i]);
        if (original != m_mapOriginalBytes.end())
            lines.push_back(original->second);
        else
            AppendChangedLine(editorLines[i], lines);
    }
    return lines;
}

void ScriptEditText::AppendChangedLine(const std::string& text, std::vector<std::string>& lines) const {
    const std::string withBreaks = ReplaceAll(text, kShownCarriageReturn, "\r");
    std::string_view rest = withBreaks;
    for (;;) {
        const size_t lineBreak = rest.find(kSoftLineBreak);
        const std::string_view piece = rest.substr(0, lineBreak);
        lines.push_back(EncodeText(FirstCharacters(piece, kMaxEditedLineChars), m_encoding));
        if (lineBreak == std::string_view::npos) break;
        rest.remove_prefix(lineBreak + kSoftLineBreak.size());
    }
}

}  // namespace tavisk::ui
