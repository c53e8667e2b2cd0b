#include "FindText.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tavisk {

namespace {

// The first and last bytes are known to match.
bool MiddleMatches(const char* at, const char* needle, size_t length) {
    if (length <= 3) return length < 3 || at[1] == needle[1];
    return std::memcmp(at + 1, needle + 1, length - 2) == 0;
}

int64_t FindScalar(const char* text, size_t size, const char* needle, size_t length, size_t pos) {
    for (; pos + length <= size; ++pos) {
        if (text[pos] == needle[0] && text[pos + length - 1] == needle[length - 1] && MiddleMatches(text + pos, needle, length))
            return static_cast<int64_t>(pos);
    }
    return kTextNotFound;
}

#if defined(__x86_64__)

// The first and last bytes of the needle are compared at many positions at
// once; only where both match is the middle compared.  The last block is
// placed to end exactly at the end of the text, overlapping the one before.
// Returns the hit's index, or kTextNotFound; `mask(pos)` tests one block.
#define TAVISK_FIND_BLOCKS(kWidth, maskAt)                                                   \
    const size_t span = length - 1 + (kWidth);                                             \
    if (size < span) return FindScalar(text, size, needle, length, 0);                     \
    const size_t lastBlock = size - span;                                                  \
    for (size_t pos = 0;; pos += (kWidth)) {                                               \
        if (pos > lastBlock) pos = lastBlock;                                              \
        unsigned mask = maskAt(pos);                                                       \
        while (mask != 0) {                                                                \
            const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));               \
            if (MiddleMatches(text + pos + bit, needle, length)) return static_cast<int64_t>(pos + bit); \
            mask &= mask - 1;                                                              \
        }                                                                                  \
        if (pos == lastBlock) return kTextNotFound;                                        \
    }

int64_t FindSse2(const char* text, size_t size, const char* needle, size_t length) {
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i last = _mm_set1_epi8(needle[length - 1]);
    auto maskAt = [&](size_t pos) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + pos));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + pos + length - 1));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(first, a), _mm_cmpeq_epi8(last, b))));
    };
    TAVISK_FIND_BLOCKS(16, maskAt)
}

__attribute__((target("avx2"))) int64_t FindAvx2(const char* text, size_t size, const char* needle, size_t length) {
    const __m256i first = _mm256_set1_epi8(needle[0]);
    const __m256i last = _mm256_set1_epi8(needle[length - 1]);
#define TAVISK_AVX2_MASK_AT(pos)                                                                          \
    static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(                                          \
        _mm256_cmpeq_epi8(first, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + (pos)))),    \
        _mm256_cmpeq_epi8(last, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + (pos) + length - 1))))))
    TAVISK_FIND_BLOCKS(32, TAVISK_AVX2_MASK_AT)
#undef TAVISK_AVX2_MASK_AT
}

#undef TAVISK_FIND_BLOCKS

using FindFunction = int64_t (*)(const char*, size_t, const char*, size_t);
const FindFunction g_findBlocks = __builtin_cpu_supports("avx2") ? FindAvx2 : FindSse2;

#endif

int64_t FindFromStart(const char* text, size_t size, const char* needle, size_t length) {
    if (length == 1) {
        const void* hit = std::memchr(text, needle[0], size);
        return hit ? static_cast<const char*>(hit) - text : kTextNotFound;
    }
#if defined(__x86_64__)
    return g_findBlocks(text, size, needle, length);
#else
    return FindScalar(text, size, needle, length, 0);
#endif
}

}  // namespace

int64_t FindText(std::string_view haystack, std::string_view needle, int64_t from) {
    if (from < 0) from = 0;
    const auto start = static_cast<size_t>(from);
    if (start > haystack.size() || needle.size() > haystack.size() - start) return kTextNotFound;
    if (needle.empty()) return from;
    const int64_t found = FindFromStart(haystack.data() + start, haystack.size() - start, needle.data(), needle.size());
    return found == kTextNotFound ? kTextNotFound : found + from;
}

int64_t FindTextWatching(std::string_view haystack, std::string_view needle, int64_t from,
                         const std::atomic<bool>* stop, bool& stopped, size_t window) {
    stopped = false;
    if (from < 0) from = 0;
    auto start = static_cast<size_t>(from);
    if (window == 0 || start > haystack.size() || haystack.size() - start <= window)
        return FindText(haystack, needle, from);
    // Each window ends where the last match starting inside it would end.
    while (start < haystack.size()) {
        const size_t end = std::min(haystack.size(), start + window + (needle.empty() ? 0 : needle.size() - 1));
        const int64_t found = FindText(haystack.substr(0, end), needle, static_cast<int64_t>(start));
        if (found != kTextNotFound || end == haystack.size()) return found;
        start += window;
        if (stop && stop->load(std::memory_order_relaxed)) {
            stopped = true;
            return kTextNotFound;
        }
    }
    return kTextNotFound;
}

}  // namespace tavisk
