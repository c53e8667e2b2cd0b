// Microbenchmark: ways to find a short text in every line of a file, as the
// global replace does (each line searched from its start, then after each hit).
//
//   tavisk-search-micro FILE [NEEDLE] [ROUNDS]
//
// The file is read into memory and split at LF (one CR before it dropped).
// Every method must count the same hits; the best of ROUNDS (default 5) is
// shown in ns per line and MB/s of input.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

using Finder = size_t (*)(std::string_view hay, size_t from, std::string_view needle);
constexpr size_t kNone = std::string_view::npos;

size_t FindMemmem(std::string_view hay, size_t from, std::string_view needle) {
    const void* hit = memmem(hay.data() + from, hay.size() - from, needle.data(), needle.size());
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - hay.data()) : kNone;
}

size_t FindStringView(std::string_view hay, size_t from, std::string_view needle) { return hay.find(needle, from); }

// memchr on the last byte of the needle, then memcmp.
size_t FindLastByte(std::string_view hay, size_t from, std::string_view needle) {
    const size_t n = needle.size();
    if (n == 0) return from;
    const char last = needle[n - 1];
    size_t at = from + n - 1;
    while (at < hay.size()) {
        const void* p = std::memchr(hay.data() + at, last, hay.size() - at);
        if (!p) return kNone;
        at = static_cast<size_t>(static_cast<const char*>(p) - hay.data());
        if (std::memcmp(hay.data() + at - (n - 1), needle.data(), n - 1) == 0) return at - (n - 1);
        ++at;
    }
    return kNone;
}

#ifdef __SSE2__
// 16 positions at a time: compare the first and the last byte of the needle,
// check the candidates with memcmp; a plain loop for the tail.
size_t FindSse2(std::string_view hay, size_t from, std::string_view needle) {
    const size_t n = needle.size();
    if (n == 0) return from;
    if (hay.size() < from + n) return kNone;
    const char* s = hay.data();
    const size_t lastStart = hay.size() - n;  // last position a hit can start
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i last = _mm_set1_epi8(needle[n - 1]);
    size_t i = from;
    for (; i + 16 <= lastStart + 1; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + n - 1));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
        while (mask) {
            const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
            if (n <= 2 || std::memcmp(s + i + bit + 1, needle.data() + 1, n - 2) == 0) return i + bit;
            mask &= mask - 1;
        }
    }
    for (; i <= lastStart; ++i)
        if (s[i] == needle[0] && std::memcmp(s + i, needle.data(), n) == 0) return i;
    return kNone;
}
#endif

struct Line {
    size_t begin, length;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tavisk-search-micro FILE [NEEDLE] [ROUNDS]\n");
        return 64;
    }
    const std::string needleText = argc > 2 ? argv[2] : "old";
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    std::FILE* f = std::fopen(argv[1], "rb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    std::string text;
    char chunk[1 << 16];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, f)) > 0;) text.append(chunk, got);
    std::fclose(f);

    std::vector<Line> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t lf = text.find('\n', at);
        const size_t end = lf == std::string::npos ? text.size() : lf;
        size_t length = end - at;
        if (lf != std::string::npos && length > 0 && text[end - 1] == '\r') --length;
        lines.push_back({at, length});
        at = lf == std::string::npos ? text.size() : lf + 1;
    }
    const std::string_view needle = needleText;

    struct Method {
        const char* name;
        std::function<size_t()> run;  // returns the number of hits
    };
    auto perLine = [&](Finder find) {
        return [&, find] {
            size_t hits = 0;
            for (const Line& line : lines) {
                const std::string_view hay(text.data() + line.begin, line.length);
                for (size_t at = 0; (at = find(hay, at, needle)) != kNone; at += needle.size()) ++hits;
            }
            return hits;
        };
    };
    std::vector<Method> methods = {
        {"memmem per line", perLine(FindMemmem)},
        {"string_view::find per line", perLine(FindStringView)},
        {"memchr(last byte)+memcmp per line", perLine(FindLastByte)},
#ifdef __SSE2__
        {"SSE2 first/last byte per line", perLine(FindSse2)},
#endif
        {"boyer_moore_horspool per line (made once)",
         [&] {
             const std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end());
             size_t hits = 0;
             for (const Line& line : lines) {
                 const char* begin = text.data() + line.begin;
                 const char* end = begin + line.length;
                 for (const char* at = begin;;) {
                     const auto found = searcher(at, end);
                     if (found.first == end) break;
                     ++hits;
                     at = found.second;
                 }
             }
             return hits;
         }},
        {"memmem over the whole buffer (lines found by hit)",
         [&] {
             // One search per hit across line ends; a hit that spans a line
             // end (impossible for a needle without LF) would be skipped.
             size_t hits = 0;
             const std::string_view all = text;
             for (size_t at = 0; (at = FindMemmem(all, at, needle)) != kNone; at += needle.size()) ++hits;
             return hits;
         }},
#ifdef __SSE2__
        {"SSE2 first/last byte over the whole buffer",
         [&] {
             size_t hits = 0;
             const std::string_view all = text;
             for (size_t at = 0; (at = FindSse2(all, at, needle)) != kNone; at += needle.size()) ++hits;
             return hits;
         }},
#endif
    };

    std::printf("%s: %zu lines, %.1f MB, needle \"%s\"\n", argv[1], lines.size(), text.size() / 1e6, needleText.c_str());
    size_t expected = kNone;
    for (const Method& method : methods) {
        double best = 1e30;
        size_t hits = 0;
        for (int r = 0; r < rounds; ++r) {
            const auto start = std::chrono::steady_clock::now();
            hits = method.run();
            const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            best = std::min(best, s);
        }
        if (expected == kNone) expected = hits;
        std::printf("  %-50s %8.1f ns/line %9.0f MB/s  %zu hits%s\n", method.name, best * 1e9 / lines.size(),
                    text.size() / 1e6 / best, hits, hits == expected ? "" : "  <-- DIFFERENT COUNT");
    }
    return 0;
}
