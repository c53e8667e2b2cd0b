#include "CliOptions.h"

#include <getopt.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include <string_view>

namespace tavisk::cli {

const char* UsageText() {
    return "Usage: tavisk-cli [OPTIONS] CONTROL-FILE DEST-FOLDER [SOURCE-FILE...]\n"
           "       tavisk-cli [OPTIONS] -e SCRIPT-LINE [-e SCRIPT-LINE]... DEST-FOLDER [SOURCE-FILE...]\n"
           "       tavisk-cli --check CONTROL-FILE [ANYTHING...]   (or --check -e SCRIPT-LINE...)\n"
           "Runs a Tavisk control file over the source files and writes each edited\n"
           "copy under the same name into DEST-FOLDER.  A CONTROL-FILE \"-\" is read from\n"
           "standard input (then no SOURCE may be \"-\").\n"
           "\n"
           "  -e, --expression LINE   a script line given on the command line (repeatable, in\n"
           "                          order); with -e there is no CONTROL-FILE argument\n"
           "  -c, --check             only check the script's syntax; other arguments are ignored,\n"
           "                          so -c can be added to any full command line\n"
           "  -g, --debug             run the first source only; its edited text goes to standard output\n"
           "  -r, --response FILE     write the response file after the run (a name without \"/\"\n"
           "                          lands in DEST-FOLDER)\n"
           "  -q, --quiet             do not print the response lines\n"
           "  -h, --help              show this help\n"
           "      --version           show the version\n"
           "\n"
           "Sources and scale:\n"
           "  -T, --files-from FILE   more sources, one path per line, from FILE (\"-\": standard\n"
           "                          input), after those given as arguments\n"
           "  -0, --null              the names in --files-from end with NUL, not LF\n"
           "  -R, --recursive         a SOURCE that is a folder stands for every regular file under\n"
           "                          it; its output is DEST-FOLDER/RELATIVE/PATH (folders made as needed)\n"
           "      --include GLOB      with -R: only files that match (repeatable)\n"
           "      --exclude GLOB      with -R: leave out files and folders that match (repeatable);\n"
           "                          as in rsync, rg and .gitignore, a GLOB without \"/\" matches\n"
           "                          a name at any depth, one with \"/\" the path relative to the\n"
           "                          folder given; \"*\" stays within a name, \"**\" crosses folders,\n"
           "                          a trailing \"/\" matches folders only; an excluded folder is\n"
           "                          not entered\n"
           "      --mkpath            make DEST-FOLDER and its missing parents first (as rsync)\n"
           "  -j, --jobs N            run up to N files at once (0: one per core; default 1)\n"
           "  -k, --keep-going        a source that cannot be opened is reported and skipped\n"
           "      --json              the response as JSON Lines on standard output: one object\n"
           "                          per source, always ending with one verdict object (also\n"
           "                          when the run is refused or the usage is bad)\n"
           "A SOURCE \"-\" is standard input; DEST-FOLDER \"-\" is standard output (one source\n"
           "only; the response lines then go to standard error).\n"
           "\n"
           "Seeing before writing:\n"
           "  -n, --dry-run           run the whole batch and write nothing: no output, no\n"
           "                          response file; response lines and exit status as a real run\n"
           "  -d, --diff              as --dry-run, and show each change as a unified diff on\n"
           "                          standard output (the response lines go to standard error;\n"
           "                          not with --debug or --json)\n"
           "      --line-ends STYLE   end output lines with crlf (the default), lf, or keep\n"
           "                          (each line as in its source; lines the script makes\n"
           "                          take the end of the file's first line)\n"
           "      --color WHEN        colour the diff: auto (the default: on a terminal, unless\n"
           "                          NO_COLOR is set), always, or never\n"
           "\n"
           "Examples:\n"
           "  tavisk-cli -n -e 'g/old/new/' out *.txt           what would happen, nothing written\n"
           "  tavisk-cli --mkpath -R --include '*.txt' -e 'g/old/new/' out src   a whole tree\n"
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

constexpr int kMaxJobs = 1024;

bool ParseJobs(const char* text, int& jobs) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < 0 || value > kMaxJobs) return false;
    jobs = static_cast<int>(value);
    return true;
}

bool ParseColorWhen(std::string_view text, ColorWhen& when) {
    if (text == "auto") when = ColorWhen::Auto;
    else if (text == "always") when = ColorWhen::Always;
    else if (text == "never") when = ColorWhen::Never;
    else return false;
    return true;
}

// Standard input can be read once; standard output holds one output.
bool CheckStandardStreams(const CliOptions& options, std::string& problem) {
    const auto readers = std::count(options.sources.begin(), options.sources.end(), kStandardStream) +
                         std::count(options.filesFrom.begin(), options.filesFrom.end(), kStandardStream);
    if (options.ScriptFromStandardInput() && readers > 0) {
        problem = "CONTROL-FILE \"-\" reads standard input: no SOURCE or --files-from may be \"-\" as well";
        return false;
    }
    if (readers > 1) {
        problem = "standard input (\"-\") can be given only once";
        return false;
    }
    const bool sourceIsStandardInput =
        std::find(options.sources.begin(), options.sources.end(), kStandardStream) != options.sources.end();
    if (sourceIsStandardInput && !options.ToStandardOutput() && !options.debug) {
        problem = "a SOURCE \"-\" (standard input) needs DEST-FOLDER \"-\" (standard output)";
        return false;
    }
    return true;
}

}  // namespace

bool ParseCommandLine(int argc, char** argv, CliOptions& options, std::string& problem) {
    enum { kVersion = 1000, kLineEnds, kInclude, kExclude, kJson, kMakePath, kColor };
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
        {"files-from", required_argument, nullptr, 'T'},
        {"null", no_argument, nullptr, '0'},
        {"recursive", no_argument, nullptr, 'R'},
        {"include", required_argument, nullptr, kInclude},
        {"exclude", required_argument, nullptr, kExclude},
        {"jobs", required_argument, nullptr, 'j'},
        {"keep-going", no_argument, nullptr, 'k'},
        {"json", no_argument, nullptr, kJson},
        {"mkpath", no_argument, nullptr, kMakePath},
        {"color", required_argument, nullptr, kColor},
        {nullptr, 0, nullptr, 0},
    };
    optind = 1;
    opterr = 0;
    int option = 0;
    while ((option = getopt_long(argc, argv, ":e:cgr:qhndT:0Rj:k", kLongOptions, nullptr)) != -1) {
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
            options.lineEndsGiven = true;
            if (!ParseLineEndStyle(optarg, options.lineEnds)) {
                problem = std::string("--line-ends takes crlf, lf or keep, not '") + optarg + "'";
                return false;
            }
            break;
        case 'T': options.filesFrom.emplace_back(optarg); break;
        case '0': options.nullSeparated = true; break;
        case 'R': options.recursive = true; break;
        case kInclude: options.includes.emplace_back(optarg); break;
        case kExclude: options.excludes.emplace_back(optarg); break;
        case 'j':
            if (!ParseJobs(optarg, options.jobs)) {
                problem = std::string("--jobs takes a number from 0 to ") + std::to_string(kMaxJobs) + ", not '" + optarg + "'";
                return false;
            }
            break;
        case 'k': options.keepGoing = true; break;
        case kJson: options.json = true; break;
        case kMakePath: options.makePath = true; break;
        case kColor:
            if (!ParseColorWhen(optarg, options.color)) {
                problem = std::string("--color takes auto, always or never, not '") + optarg + "'";
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
    if (options.diff && options.json) {
        problem = "--diff and --json both write to standard output";
        return false;
    }
    if (!options.recursive && !(options.includes.empty() && options.excludes.empty())) {
        problem = "--include and --exclude choose files under a folder: they need -R";
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
    if (options.check) return true;  // the rest of a full command line is ignored
    if (next >= operands.size()) {
        problem = "no destination folder given";
        return false;
    }
    options.destFolder = operands[next++];
    options.sources.assign(operands.begin() + static_cast<long>(next), operands.end());
    return CheckStandardStreams(options, problem);
}

}  // namespace tavisk::cli
