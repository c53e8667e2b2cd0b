#pragma once
// Small jobs run on a thread of their own, off the batch's path.  An output
// that replaces an old file swaps places with it (the old file then sits at
// the new file's hidden name); removing the old file frees its blocks, which
// on a journalled file system costs more than writing a small file, and the
// batch need not wait for it.
#include <functional>

namespace tavisk {

// Runs `work` soon on the working thread (at once, on the caller's thread,
// when too many jobs are waiting: what they hold open stays little).
void RunLater(std::function<void()> work);

// Returns once every job handed to RunLater has run.
void FinishDeferredWork();

}  // namespace tavisk
