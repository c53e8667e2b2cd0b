#include "CliRunner.h"

namespace tavisk::test {

const char* CliPath() { return TAVISK_CLI_PATH; }

CliResult RunCli(const std::vector<std::string>& args, const ProcessOptions& options) {
    return RunProcess(CliPath(), args, options);
}

}  // namespace tavisk::test
