#pragma once
// Gathers the sources of a run: arguments, file lists (-T) and folder trees (-R).
#include <string>
#include <string_view>
#include <vector>

#include "PathGlob.h"
#include "engine/FileIdentity.h"
#include "batch/BatchRun.h"

namespace tavisk::cli {

struct GatherOptions {
    bool recursive = false;
    bool nullSeparated = false;
    std::vector<std::string> includes;
    std::vector<std::string> excludes;
    std::string destFolder;  // with -R, a folder that is the destination is left out
};

class SourceGatherer {
public:
    SourceGatherer(const GatherOptions& options, BatchRun& batch);

    // A source named on the command line: a file, or with -R a folder.
    void AddArgument(const std::string& source);
    // Every name in the list file `path` ("-": standard input), in order.
    void AddNamesFrom(const std::string& path);

    // Folders and lists that could not be read; each was reported on standard error.
    int ProblemCount() const { return m_nProblems; }
    // Symbolic links and special files in the trees, left out of the sources.
    int LeftOutCount() const { return m_nLeftOut; }

private:
    void AddName(std::string_view name);
    void AddTree(std::string root);
    void Walk(const std::string& root, const std::string& relative, std::vector<std::string>& found);
    bool Included(std::string_view relative) const;
    bool Excluded(std::string_view relative, bool isFolder) const;
    void Report(const std::string& path, int errorNumber);
    void Report(const std::string& path, const std::string& cause);
    // Says why a name of a list that ends in CR is not found, once per list.
    void NoteCarriageReturn(const std::string& list, std::string_view name);

    const GatherOptions& m_options;
    BatchRun& m_batch;
    std::vector<PathGlob> m_includes;
    std::vector<PathGlob> m_excludes;
    int m_nProblems = 0;
    int m_nLeftOut = 0;
    bool m_bCarriageReturnNoted = false;
    FileIdentity m_destIdentity;  // with -R, the destination: its outputs are not sources
};

}  // namespace tavisk::cli
