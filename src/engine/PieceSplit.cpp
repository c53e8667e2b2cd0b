#include "PieceSplit.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tavisk {

namespace {

// A line start is usually a few dozen bytes away: look near first, then wider.
constexpr size_t kFirstLook = size_t{4} << 10;
constexpr size_t kWidestLook = size_t{1} << 20;

}  // namespace

bool LineFeedSearch::ReadAt(uint64_t offset, size_t size) {
    if (m_pStop && m_pStop->load(std::memory_order_relaxed)) {
        errno = ECANCELED;
        return false;
    }
    if (m_buffer.size() < size) m_buffer.resize(size);
    size_t got = 0;
    while (got < size) {
        const ssize_t n = pread(m_fd, m_buffer.data() + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {  // the file became shorter: what is gone holds no LF
            std::memset(m_buffer.data() + got, 0, size - got);
            break;
        }
        got += static_cast<size_t>(n);
    }
    return true;
}

bool LineFeedSearch::FirstLineFeed(uint64_t from, uint64_t to, uint64_t& found) {
    for (size_t look = kFirstLook; from < to; look = std::min(look * 4, kWidestLook)) {
        const size_t size = static_cast<size_t>(std::min<uint64_t>(look, to - from));
        if (!ReadAt(from, size)) return false;
        if (const void* hit = std::memchr(m_buffer.data(), '\n', size)) {
            found = from + static_cast<uint64_t>(static_cast<const char*>(hit) - m_buffer.data());
            return true;
        }
        from += size;
    }
    found = to;
    return true;
}

bool LineFeedSearch::AfterLastLineFeed(uint64_t from, uint64_t to, uint64_t& found) {
    for (size_t look = kFirstLook; to > from; look = std::min(look * 4, kWidestLook)) {
        const size_t size = static_cast<size_t>(std::min<uint64_t>(look, to - from));
        if (!ReadAt(to - size, size)) return false;
        if (const void* hit = memrchr(m_buffer.data(), '\n', size)) {
            found = to - size + static_cast<uint64_t>(static_cast<const char*>(hit) - m_buffer.data()) + 1;
            return true;
        }
        to -= size;
    }
    found = from;
    return true;
}

bool LineFeedSearch::PieceBounds(const PiecePlan& plan, int64_t k, uint64_t& begin, uint64_t& end) {
    // A piece starts at the first line start at or after its nominal start,
    // if there is one before the next piece's nominal start; it ends where the
    // next non-empty piece starts: at the first line start at or after that.
    const uint64_t nominal = plan.Nominal(k);
    const uint64_t next = plan.Nominal(k + 1);
    begin = nominal;
    if (k > 0) {
        if (!FirstLineFeed(nominal - 1, next - 1, begin)) return false;
        ++begin;
    }
    end = next;
    if (begin >= next) {  // within one long line: nothing starts here
        begin = end = next;
        return true;
    }
    if (next < plan.end) {
        if (!FirstLineFeed(next - 1, plan.end - 1, end)) return false;
        ++end;
    }
    return true;
}

}  // namespace tavisk
