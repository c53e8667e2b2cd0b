// The line search agrees with a plain search for every needle length, start
// offset and hit position, including hits in the last, overlapping block.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine/FindText.h"

namespace tavisk {
namespace {

int64_t PlainFind(const std::string& text, const std::string& needle, int64_t from) {
    const size_t found = std::string_view(text).find(needle, static_cast<size_t>(from));
    return found == std::string::npos ? kTextNotFound : static_cast<int64_t>(found);
}

TEST(FindText, AgreesWithPlainSearchOnRandomText) {
    std::mt19937 random(12345);
    // A small alphabet makes partial matches (first and last byte equal) frequent.
    std::uniform_int_distribution<int> letter(0, 3);
    for (int round = 0; round < 4000; ++round) {
        const size_t textLength = static_cast<size_t>(random() % 120);
        const size_t needleLength = 1 + static_cast<size_t>(random() % 40);
        std::string text(textLength, 'a'), needle(needleLength, 'a');
        for (char& c : text) c = static_cast<char>('a' + letter(random));
        for (char& c : needle) c = static_cast<char>('a' + letter(random));
        if (textLength >= needleLength && random() % 2) {  // plant a hit
            const size_t at = static_cast<size_t>(random()) % (textLength - needleLength + 1);
            text.replace(at, needleLength, needle);
        }
        const auto from = static_cast<int64_t>(textLength ? random() % (textLength + 1) : 0);
        ASSERT_EQ(FindText(text, needle, from), PlainFind(text, needle, from))
            << "text=" << text << " needle=" << needle << " from=" << from;
        // The same search a few positions at a time finds the same hit.
        bool stopped = true;
        ASSERT_EQ(FindTextWatching(text, needle, from, nullptr, stopped, 1 + random() % 7), PlainFind(text, needle, from))
            << "text=" << text << " needle=" << needle << " from=" << from;
        ASSERT_FALSE(stopped);
    }
}

TEST(FindText, FindsAHitAtEveryPositionOfLongLines) {
    for (size_t needleLength : {1u, 2u, 3u, 17u, 33u}) {
        const std::string needle = std::string(needleLength - 1, 'x') + "\xA3";
        for (size_t at = 0; at < 100; ++at) {
            std::string text(100 + needleLength, '\0');
            text.replace(at, needleLength, needle);
            ASSERT_EQ(FindText(text, needle, 0), static_cast<int64_t>(at)) << needleLength << " at " << at;
            ASSERT_EQ(FindText(text, needle, static_cast<int64_t>(at) + 1), kTextNotFound);
        }
    }
}

TEST(FindText, ARaisedStopEndsASearchBetweenWindows) {
    const std::atomic<bool> stop{true};
    bool stopped = false;
    const std::string text = std::string(100, 'a') + "b";
    EXPECT_EQ(FindTextWatching(text, "b", 0, &stop, stopped, 10), kTextNotFound);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(FindTextWatching(text, "a", 0, &stop, stopped, 10), 0);  // found in the first window
    EXPECT_FALSE(stopped);
}

TEST(FindText, EdgesOfTheRange) {
    EXPECT_EQ(FindText("abc", "abc", 0), 0);
    EXPECT_EQ(FindText("abc", "abcd", 0), kTextNotFound);
    EXPECT_EQ(FindText("abc", "c", 3), kTextNotFound);
    EXPECT_EQ(FindText("abc", "c", 4), kTextNotFound);
    EXPECT_EQ(FindText("", "a", 0), kTextNotFound);
    EXPECT_EQ(FindText("aaa", "aa", 1), 1);
}

}  // namespace
}  // namespace tavisk
