#pragma once
// A program started with standard input, output or error closed would hand
// that number to the first file it opens: an output could then be given
// descriptor 2 and receive error messages.  Both programs fill the gaps first.
namespace tavisk {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed; false
// when one could not be filled.  Call before anything else opens a file.
bool ReopenClosedStandardDescriptors();

}  // namespace tavisk
