#pragma once
// Exact substring search within one line, tuned for many short calls: no
// per-call set-up, 16 candidate positions tested at a time.
#include <cstdint>
#include <string_view>

namespace tavisk {

inline constexpr int64_t kTextNotFound = -1;

// Index of the first `needle` in `haystack` at or after `from`, or kTextNotFound.
// An empty needle is found at `from`.
int64_t FindText(std::string_view haystack, std::string_view needle, int64_t from);

}  // namespace tavisk
