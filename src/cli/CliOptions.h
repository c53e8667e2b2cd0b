#pragma once
// The command line of tavisk-cli.
#include <string>
#include <vector>

#include "engine/LineEnds.h"

namespace tavisk::cli {

struct CliOptions {
    std::vector<std::string> expressions;  // -e lines, in order
    std::string controlFile;               // empty with -e
    std::string destFolder;
    std::vector<std::string> sources;
    std::string responseFile;              // -r; empty: no response file
    bool check = false;
    bool debug = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    LineEndStyle lineEnds = LineEndStyle::CrLf;  // --line-ends
    bool dryRun = false;                         // -n; also set by -d
    bool diff = false;                           // -d
};

// Fills `options` from argv; false with `problem` set on bad usage.
bool ParseCommandLine(int argc, char** argv, CliOptions& options, std::string& problem);

const char* UsageText();

}  // namespace tavisk::cli
