// tavisk-cli: runs the batch of the desktop program from the command line.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <algorithm>

#include "CliOptions.h"
#include "CliWindow.h"
#include "DestFolder.h"
#include "DiffColor.h"
#include "JsonLines.h"
#include "LineEndHint.h"
#include "SourceGatherer.h"
#include "batch/BatchRun.h"
#include "batch/DiffPreview.h"
#include "batch/FileJobs.h"
#include "batch/ScriptFile.h"
#include "engine/StandardDescriptors.h"
#include "engine/TempFileRegistry.h"

namespace {

using namespace tavisk;

enum ExitStatus {
    kExitClean = 0,
    kExitProcessingErrors = 1,
    kExitSyntaxError = 2,
    kExitRefusedOrFileError = 3,
    kExitUsage = 64,
    kExitInterrupted = 130,
};

BatchRun* g_runningBatch = nullptr;
std::atomic<int> g_interrupts{0};  // lock-free, so safe in a signal handler

// Ctrl-C or SIGTERM stops the run within moments; a second one ends the
// process at once, taking the output being written with it.
void OnInterrupt(int signalNumber) {
    if (g_interrupts.fetch_add(1) == 0 && g_runningBatch) {
        g_runningBatch->RequestStop();
        return;
    }
    TempFileRegistry::UnlinkAll();
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void PrintLines(FILE* stream, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        std::fwrite(line.data(), 1, line.size(), stream);
        std::fputc('\n', stream);
    }
}

// A failed write to standard output is a file error like any other.
bool FlushStandardOutput() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    const int cause = errno;
    std::fprintf(stderr, "tavisk-cli: standard output: %s\n", std::strerror(cause ? cause : EIO));
    return false;
}

int UsageError(const std::string& problem) {
    std::fprintf(stderr, "tavisk-cli: %s\nTry 'tavisk-cli --help' for more information.\n", problem.c_str());
    return kExitUsage;
}

// Where a control file "-" is read from.
constexpr const char* kStandardInputPath = "/dev/stdin";

// A control file that cannot be loaded is reported; the start checks then
// list "Empty or No Control File" with every other complaint.
void LoadScript(const cli::CliOptions& options, BatchRun& batch) {
    if (!options.expressions.empty()) {
        batch.m_arrScriptLines = options.expressions;
        return;
    }
    FileError error;
    const std::string path = options.ScriptFromStandardInput() ? kStandardInputPath : options.controlFile;
    if (!LoadScriptLines(path, batch.m_arrScriptLines, error))
        std::fprintf(stderr, "tavisk-cli: %s\n", error.Text().c_str());
}

// Fills the batch's sources; the count of folders and lists that could not be read.
int GatherSources(const cli::CliOptions& options, BatchRun& batch) {
    cli::GatherOptions gatherOptions{options.recursive, options.nullSeparated, options.includes, options.excludes,
                                     options.destFolder};
    cli::SourceGatherer sources(gatherOptions, batch);
    batch.m_sources.Clear();
    for (const std::string& source : options.sources) {
        if (source == cli::kStandardStream) {
            batch.m_sources.AddStandardInput();
        } else {
            sources.AddArgument(source);
        }
    }
    batch.m_arrListFiles.clear();
    for (const std::string& list : options.filesFrom) {
        sources.AddNamesFrom(list);
        if (list != cli::kStandardStream) batch.m_arrListFiles.push_back(list);  // never to be written
    }
    batch.m_nLeftOutOfTrees = sources.LeftOutCount();
    if (batch.m_nLeftOutOfTrees > 0)
        std::fprintf(stderr, "tavisk-cli: left out %d %s found in the folders given\n", batch.m_nLeftOutOfTrees,
                     batch.m_nLeftOutOfTrees == 1 ? "symbolic link or special file" : "symbolic links and special files");
    return sources.ProblemCount();
}

// Standard input, read once by the run, is named here for the diff to read again.
constexpr const char* kStandardInputCopy = "/dev/stdin";

// --diff compares the output with its source after the run has read it: a
// source on standard input is first copied to an unnamed file that then
// stands in as standard input and can be opened again.
bool KeepStandardInputForDiff() {
    std::FILE* copy = std::tmpfile();
    if (!copy) {
        std::fprintf(stderr, "tavisk-cli: standard input: cannot keep a copy for --diff: %s\n", std::strerror(errno));
        return false;
    }
    std::vector<char> buffer(size_t{1} << 20);
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            std::fprintf(stderr, "tavisk-cli: standard input: %s\n", std::strerror(errno));
            return false;
        }
        if (got == 0) break;
        if (std::fwrite(buffer.data(), 1, static_cast<size_t>(got), copy) != static_cast<size_t>(got)) break;
    }
    if (std::fflush(copy) != 0 || std::ferror(copy) || lseek(fileno(copy), 0, SEEK_SET) != 0 ||
        dup2(fileno(copy), STDIN_FILENO) < 0) {
        std::fprintf(stderr, "tavisk-cli: standard input: cannot keep a copy for --diff: %s\n", std::strerror(errno));
        return false;
    }
    std::fclose(copy);  // standard input now holds the file open
    return true;
}

int ExitStatusOf(const BatchRun& batch, bool outputOk, bool sourcesMissed) {
    if (batch.Stopped()) return kExitInterrupted;
    if (batch.FileErrorOccurred() || !outputOk || sourcesMissed) return kExitRefusedOrFileError;
    return batch.m_log.m_nErrorCount != 0 ? kExitProcessingErrors : kExitClean;
}

// The stream of the response (and of its JSON): standard error where the
// edited text or the diffs own standard output.
FILE* ResponseStream(const cli::CliOptions& options) {
    return options.debug || options.ToStandardOutput() || options.diff ? stderr : stdout;
}

// With --json every way out of a run ends with one verdict object; a run that
// never went through its files gives it here.
int EndWithoutRun(const cli::CliOptions& options, int exitStatus, cli::JsonVerdictFacts facts, long long sources = 0) {
    if (!options.json) return exitStatus;
    facts.exitStatus = exitStatus;
    // --json never comes with --diff, so standard output is free unless the text owns it.
    cli::WriteJsonVerdictOnly(options.debug || options.ToStandardOutput() ? stderr : stdout, sources, facts);
    return FlushStandardOutput() || exitStatus != kExitClean ? exitStatus : kExitRefusedOrFileError;
}

bool ColorWanted(const cli::CliOptions& options) {
    switch (options.color) {
    case cli::ColorWhen::Always: return true;
    case cli::ColorWhen::Never: return false;
    case cli::ColorWhen::Auto: break;
    }
    const char* noColor = std::getenv("NO_COLOR");
    return isatty(STDOUT_FILENO) && !(noColor && *noColor);
}

int Run(const cli::CliOptions& options) {
    static BatchRun batch;  // large buffers; lives for the process
    LoadScript(options, batch);
    const std::string scriptName = !options.expressions.empty() ? "-e" : options.controlFile;
    cli::CliSyntaxErrorReport syntaxReport(scriptName);
    batch.SetSyntaxErrorReport(&syntaxReport);
    cli::JsonVerdictFacts facts;
    facts.scriptName = scriptName;
    facts.leftOut = 0;  // the links and special files -R left out, once the sources are gathered

    if (options.check) {
        if (batch.m_arrScriptLines.empty()) {
            std::fputs("tavisk-cli: Empty or No Control File\n", stderr);
            facts.complaints.emplace_back("Empty or No Control File");
            return EndWithoutRun(options, kExitRefusedOrFileError, facts);
        }
        const bool clean = batch.CheckSyntax() == PARSE_END;
        facts.syntaxError = syntaxReport.Error();
        return EndWithoutRun(options, clean ? kExitClean : kExitSyntaxError, facts);
    }

    const int sourceProblems = GatherSources(options, batch);

    facts.leftOut = batch.m_nLeftOutOfTrees;
    if (options.ToStandardOutput() && batch.m_sources.Count() > 1)
        return EndWithoutRun(options, UsageError("DEST-FOLDER \"-\" (standard output) takes one source only"), facts,
                             batch.m_sources.Count());
    if (sourceProblems > 0 && !options.keepGoing)
        return EndWithoutRun(options, kExitRefusedOrFileError, facts, batch.m_sources.Count());
    batch.m_strDestFolder = options.destFolder;
    // Standard input holds the script: no output may replace what it was read from.
    batch.m_strControlFile = options.ScriptFromStandardInput() ? kStandardInputPath : options.controlFile;
    batch.m_lineEnds = options.lineEnds;
    batch.m_bDryRun = options.dryRun;
    batch.m_bDestMadeFirst = options.makePath;
    const bool color = options.diff && ColorWanted(options);
    DiffPreview diffPreview([color](std::string_view text) {
        if (color) {
            const std::string colored = cli::ColorDiff(text);
            std::fwrite(colored.data(), 1, colored.size(), stdout);
        } else {
            std::fwrite(text.data(), 1, text.size(), stdout);
        }
    });
    if (options.diff) batch.m_pPreview = &diffPreview;
    batch.m_bKeepGoing = options.keepGoing;
    batch.m_nJobs = options.jobs > 0 ? options.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int jobsAllowed = JobsWithinDescriptorLimit(batch.m_nJobs);
    if (jobsAllowed < batch.m_nJobs && jobsAllowed < batch.m_sources.Count())
        std::fprintf(stderr, "tavisk-cli: -j %d: running %d jobs at once, as many as the limit on open files allows\n",
                     batch.m_nJobs, jobsAllowed);
    batch.m_nJobs = jobsAllowed;
    if (!options.responseFile.empty()) {
        batch.m_strResponseFile = options.responseFile;
        // Standard output is no folder: a bare name lands in the current one.
        if (options.ToStandardOutput() && options.responseFile.find('/') == std::string::npos)
            batch.m_strResponseFile = "./" + options.responseFile;
    }

    // The text goes to standard output in debug and filter mode, the response to standard error.
    const bool textToStandardOutput = options.debug || options.ToStandardOutput();
    const bool showProgress = !options.quiet && isatty(STDERR_FILENO);
    cli::CliWindow window(textToStandardOutput, !options.responseFile.empty(), showProgress);
    if (options.ToStandardOutput() && options.dryRun) {
        const bool fromStandardInput = batch.m_sources.StandardInputIndex() == 0;
        if (fromStandardInput && options.diff && !KeepStandardInputForDiff())
            return EndWithoutRun(options, kExitRefusedOrFileError, facts, batch.m_sources.Count());
        window.PreviewText(options.diff ? &diffPreview : nullptr,
                           fromStandardInput ? kStandardInputCopy : batch.m_sources.Path(0));
        batch.m_pPreview = nullptr;  // the window takes the text
    }
    batch.SetWindow(&window);

    // A refused start has already printed its complaints; a syntax error its report.
    const StartResult start = batch.PrepareStart();
    if (start != StartResult::Ready) {
        facts.complaints = window.Complaints();
        facts.syntaxError = syntaxReport.Error();
        return EndWithoutRun(options, start == StartResult::Refused ? kExitRefusedOrFileError : kExitSyntaxError,
                             facts, batch.m_sources.Count());
    }
    // DEST-FOLDER is made only for a run that may start.  What it names can
    // change once its parents are there ("new/../src"), so the checks run again.
    std::vector<std::string> madeFolders;
    const bool writesToFolder = !options.ToStandardOutput() && !options.debug;
    if (writesToFolder && !cli::PrepareDestFolder(options.destFolder, options.makePath, options.dryRun, madeFolders))
        return EndWithoutRun(options, kExitRefusedOrFileError, facts, batch.m_sources.Count());
    if (!madeFolders.empty()) {
        const std::string complaints = batch.StartComplaints();
        if (!complaints.empty()) {
            window.ShowErrorMessage(complaints);
            cli::RemoveMadeFolders(madeFolders);
            facts.complaints = window.Complaints();
            return EndWithoutRun(options, kExitRefusedOrFileError, facts, batch.m_sources.Count());
        }
    }

    g_runningBatch = &batch;
    InstallInterruptHandler();
    batch.RunBatch();
    g_runningBatch = nullptr;
    window.EndPreview(!batch.Stopped() && !batch.FileErrorOccurred() && batch.FileOutcomes().size() == 1 &&
                      batch.FileOutcomes()[0].bOpened);

    FILE* responseStream = ResponseStream(options);
    bool outputOk = FlushStandardOutput();
    if (options.json) {  // asked for by name, so -q does not silence it
        facts.exitStatus = ExitStatusOf(batch, outputOk, sourceProblems > 0);
        cli::WriteJsonLines(responseStream, batch, facts);
    } else if (!options.quiet) {
        PrintLines(responseStream, batch.m_log.m_arrResponseLines);
    }
    outputOk = FlushStandardOutput() && outputOk;
    if (batch.m_lineEnds == LineEndStyle::CrLf && !options.lineEndsGiven && !options.debug && isatty(STDERR_FILENO))
        cli::HintAtKeepingLineEnds(batch, options.dryRun);
    return ExitStatusOf(batch, outputOk, sourceProblems > 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (!ReopenClosedStandardDescriptors()) return kExitRefusedOrFileError;  // nowhere safe to say so
    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);

    cli::CliOptions options;
    std::string problem;
    if (!cli::ParseCommandLine(argc, argv, options, problem)) return EndWithoutRun(options, UsageError(problem), {});
    if (options.help) {
        std::fputs(cli::UsageText(), stdout);
        return FlushStandardOutput() ? kExitClean : kExitRefusedOrFileError;
    }
    if (options.version) {
        std::fputs("tavisk-cli " TAVISK_VERSION "\n", stdout);
        return FlushStandardOutput() ? kExitClean : kExitRefusedOrFileError;
    }
    return Run(options);
}
