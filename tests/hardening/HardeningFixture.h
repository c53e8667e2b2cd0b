#pragma once
// A source folder and a destination folder in a throwaway place, and the
// expectations every batch shares.
#include <gtest/gtest.h>

#include <sys/types.h>

#include <string>
#include <vector>

#include "CliRunner.h"
#include "TempDir.h"

namespace tavisk::test {

inline constexpr const char* kClean = " Batch Completed without Errors";
inline constexpr const char* kErrors = "**** Errors during Processing";

class BatchFolders : public ::testing::Test {
protected:
    BatchFolders() : m_src(m_dir / "src"), m_out(m_dir / "out") {
        MakeDir(m_src);
        MakeDir(m_out);
    }
    // Writes a source and returns its path.
    std::string Source(const std::string& name, const std::string& bytes) {
        WriteFile(m_src + "/" + name, bytes);
        return m_src + "/" + name;
    }
    std::string OutputPath(const std::string& name) const { return m_out + "/" + name; }
    std::string Output(const std::string& name) const { return ReadFile(OutputPath(name)); }
    bool OutputExists(const std::string& name) const { return FileExists(OutputPath(name)); }

    TempDir m_dir;
    std::string m_src;
    std::string m_out;
};

// Source bytes as every output line is written: each line ends in CR LF, and
// one CR directly before an LF goes with it.
std::string AsOutputLines(const std::string& source);

// Count of files in a folder.
size_t CountFiles(const std::string& folder);

// A file in `folder` with a hidden temporary name; empty when there is none.
std::string TempFileIn(const std::string& folder);

}  // namespace tavisk::test
