// Runs a fuzz target over saved inputs without libFuzzer, so that the seed
// corpus and every input that once found a fault are replayed by the tests.
// Arguments are files or folders (every regular file in a folder is read).
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

char g_currentInput[4096];

// Names the input that failed a check before the process goes down.
void NameFailingInput(int signalNumber) {
    static const char kPrefix[] = "failing input: ";
    ssize_t ignored = write(STDERR_FILENO, kPrefix, sizeof kPrefix - 1);
    ignored = write(STDERR_FILENO, g_currentInput, std::strlen(g_currentInput));
    ignored = write(STDERR_FILENO, "\n", 1);
    (void)ignored;
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        if (fs::is_directory(arg)) {
            for (const auto& entry : fs::recursive_directory_iterator(arg))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
        } else if (fs::is_regular_file(arg)) {
            inputs.push_back(arg);
        } else {
            std::fprintf(stderr, "no such input: %s\n", argv[i]);
            return 2;
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 2;
    }
    std::signal(SIGABRT, NameFailingInput);
    std::signal(SIGSEGV, NameFailingInput);
    for (const fs::path& path : inputs) {
        std::snprintf(g_currentInput, sizeof g_currentInput, "%s", path.c_str());
        std::ifstream file(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return 0;
}
