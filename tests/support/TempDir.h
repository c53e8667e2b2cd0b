#pragma once
// Throwaway folders and whole-file helpers for tests that use real files.
#include <sys/types.h>

#include <string>

namespace tavisk::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    // Path of `name` inside the folder.
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);  // empty when missing
bool FileExists(const std::string& path);
void MakeDir(const std::string& path);
// The size of the largest file process `pid` holds open in `folder` (an
// output being written has no name there yet); 0 when it holds none.
off_t OpenOutputSize(pid_t pid, const std::string& folder);

}  // namespace tavisk::test
