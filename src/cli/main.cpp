// tavisk-cli: runs the batch of the desktop program from the command line.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "CliOptions.h"
#include "CliWindow.h"
#include "batch/BatchRun.h"
#include "batch/ScriptFile.h"
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
    std::fprintf(stderr, "standard output: %s\n", std::strerror(cause ? cause : EIO));
    return false;
}

int UsageError(const std::string& problem) {
    std::fprintf(stderr, "tavisk-cli: %s\nTry 'tavisk-cli --help' for more information.\n", problem.c_str());
    return kExitUsage;
}

int Run(const cli::CliOptions& options) {
    static BatchRun batch;  // large buffers; lives for the process
    const bool fromExpressions = !options.expressions.empty();
    if (fromExpressions) {
        batch.m_arrScriptLines = options.expressions;
    } else {
        FileError error;
        if (!LoadScriptLines(options.controlFile, batch.m_arrScriptLines, error)) {
            std::fprintf(stderr, "%s\n", error.Text().c_str());
            std::fputs("Empty or No Control File\n", stderr);
            return kExitRefusedOrFileError;
        }
    }
    cli::CliSyntaxErrorReport syntaxReport(fromExpressions ? "-e" : options.controlFile);
    batch.SetSyntaxErrorReport(&syntaxReport);

    if (options.check) {
        if (batch.m_arrScriptLines.empty()) {
            std::fputs("Empty or No Control File\n", stderr);
            return kExitRefusedOrFileError;
        }
        return batch.CheckSyntax() == PARSE_END ? kExitClean : kExitSyntaxError;
    }

    batch.SetSourcePaths(options.sources);
    batch.m_strDestFolder = options.destFolder;
    batch.m_strControlFile = options.controlFile;
    if (!options.responseFile.empty()) batch.m_strResponseFile = options.responseFile;

    const bool showProgress = !options.quiet && isatty(STDERR_FILENO);
    cli::CliWindow window(options.debug, !options.responseFile.empty(), showProgress);
    batch.SetWindow(&window);

    // A refused start has already printed its complaints; a syntax error its report.
    switch (batch.PrepareStart()) {
    case StartResult::Ready: break;
    case StartResult::Refused: return kExitRefusedOrFileError;
    case StartResult::SyntaxError: return kExitSyntaxError;
    }

    g_runningBatch = &batch;
    InstallInterruptHandler();
    batch.RunBatch();
    g_runningBatch = nullptr;

    if (!options.quiet) PrintLines(options.debug ? stderr : stdout, batch.m_log.m_arrResponseLines);
    const bool outputOk = FlushStandardOutput();

    if (batch.m_bStopped) return kExitInterrupted;
    if (batch.m_bFileErrorOccurred || !outputOk) return kExitRefusedOrFileError;
    return batch.m_log.m_nErrorCount != 0 ? kExitProcessingErrors : kExitClean;
}

}  // namespace

int main(int argc, char** argv) {
    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);

    cli::CliOptions options;
    std::string problem;
    if (!cli::ParseCommandLine(argc, argv, options, problem)) return UsageError(problem);
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
