#pragma once
// Shared pieces of the fuzz targets: splitting the input, a scratch folder,
// and the check that stops the process on a broken rule.  The recording
// window and syntax report are the tests' own.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "RecordingFakes.h"

namespace tavisk::fuzz {

using test::RecordingBatchWindow;
using test::RecordingSyntaxReport;

// A broken rule is a finding: print where and abort, so the fuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);   \
            std::abort();                                                                         \
        }                                                                                         \
    } while (0)

// Commands one input may run before the harness stops it; a script such as
// «(t1)4294967295» would otherwise run for ever on a long enough source.
// Every looping input runs to the budget, so it sets the fuzzing speed: a
// few thousand commands already take every loop round many times.  The
// parser alone needs fewer: its loops count, they do not read a source.
inline constexpr uint64_t kCommandBudget = 2000;
inline constexpr uint64_t kParserCommandBudget = 256;

// Splits at LF as the control-file loader does (a CR before the LF is kept:
// -e lines may hold one anywhere); a last line without LF still counts.
std::vector<std::string> SplitLines(std::string_view bytes);

// Source text as the engine reads it, written back the way the output writer
// writes it: every line ends in CR LF, one CR before each LF dropped.
std::string NormaliseLines(std::string_view source);

// A private folder, removed at exit: the engine target's destination, which
// a dry run looks at but never writes.
const std::string& ScratchFolder();

}  // namespace tavisk::fuzz
