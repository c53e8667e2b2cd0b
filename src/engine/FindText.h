#pragma once
// Exact substring search within one line, tuned for many short calls: no
// per-call set-up, 16 candidate positions tested at a time.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavisk {

inline constexpr int64_t kTextNotFound = -1;

// Index of the first `needle` in `haystack` at or after `from`, or kTextNotFound.
// An empty needle is found at `from`.
int64_t FindText(std::string_view haystack, std::string_view needle, int64_t from);

// As FindText, but a line of gigabytes is searched a window of `window`
// starting positions at a time, and a raised `stop` ends the search between
// windows: kTextNotFound with `stopped` set.
inline constexpr size_t kSearchWindow = size_t{64} << 20;
int64_t FindTextWatching(std::string_view haystack, std::string_view needle, int64_t from,
                         const std::atomic<bool>* stop, bool& stopped, size_t window = kSearchWindow);

}  // namespace tavisk
