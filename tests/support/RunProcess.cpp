#include "RunProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "TempDir.h"

namespace tavisk::test {

namespace {

std::vector<std::string> SplitAtLineFeeds(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

int OpenForChild(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0600);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    return fd;
}

off_t SizeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : 0;
}

}  // namespace

std::vector<std::string> ProcessResult::OutLines() const { return SplitAtLineFeeds(out); }
std::vector<std::string> ProcessResult::ErrLines() const { return SplitAtLineFeeds(err); }

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workingDir) {
    ProcessOptions options;
    options.workingDir = workingDir;
    return RunProcess(program, args, options);
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
    // The streams go to files, so a child that writes much never blocks on a pipe.
    TempDir streams;
    const std::string outPath = options.stdoutPath.empty() ? streams / "stdout" : options.stdoutPath;
    const std::string errPath = streams / "stderr";
    const int in = OpenForChild(options.stdinPath.empty() ? "/dev/null" : options.stdinPath, O_RDONLY);
    const int out = OpenForChild(outPath, O_WRONLY | O_CREAT | O_TRUNC);
    const int err = OpenForChild(errPath, O_WRONLY | O_CREAT | O_TRUNC);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (!options.workingDir.empty() && chdir(options.workingDir.c_str()) != 0) _exit(126);
        if (options.addressSpaceLimitMb > 0) {
            const rlim_t bytes = static_cast<rlim_t>(options.addressSpaceLimitMb) << 20;
            const struct rlimit limit = {bytes, bytes};
            setrlimit(RLIMIT_AS, &limit);
        }
        if (options.openFilesLimit > 0) {
            const struct rlimit limit = {static_cast<rlim_t>(options.openFilesLimit),
                                         static_cast<rlim_t>(options.openFilesLimit)};
            setrlimit(RLIMIT_NOFILE, &limit);
        }
        if (options.closeStandardError) ::close(STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    ::close(in);
    ::close(out);
    ::close(err);

    if (options.interruptWhenFileGrows) {
        // Looks without reaping, so that wait4 below still gets the child's usage.
        const auto exited = [child] {
            siginfo_t info {};
            return waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
        };
        while (SizeOf(options.watchPath) == 0 && !exited()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        kill(child, SIGINT);
    }

    ProcessResult result;
    int status = 0;
    struct rusage usage {};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) throw std::runtime_error("wait4 failed");
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.peakRssKb = usage.ru_maxrss;
    if (options.stdoutPath.empty()) result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

}  // namespace tavisk::test
