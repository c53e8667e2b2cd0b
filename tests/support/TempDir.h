#pragma once
// Throwaway folders and whole-file helpers for tests that use real files.
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

}  // namespace tavisk::test
