#pragma once
// The response of a run as JSON Lines: one object per source, then the verdict.
#include <string>
#include <string_view>

#include "batch/BatchRun.h"

namespace tavisk::cli {

// Appends `bytes` as a JSON string.  Valid UTF-8 is kept as it is; each byte
// that is not part of valid UTF-8 becomes the escape \udcXX (XX: the byte),
// the "surrogateescape" scheme of Python, so every name survives unchanged.
void AppendJsonString(std::string& out, std::string_view bytes);

// Writes every line to `stream`; `exitStatus` is the one the program returns.
void WriteJsonLines(FILE* stream, const BatchRun& batch, int exitStatus);

}  // namespace tavisk::cli
