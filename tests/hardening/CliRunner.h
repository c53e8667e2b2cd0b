#pragma once
// Runs tavisk-cli as a child process and reports everything it left behind:
// exit status, standard output and error, and its peak memory.
#include <string>
#include <vector>

namespace tavisk::test {

struct CliResult {
    int exitStatus = -1;  // 128 + the signal when it was killed by one
    std::string out;
    std::string err;
    long peakRssKb = 0;   // the child's maximum resident set size

    std::vector<std::string> OutLines() const;  // standard output split at LF
    std::vector<std::string> ErrLines() const;
};

struct CliOptions {
    std::string stdoutPath;  // standard output goes here instead of being captured
    bool interruptWhenFileGrows = false;  // send SIGINT once `watchPath` holds data
    std::string watchPath;
    long addressSpaceLimitMb = 0;  // a memory limit for the child (RLIMIT_AS), 0 for none
};

// The path of the tavisk-cli built with these tests.
const char* CliPath();

CliResult RunCli(const std::vector<std::string>& args, const CliOptions& options = {});

std::vector<std::string> SplitAtLineFeeds(const std::string& text);

}  // namespace tavisk::test
