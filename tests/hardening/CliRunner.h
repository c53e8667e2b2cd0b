#pragma once
// Runs the tavisk-cli built with these tests as a child process.
#include <string>
#include <vector>

#include "RunProcess.h"

namespace tavisk::test {

using CliResult = ProcessResult;

// The path of the tavisk-cli built with these tests.
const char* CliPath();

CliResult RunCli(const std::vector<std::string>& args, const ProcessOptions& options = {});

}  // namespace tavisk::test
