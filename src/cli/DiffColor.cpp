#include "DiffColor.h"

namespace tavisk::cli {

namespace {

constexpr std::string_view kBold = "\033[1m";
constexpr std::string_view kCyan = "\033[36m";
constexpr std::string_view kRed = "\033[31m";
constexpr std::string_view kGreen = "\033[32m";
constexpr std::string_view kReset = "\033[m";

// The colour of one line; `inHunks` once the first hunk header was seen,
// since before it "---" and "+++" label the files.
std::string_view ColorOf(std::string_view line, bool inHunks) {
    if (line.starts_with("@@")) return kCyan;
    if (!inHunks) return line.starts_with("--- ") || line.starts_with("+++ ") ? kBold : std::string_view();
    if (line.starts_with('-')) return kRed;
    if (line.starts_with('+')) return kGreen;
    return {};
}

}  // namespace

std::string ColorDiff(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    bool inHunks = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        inHunks = inHunks || line.starts_with("@@");
        const std::string_view color = ColorOf(line, inHunks);
        if (color.empty()) {
            out += line;
        } else {
            out += color;
            out += line;
            out += kReset;
        }
        if (end == std::string_view::npos) break;
        out += '\n';
        text.remove_prefix(end + 1);
    }
    return out;
}

}  // namespace tavisk::cli
