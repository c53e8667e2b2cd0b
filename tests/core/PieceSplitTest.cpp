// The pieces of a file that several workers edit: they cover the region
// exactly, in order, and each starts at a line start and ends after an LF,
// whatever the piece size, line lengths and region.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <string>

#include "TempDir.h"
#include "engine/PieceSplit.h"

namespace tavisk {
namespace {

TEST(PieceSplit, PiecesTileTheRegionAtLineStarts) {
    test::TempDir dir;
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        // Short lines, empty lines, and now and then one far longer than a piece.
        std::string text;
        for (int line = static_cast<int>(random() % 40); line > 0; --line) {
            const size_t length = random() % 10 == 0 ? random() % 400 : random() % 12;
            text += std::string(length, 'a');
            text += random() % 3 ? "\n" : "\r\n";
        }
        text += std::string(random() % 5, 'z');  // a last line without an end, or none
        const std::string path = dir / "text";
        test::WriteFile(path, text);
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        LineFeedSearch search(fd, nullptr);

        // The region starts at a line start and ends after the last LF.
        const size_t firstLineFeed = text.find('\n');
        const uint64_t begin = random() % 2 || firstLineFeed == std::string::npos ? 0 : firstLineFeed + 1;
        uint64_t end = 0;
        ASSERT_TRUE(search.AfterLastLineFeed(begin, text.size(), end));
        const size_t lastLineFeed = text.rfind('\n');
        EXPECT_EQ(end, lastLineFeed == std::string::npos || lastLineFeed < begin ? begin : lastLineFeed + 1);

        const PiecePlan plan{begin, end, 1 + random() % 50};
        uint64_t expectedBegin = begin;
        for (int64_t k = 0; k < plan.Count(); ++k) {
            uint64_t pieceBegin = 0;
            uint64_t pieceEnd = 0;
            ASSERT_TRUE(search.PieceBounds(plan, k, pieceBegin, pieceEnd));
            if (pieceBegin == pieceEnd) continue;  // inside a line that started before it
            EXPECT_EQ(pieceBegin, expectedBegin) << "round " << round << " piece " << k;
            EXPECT_GE(pieceBegin, plan.Nominal(k));
            EXPECT_LT(pieceBegin, plan.Nominal(k + 1));
            EXPECT_EQ(text[pieceEnd - 1], '\n');
            EXPECT_GE(pieceEnd, plan.Nominal(k + 1));
            expectedBegin = pieceEnd;
        }
        EXPECT_EQ(expectedBegin, end) << "round " << round;
        close(fd);
    }
}

}  // namespace
}  // namespace tavisk
