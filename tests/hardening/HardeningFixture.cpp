#include "HardeningFixture.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

namespace tavisk::test {

std::string AsOutputLines(const std::string& source) {
    std::string text;
    size_t start = 0;
    while (start < source.size()) {
        size_t end = source.find('\n', start);
        const bool lineFeed = end != std::string::npos;
        if (!lineFeed) end = source.size();
        size_t length = end - start;
        if (lineFeed && length > 0 && source[end - 1] == '\r') --length;
        text.append(source, start, length).append("\r\n");
        start = end + 1;
    }
    return text;
}

size_t CountFiles(const std::string& folder) {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) count += entry.is_regular_file() ? 1 : 0;
    return count;
}

std::string TempFileIn(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().rfind(".tavisk-partial-", 0) == 0) return entry.path().string();
    return {};
}

}  // namespace tavisk::test
