// Runs one command and reports what it cost, for the benchmark script.
//
//   tavisk-benchrun [--in FILE] [--out FILE] -- COMMAND [ARG...]
//
// Standard input comes from FILE (else /dev/null) and standard output goes to
// FILE, created or truncated before the clock starts (else /dev/null).
// Prints one line: "WALL USER SYS MAXRSS STATUS": seconds with microseconds
// (wall from the fork to the end of the wait), the peak resident set size in
// KiB (wait4's ru_maxrss, the figure /usr/bin/time prints as %M) and the exit
// status (128 + N for a signal N).  Its own exit status is 0 unless the
// command could not be started.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

int OpenOrDie(const char* path, int flags) {
    const int fd = open(path, flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        std::fprintf(stderr, "tavisk-benchrun: %s: %s\n", path, std::strerror(errno));
        _exit(125);
    }
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    const char* in = "/dev/null";
    const char* out = "/dev/null";
    int i = 1;
    for (; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        }
        if (i + 1 < argc && std::strcmp(argv[i], "--in") == 0) in = argv[++i];
        else if (i + 1 < argc && std::strcmp(argv[i], "--out") == 0) out = argv[++i];
        else break;
    }
    if (i >= argc) {
        std::fprintf(stderr, "usage: tavisk-benchrun [--in FILE] [--out FILE] -- COMMAND [ARG...]\n");
        return 64;
    }
    const int inFd = OpenOrDie(in, O_RDONLY);
    const int outFd = OpenOrDie(out, O_WRONLY | O_CREAT | O_TRUNC);
    const double start = Now();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("tavisk-benchrun: fork");
        return 125;
    }
    if (pid == 0) {
        dup2(inFd, 0);
        dup2(outFd, 1);
        execvp(argv[i], argv + i);
        std::fprintf(stderr, "tavisk-benchrun: %s: %s\n", argv[i], std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("tavisk-benchrun: wait4");
            return 125;
        }
    }
    const double wall = Now() - start;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("%.6f %.6f %.6f %ld %d\n", wall, Seconds(usage.ru_utime), Seconds(usage.ru_stime), usage.ru_maxrss, code);
    return code == 127 ? 127 : 0;
}
