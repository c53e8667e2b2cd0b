#pragma once
// The response lines of a run and its count of processing errors.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavisk {

struct ResponseLog {
    std::vector<std::string> m_arrResponseLines;
    int m_nErrorCount = 0;

    void Clear() {
        m_arrResponseLines.clear();
        m_nErrorCount = 0;
    }
    void AddLine(std::string line) { m_arrResponseLines.push_back(std::move(line)); }
    // An error line also counts towards the error verdict.
    void AddErrorLine(std::string line) {
        AddLine(std::move(line));
        ++m_nErrorCount;
    }
};

// Fills a message format: "%s" takes `commandText`, "%i" takes `count`.
// The command text is inserted as it stands, whatever it contains.
std::string FormatMessage(std::string_view format, std::string_view commandText, int64_t count = 0);

}  // namespace tavisk
