#pragma once
// Stable names for the rows of parameterized tests: the row's own words made
// into an identifier, with its index so that two alike rows stay distinct.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>

namespace tavisk::test {

inline std::string IdentifierFrom(std::string_view words, size_t index) {
    constexpr size_t kMaxLength = 48;
    std::string name;
    bool wordStart = true;
    for (const char c : words) {
        if (name.size() >= kMaxLength) break;
        if (std::isalnum(static_cast<unsigned char>(c))) {
            name += wordStart ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
            wordStart = false;
        } else {
            wordStart = true;
        }
    }
    return name + "_" + std::to_string(index);
}

// A name generator for INSTANTIATE_TEST_SUITE_P that names each row by the
// words `wordsOf(row)` returns.
template <typename Row, typename WordsOf>
auto NameRowsBy(WordsOf wordsOf) {
    return [wordsOf](const testing::TestParamInfo<Row>& info) { return IdentifierFrom(wordsOf(info.param), info.index); };
}

}  // namespace tavisk::test
