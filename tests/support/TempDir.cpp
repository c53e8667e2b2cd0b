#include "TempDir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tavisk::test {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tavisk-test-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

void MakeDir(const std::string& path) {
    if (mkdir(path.c_str(), 0777) != 0) throw std::runtime_error("cannot make " + path);
}

off_t OpenOutputSize(pid_t pid, const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    const std::string prefix = fs::canonical(folder, error).string() + "/";
    off_t largest = 0;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const std::string target = fs::read_symlink(entry.path(), error).string();
        struct stat info {};
        if (target.rfind(prefix, 0) == 0 && stat(entry.path().c_str(), &info) == 0) largest = std::max(largest, info.st_size);
    }
    return largest;
}

}  // namespace tavisk::test
