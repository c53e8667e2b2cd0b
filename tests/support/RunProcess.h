#pragma once
// Runs a program with arguments and collects its exit status and streams.
#include <string>
#include <vector>

namespace tavisk::test {

struct ProcessResult {
    int exitStatus = -1;  // 128 + signal number when killed by a signal
    std::string out;
    std::string err;
};

// Runs `program` in `workingDir` (empty: the current one) with standard input
// read from `inputPath` (empty: /dev/null).
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workingDir = {}, const std::string& inputPath = {});

}  // namespace tavisk::test
