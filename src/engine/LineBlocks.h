#pragma once
// Whole lines handled a block at a time instead of one by one: the bytes of
// many lines are searched and copied together, and only the line ends are
// visited one by one (where the style changes them).
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "FindText.h"
#include "TextFile.h"

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace tavisk {

// The number of LF bytes in `text`.
inline int64_t CountLineFeeds(std::string_view text) {
    const char* at = text.data();
    const char* const end = at + text.size();
    int64_t count = 0;
#if defined(__x86_64__)
    const __m128i lineFeed = _mm_set1_epi8('\n');
    for (; end - at >= 16; at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        count += __builtin_popcount(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineFeed))));
    }
#endif
    for (; at < end; ++at) count += *at == '\n';
    return count;
}

// Copies `text` to `to` with each line end made CR LF (or LF when not
// `crLf`); one CR before an LF is part of the line end.  `to` has room for
// twice the text.  Returns the end of what was written.  Sixteen bytes are
// copied at a time; only a line end stops the copy.
inline char* CopyWithLineEnds(std::string_view text, char* to, bool crLf, int64_t& lines) {
    const char* const start = text.data();
    const char* from = start;
    const char* const end = start + text.size();
    const auto endLine = [&](const char* lineFeed) {
        // `to` holds everything before the LF; a CR right before it is there too.
        const bool carriageReturn = lineFeed > start && lineFeed[-1] == '\r';
        if (carriageReturn && !crLf) --to;
        if (!carriageReturn && crLf) *to++ = '\r';
        *to++ = '\n';
        ++lines;
        from = lineFeed + 1;
    };
#if defined(__x86_64__)
    const __m128i lineFeed = _mm_set1_epi8('\n');
    while (end - from >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineFeed)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), bytes);  // in full: what follows an LF is written again
        if (mask == 0) {
            from += 16;
            to += 16;
            continue;
        }
        const unsigned before = static_cast<unsigned>(__builtin_ctz(mask));
        to += before;
        endLine(from + before);
    }
#endif
    for (; from < end;) {
        if (*from == '\n') {
            endLine(from);
        } else {
            *to++ = *from++;
        }
    }
    return to;
}

// Writes source text (whole lines, and perhaps the start of one) with each
// line end as `style` makes it, and counts the line ends passed.
inline bool WriteSourceText(TextFileWriter& out, std::string_view text, LineEndStyle style, int64_t& lines) {
    if (style == LineEndStyle::Keep) {  // every byte stays
        lines += CountLineFeeds(text);
        return text.empty() || out.WritePiece(text);
    }
    // Straight into the writer's buffer, a slice at a time.
    constexpr size_t kSlice = size_t{16} << 10;  // small: the buffer fills to near its end before a flush
    while (!text.empty()) {
        size_t slice = std::min(text.size(), kSlice);
        if (slice < text.size() && text[slice - 1] == '\r') --slice;  // a CR stays with the LF after it
        char* room = out.Room(2 * slice + 16);
        if (!room) break;  // the writer says why below
        out.Used(static_cast<size_t>(CopyWithLineEnds(text.substr(0, slice), room, style == LineEndStyle::CrLf, lines) - room));
        text.remove_prefix(slice);
    }
    for (;;) {
        const void* found = text.empty() ? nullptr : std::memchr(text.data(), '\n', text.size());
        if (!found) return text.empty() || out.WritePiece(text);
        const size_t lineFeed = static_cast<size_t>(static_cast<const char*>(found) - text.data());
        // One CR before the LF belongs to the line end that `style` replaces.
        const size_t length = lineFeed > 0 && text[lineFeed - 1] == '\r' ? lineFeed - 1 : lineFeed;
        if (!out.WriteSourceLine(text.substr(0, length), LineEnd::Lf)) return false;
        ++lines;
        text.remove_prefix(lineFeed + 1);
    }
}

// Whether "g" may search a block of lines as one text: a match of `find`
// then never holds a line end, so it lies within one line as it must.
inline bool FindsWithinLines(std::string_view find) {
    return find.find_first_of("\r\n") == std::string_view::npos;
}

// "g" on a block of whole lines: every `find` replaced, the line ends as
// `style` makes them.  False when a write fails or, now and then between
// matches, `stop` is seen raised.
inline bool ReplaceInBlock(TextFileWriter& out, std::string_view block, LineEndStyle style, std::string_view find,
                           std::string_view replace, int64_t& lines, int64_t& replacements,
                           const std::atomic<bool>* stop) {
    int64_t pos = 0;
    for (int64_t found; (found = FindText(block, find, pos)) != kTextNotFound; pos = found + static_cast<int64_t>(find.size())) {
        if ((++replacements & 0xFFFF) == 0 && stop && stop->load(std::memory_order_relaxed)) return false;
        if (!WriteSourceText(out, block.substr(static_cast<size_t>(pos), static_cast<size_t>(found - pos)), style, lines) ||
            !out.WritePiece(replace))
            return false;
    }
    return WriteSourceText(out, block.substr(static_cast<size_t>(pos)), style, lines);
}

}  // namespace tavisk
