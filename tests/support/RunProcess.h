#pragma once
// Runs a program as a child process and reports everything it left behind:
// exit status, standard output and error, and its peak memory.
#include <string>
#include <vector>

namespace tavisk::test {

struct ProcessResult {
    int exitStatus = -1;  // 128 + the signal when it was killed by one
    std::string out;
    std::string err;
    long peakRssKb = 0;   // the child's maximum resident set size

    std::vector<std::string> OutLines() const;  // standard output split at LF
    std::vector<std::string> ErrLines() const;
};

struct ProcessOptions {
    std::string workingDir;  // empty: the current one
    std::string stdinPath;   // standard input comes from here; empty: /dev/null
    std::string stdoutPath;  // standard output goes here instead of being captured
    bool interruptWhenFileGrows = false;  // send SIGINT once `watchPath` holds data
    std::string watchPath;
    long addressSpaceLimitMb = 0;  // a memory limit for the child (RLIMIT_AS), 0 for none
    long openFilesLimit = 0;       // a descriptor limit for the child (RLIMIT_NOFILE), 0 for none
    bool closeStandardError = false;  // the child starts with descriptor 2 closed (2>&-)
};

// Runs `program` with standard input from `options.stdinPath` (/dev/null unless given).
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});
// The same, in `workingDir`.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workingDir);

}  // namespace tavisk::test
