#pragma once
// Descriptors closed on a thread of their own.  An output that replaces an
// old file keeps a descriptor on the old one until the rename is done; its
// close then frees the old file's blocks, which on a journalled file system
// costs more than writing a small file, and the batch need not wait for it.
namespace tavisk {

// Closes `fd` soon, on the closing thread (at once, inline, when too many
// are waiting already: the descriptors held stay few).
void CloseLater(int fd);

// Returns once every descriptor handed to CloseLater is closed.
void FinishDeferredCloses();

}  // namespace tavisk
