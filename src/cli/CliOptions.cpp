#include "CliOptions.h"

#include <getopt.h>

#include <string_view>

namespace tavisk::cli {

const char* UsageText() {
    return "Usage: tavisk-cli [OPTIONS] CONTROL-FILE DEST-FOLDER [SOURCE-FILE...]\n"
           "       tavisk-cli [OPTIONS] -e SCRIPT-LINE [-e SCRIPT-LINE]... DEST-FOLDER [SOURCE-FILE...]\n"
           "       tavisk-cli --check CONTROL-FILE        (or --check -e SCRIPT-LINE...)\n"
           "Runs a Tavisk control file over the source files and writes each edited\n"
           "copy under the same name into DEST-FOLDER.\n"
           "\n"
           "  -e, --expression LINE   a script line given on the command line (repeatable, in\n"
           "                          order); with -e there is no CONTROL-FILE argument\n"
           "  -c, --check             only check the script's syntax; no folder or source needed\n"
           "  -g, --debug             run the first source only; its edited text goes to standard output\n"
           "  -r, --response FILE     write the response file after the run (a name without \"/\"\n"
           "                          lands in DEST-FOLDER)\n"
           "  -q, --quiet             do not print the response lines\n"
           "  -h, --help              show this help\n"
           "      --version           show the version\n"
           " seeing before writing\n"
           "  -n, --dry-run           run the whole batch and write nothing: no output, no\n"
           "                          response file; response lines and exit status as a real run\n"
           "  -d, --diff              as --dry-run, and show each change as a unified diff on\n"
           "                          standard output (the response lines go to standard error)\n"
           "      --line-ends STYLE   end output lines with crlf (the default), lf, or keep\n"
           "                          (each line as in its source; lines the script makes\n"
           "                          take the end of the file's first line)\n"
           "\n"
           "Examples:\n"
           "  tavisk-cli -n -e 'g/old/new/' out *.txt           what would happen, nothing written\n"
           "  tavisk-cli -d -e 'g/old/new/' out *.txt | less    the changes as a diff\n"
           "  tavisk-cli --line-ends keep -e 'g/old/new/' out *.txt   line ends as they were\n"
           "\n"
           "Exit status: 0 batch completed without errors; 1 errors during processing;\n"
           "2 syntax error; 3 run refused or a file could not be read, opened, created or\n"
           "written; 64 bad usage; 130 stopped by an interrupt.\n";
}

namespace {

// A value holding line breaks is several script lines, as it would be in a file.
void AddExpressionLines(std::string_view value, std::vector<std::string>& lines) {
    for (;;) {
        const size_t lineFeed = value.find('\n');
        std::string_view line = value.substr(0, lineFeed);
        if (lineFeed != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
        lines.emplace_back(line);
        if (lineFeed == std::string_view::npos) return;
        value.remove_prefix(lineFeed + 1);
    }
}

}  // namespace

bool ParseCommandLine(int argc, char** argv, CliOptions& options, std::string& problem) {
    enum { kVersion = 1000, kLineEnds };
    static const option kLongOptions[] = {
        {"expression", required_argument, nullptr, 'e'},
        {"check", no_argument, nullptr, 'c'},
        {"debug", no_argument, nullptr, 'g'},
        {"response", required_argument, nullptr, 'r'},
        {"quiet", no_argument, nullptr, 'q'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, kVersion},
        {"line-ends", required_argument, nullptr, kLineEnds},
        {"dry-run", no_argument, nullptr, 'n'},
        {"diff", no_argument, nullptr, 'd'},
        {nullptr, 0, nullptr, 0},
    };
    optind = 1;
    opterr = 0;
    int option = 0;
    while ((option = getopt_long(argc, argv, ":e:cgr:qhnd", kLongOptions, nullptr)) != -1) {
        switch (option) {
        case 'e': AddExpressionLines(optarg, options.expressions); break;
        case 'c': options.check = true; break;
        case 'g': options.debug = true; break;
        case 'r': options.responseFile = optarg; break;
        case 'q': options.quiet = true; break;
        case 'h': options.help = true; break;
        case 'n': options.dryRun = true; break;
        case 'd': options.diff = options.dryRun = true; break;
        case kVersion: options.version = true; break;
        case kLineEnds:
            if (!ParseLineEndStyle(optarg, options.lineEnds)) {
                problem = std::string("--line-ends takes crlf, lf or keep, not '") + optarg + "'";
                return false;
            }
            break;
        case ':':
            problem = std::string("option '") + argv[optind - 1] + "' needs a value";
            return false;
        default:
            problem = optopt ? std::string("unknown option '-") + static_cast<char>(optopt) + "'"
                             : std::string("unknown option '") + argv[optind - 1] + "'";
            return false;
        }
    }
    if (options.help || options.version) return true;
    if (options.diff && options.debug) {
        problem = "--diff and --debug both write to standard output";
        return false;
    }

    std::vector<std::string> operands(argv + optind, argv + argc);
    size_t next = 0;
    if (options.expressions.empty()) {
        if (next >= operands.size()) {
            problem = "no control file given (or -e SCRIPT-LINE)";
            return false;
        }
        options.controlFile = operands[next++];
    }
    if (options.check) {
        if (next < operands.size()) {
            problem = "--check takes only the script";
            return false;
        }
        return true;
    }
    if (next >= operands.size()) {
        problem = "no destination folder given";
        return false;
    }
    options.destFolder = operands[next++];
    options.sources.assign(operands.begin() + static_cast<long>(next), operands.end());
    return true;
}

}  // namespace tavisk::cli
