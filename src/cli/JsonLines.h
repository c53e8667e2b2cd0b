#pragma once
// The response of a run as JSON Lines: one object per source, then the verdict.
#include <string>
#include <string_view>
#include <vector>

#include "batch/BatchRun.h"
#include "script/SyntaxError.h"

namespace tavisk::cli {

// Appends `bytes` as a JSON string.  Valid UTF-8 is kept as it is; each byte
// that is not part of valid UTF-8 becomes the escape \udcXX (XX: the byte),
// the "surrogateescape" scheme of Python, so every name survives unchanged.
void AppendJsonString(std::string& out, std::string_view bytes);

// What the verdict says beside the batch's own counts.
struct JsonVerdictFacts {
    int exitStatus = 0;                   // the one the program returns
    std::vector<std::string> complaints;  // the start complaints
    const SyntaxError* syntaxError = nullptr;
    std::string scriptName;               // names the syntax error's file
    long long leftOut = 0;                // files -R left out: links and other non-regular files
};

// Writes one object per source, then the verdict, to `stream`.
void WriteJsonLines(FILE* stream, const BatchRun& batch, const JsonVerdictFacts& facts);

// A run that never went through the files (bad usage, a refused start, a
// syntax error, --check): the verdict alone, with "verdict": "".
void WriteJsonVerdictOnly(FILE* stream, long long sources, const JsonVerdictFacts& facts);

}  // namespace tavisk::cli
