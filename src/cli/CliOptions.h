#pragma once
// The command line of tavisk-cli.
#include <string>
#include <vector>

#include "engine/LineEnds.h"

namespace tavisk::cli {

enum class ColorWhen { Auto, Always, Never };

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
    bool lineEndsGiven = false;                  // --line-ends was on the command line
    bool dryRun = false;                         // -n; also set by -d
    bool diff = false;                           // -d

    // Sources and scale.
    std::vector<std::string> filesFrom;    // -T lists, in order; "-" is standard input
    bool nullSeparated = false;            // -0
    bool recursive = false;                // -R
    std::vector<std::string> includes;     // --include globs
    std::vector<std::string> excludes;     // --exclude globs
    int jobs = 1;                          // -j; 0 asks for one per core
    bool keepGoing = false;                // -k
    bool json = false;                     // --json
    bool makePath = false;                 // --mkpath: DEST-FOLDER and its parents made first
    ColorWhen color = ColorWhen::Auto;     // --color, for --diff

    // CONTROL-FILE "-": the script comes from standard input.
    bool ScriptFromStandardInput() const { return expressions.empty() && controlFile == "-"; }

    // DEST-FOLDER "-": the one output goes to standard output.
    bool ToStandardOutput() const { return destFolder == "-"; }
};

inline constexpr const char* kStandardStream = "-";

// Fills `options` from argv; false with `problem` set on bad usage.
bool ParseCommandLine(int argc, char** argv, CliOptions& options, std::string& problem);

const char* UsageText();

}  // namespace tavisk::cli
