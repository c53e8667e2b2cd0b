// The edit script comes from dtl (the O(NP) algorithm of Wu, Manber and
// Myers, which keeps its memory bounded on large inputs by settling on a
// path and going on from it); the hunks are laid out here as `diff -u` does.
#include "UnifiedDiff.h"

#include <dtl/dtl.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_map>

namespace tavisk {

namespace {

constexpr size_t kContext = 3;

// A run of deleted lines of the old text and the lines that replace it.
struct Change {
    size_t before = 0;  // first deleted line (or where the added lines go)
    size_t deleted = 0;
    size_t after = 0;  // first added line
    size_t added = 0;
};

// Gives each distinct line a small number, so the diff compares numbers.
void NumberLines(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b, size_t from,
                 size_t toA, size_t toB, std::vector<uint32_t>& numbersA, std::vector<uint32_t>& numbersB,
                 size_t& distinct) {
    std::unordered_map<std::string_view, uint32_t> numbers;
    numbers.reserve((toA - from) + (toB - from));
    const auto number = [&](std::string_view line) {
        return numbers.try_emplace(line, static_cast<uint32_t>(numbers.size())).first->second;
    };
    numbersA.reserve(toA - from);
    numbersB.reserve(toB - from);
    for (size_t i = from; i < toA; ++i) numbersA.push_back(number(a[i]));
    for (size_t i = from; i < toB; ++i) numbersB.push_back(number(b[i]));
    distinct = numbers.size();
}

// Keeps the lines that occur in the other text too, with their places: a
// line found in one text only is changed whatever the diff finds, so it
// need not be diffed (a changed line is usually such a line).
void KeepShared(std::vector<uint32_t>& numbers, const std::vector<bool>& inOther, std::vector<size_t>& places) {
    size_t kept = 0;
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (!inOther[numbers[i]]) continue;
        numbers[kept++] = numbers[i];
        places.push_back(i);
    }
    numbers.resize(kept);
}

// The changes between a[from, toA) and b[from, toB), in line numbers of the whole texts.
std::vector<Change> FindChanges(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b,
                                size_t from, size_t toA, size_t toB) {
    std::vector<uint32_t> numbersA, numbersB;
    size_t distinct = 0;
    NumberLines(a, b, from, toA, toB, numbersA, numbersB, distinct);
    std::vector<bool> inA(distinct), inB(distinct);
    for (const uint32_t n : numbersA) inA[n] = true;
    for (const uint32_t n : numbersB) inB[n] = true;
    std::vector<size_t> placesA, placesB;
    KeepShared(numbersA, inB, placesA);
    KeepShared(numbersB, inA, placesB);

    // Every stretch between two lines the texts share is a change.
    std::vector<Change> changes;
    size_t nextA = from, nextB = from;
    const auto common = [&](size_t i, size_t j) {
        if (i > nextA || j > nextB) changes.push_back(Change{nextA, i - nextA, nextB, j - nextB});
        nextA = i + 1;
        nextB = j + 1;
    };
    if (!numbersA.empty() && !numbersB.empty()) {
        dtl::Diff<uint32_t, std::vector<uint32_t>> diff(numbersA, numbersB);
        diff.compose();
        size_t i = 0, j = 0;  // in the kept lines
        for (const auto& element : diff.getSes().getSequence()) {
            const dtl::edit_t type = element.second.type;
            if (type == dtl::SES_COMMON) common(from + placesA[i++], from + placesB[j++]);
            else if (type == dtl::SES_DELETE) ++i;
            else ++j;
        }
    }
    if (toA > nextA || toB > nextB) changes.push_back(Change{nextA, toA - nextA, nextB, toB - nextB});
    return changes;
}

void AppendNumber(std::string& out, size_t value) { out += std::to_string(value); }

// "START,COUNT" as diff -u gives it: one line is just its number; no lines
// give the number of the line before them and ",0".
void AppendRange(std::string& out, size_t start, size_t count) {
    if (count == 0) {
        AppendNumber(out, start);
        out += ",0";
        return;
    }
    AppendNumber(out, start + 1);
    if (count == 1) return;
    out += ',';
    AppendNumber(out, count);
}

void AppendLines(std::string& out, char mark, const std::vector<std::string_view>& lines, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        out += mark;
        out += lines[i];
        out += '\n';
    }
}

// Writes the hunk of changes[first, last] with its context.
void AppendHunk(std::string& out, const std::vector<std::string_view>& a, const std::vector<std::string_view>& b,
                const std::vector<Change>& changes, size_t first, size_t last) {
    const Change& head = changes[first];
    const Change& tail = changes[last];
    const size_t lead = std::min(head.before, kContext);
    const size_t startA = head.before - lead;
    const size_t startB = head.after - lead;
    const size_t trail = std::min(a.size() - (tail.before + tail.deleted), kContext);
    const size_t endA = tail.before + tail.deleted + trail;
    const size_t endB = tail.after + tail.added + trail;

    out += "@@ -";
    AppendRange(out, startA, endA - startA);
    out += " +";
    AppendRange(out, startB, endB - startB);
    out += " @@\n";
    size_t at = startA;
    for (size_t c = first; c <= last; ++c) {
        const Change& change = changes[c];
        AppendLines(out, ' ', a, at, change.before);
        AppendLines(out, '-', a, change.before, change.before + change.deleted);
        AppendLines(out, '+', b, change.after, change.after + change.added);
        at = change.before + change.deleted;
    }
    AppendLines(out, ' ', a, at, endA);
}

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at < end) {
        const void* found = std::memchr(at, '\n', static_cast<size_t>(end - at));
        const char* lineEnd = found ? static_cast<const char*>(found) : end;
        size_t length = static_cast<size_t>(lineEnd - at);
        if (found && length > 0 && lineEnd[-1] == '\r') --length;
        lines.emplace_back(at, length);
        at = found ? lineEnd + 1 : end;
    }
    return lines;
}

DiffOutcome AppendUnifiedDiff(std::string_view before, std::string_view after, std::string_view beforeLabel,
                              std::string_view afterLabel, std::string& out) {
    if (before == after) return DiffOutcome::Same;
    const std::vector<std::string_view> a = SplitLines(before);
    const std::vector<std::string_view> b = SplitLines(after);
    if (a == b) return DiffOutcome::LineEndsOnly;

    // Lines alike at both ends need no diffing.
    size_t prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
    size_t endA = a.size(), endB = b.size();
    while (endA > prefix && endB > prefix && a[endA - 1] == b[endB - 1]) --endA, --endB;
    const std::vector<Change> changes = FindChanges(a, b, prefix, endA, endB);

    out += "--- ";
    out += beforeLabel;
    out += "\n+++ ";
    out += afterLabel;
    out += '\n';
    // Changes whose context would meet or overlap share a hunk.
    for (size_t first = 0; first < changes.size();) {
        size_t last = first;
        while (last + 1 < changes.size() &&
               changes[last + 1].before - (changes[last].before + changes[last].deleted) <= 2 * kContext)
            ++last;
        AppendHunk(out, a, b, changes, first, last);
        first = last + 1;
    }
    return DiffOutcome::Differs;
}

}  // namespace tavisk
