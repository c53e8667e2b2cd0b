#pragma once
// The engine's response-line formats.
namespace tavisk::messages {

inline constexpr const char* kCharBeforeEditPos = "\tEndpoint Character in %s is before current edit position";
inline constexpr const char* kLineBeforeCurrent = "\tEndpoint Line in %s is before current line ";
inline constexpr const char* kPastEndOfFileDoing = "\tRun past end of file doing %s";
inline constexpr const char* kPastEndOfLine = "\tRun past End-of-Line doing %s";
inline constexpr const char* kPastEndOfFilePerforming = "\tRun past end of file performing %s";
inline constexpr const char* kReplacements = "\t%s caused %i, Replacements";

}  // namespace tavisk::messages
