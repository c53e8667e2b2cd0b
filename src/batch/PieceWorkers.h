#pragma once
// How many threads may edit pieces of one large file, and how large a piece is.
#include "../engine/EditEngine.h"

namespace tavisk {

// Lets `engine` edit pieces of one large file on up to `workers` threads.
void SetPieceWorkers(EditEngine& engine, int workers);

}  // namespace tavisk
