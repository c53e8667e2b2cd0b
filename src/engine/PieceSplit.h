#pragma once
// Where the pieces of a file begin and end when several workers edit its
// lines at once.  Every piece starts at a line start and ends just after an
// LF, so no line is ever split between two workers; each worker finds the
// bounds of its own piece with pread, without reading the pieces between.
#include <atomic>
#include <cstdint>
#include <vector>

namespace tavisk {

// The bytes [begin, end) of a region of whole lines, cut at every `pieceSize`
// bytes and moved forward to the next line start.
struct PiecePlan {
    uint64_t begin = 0;
    uint64_t end = 0;  // just after an LF
    uint64_t pieceSize = 1;

    int64_t Count() const { return static_cast<int64_t>((end - begin + pieceSize - 1) / pieceSize); }
    uint64_t Nominal(int64_t k) const {
        const uint64_t at = begin + static_cast<uint64_t>(k) * pieceSize;
        return at < end ? at : end;
    }
};

// Reads a file with pread into a buffer of its own.
class LineFeedSearch {
public:
    LineFeedSearch(int fd, const std::atomic<bool>* stop) : m_fd(fd), m_pStop(stop) {}

    // The first LF in [from, to), or `to` when there is none.  False, with
    // errno set, when a read fails (ECANCELED: the stop flag was raised).
    bool FirstLineFeed(uint64_t from, uint64_t to, uint64_t& found);
    // Just after the last LF in [from, to), or `from` when there is none.
    bool AfterLastLineFeed(uint64_t from, uint64_t to, uint64_t& found);
    // Piece `k` of `plan`: [begin, end); begin == end for a piece that holds no line start.
    bool PieceBounds(const PiecePlan& plan, int64_t k, uint64_t& begin, uint64_t& end);

private:
    bool ReadAt(uint64_t offset, size_t size);

    int m_fd;
    const std::atomic<bool>* m_pStop;
    std::vector<char> m_buffer;
};

}  // namespace tavisk
