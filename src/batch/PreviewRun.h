#pragma once
// A script run over a text held in memory, its edited text kept in memory:
// what the script editor's preview shows.  Nothing touches the file system.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "../engine/LineEnds.h"
#include "../script/SyntaxError.h"

namespace tavisk {

struct PreviewInput {
    const std::vector<std::string>* scriptLines = nullptr;
    std::string_view source;  // the source's bytes, kept alive by the caller
    std::string sourceName;   // names the source in messages
    LineEndStyle lineEnds = LineEndStyle::CrLf;
    // The edited text is kept up to this many bytes; a run that makes more is ended there.
    size_t outputLimit = SIZE_MAX;
};

struct PreviewResult {
    bool bSyntaxError = false;  // the script did not parse: `syntaxError` tells where, nothing ran
    SyntaxError syntaxError;
    bool bWideText = false;     // UTF-16 or UTF-32 source, which is not edited: a response line says so
    std::string output;         // the edited text, line ends as `lineEnds` makes them
    bool bOutputCut = false;    // the run made more than outputLimit bytes: `output` is its start
    std::vector<std::string> responseLines;  // the run's messages, as the response file has them
    int nErrorCount = 0;
};

// Runs `input`'s script over its source.  False when `stop` was raised
// before the end (the result is then incomplete and to be dropped).
bool RunPreview(const PreviewInput& input, const std::atomic<bool>* stop, PreviewResult& result);

}  // namespace tavisk
