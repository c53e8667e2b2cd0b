#pragma once
// The hint at a terminal when the default CR LF met sources that end in LF.
#include "batch/BatchRun.h"

namespace tavisk::cli {

// Says once on standard error how to keep LF when the run turned LF-only
// sources into CR LF; `dryRun` counts the files a dry run went through.
void HintAtKeepingLineEnds(const BatchRun& batch, bool dryRun);

}  // namespace tavisk::cli
