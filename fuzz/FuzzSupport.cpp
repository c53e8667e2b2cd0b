#include "FuzzSupport.h"

#include <filesystem>

namespace tavisk::fuzz {

std::vector<std::string> SplitLines(std::string_view bytes) {
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        const size_t lineFeed = bytes.find('\n');
        if (lineFeed == std::string_view::npos) {
            lines.emplace_back(bytes);
            break;
        }
        lines.emplace_back(bytes.substr(0, lineFeed));
        bytes.remove_prefix(lineFeed + 1);
    }
    return lines;
}

std::string NormaliseLines(std::string_view source) {
    std::string text;
    text.reserve(source.size() + source.size() / 8 + 2);
    while (!source.empty()) {
        const size_t lineFeed = source.find('\n');
        std::string_view line = source.substr(0, lineFeed);
        if (lineFeed != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        text.append(line);
        text.append("\r\n");
        if (lineFeed == std::string_view::npos) break;
        source.remove_prefix(lineFeed + 1);
    }
    return text;
}

namespace {

std::string MakeScratchFolder() {
    std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path().string();
    std::string pattern = base + "/tavisk-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    return pattern;
}

void RemoveScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(ScratchFolder(), ignored);
}

}  // namespace

const std::string& ScratchFolder() {
    static const std::string folder = MakeScratchFolder();
    static const bool cleanupRegistered = std::atexit(RemoveScratchFolder) == 0;
    (void)cleanupRegistered;
    return folder;
}

}  // namespace tavisk::fuzz
