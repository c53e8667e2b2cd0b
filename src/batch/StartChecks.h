#pragma once
// What must hold before a batch may start, and what the checks found that
// the run needs later.
#include <string>
#include <vector>

#include "../engine/FileIdentity.h"
#include "BatchSources.h"

namespace tavisk {

inline constexpr const char* kNoDestination = "No Destination Folder";
inline constexpr const char* kWouldOverwriteInput = "Output would overwrite an input: ";
inline constexpr const char* kResponseWouldReplaceOutput = "Response file would replace an output: ";

// Whether two folder names name one folder by their letters: the same
// string, or the same string but for letter case and one folder on disk
// (a case-insensitive file system).  Nothing is normalised first (the
// identity checks see through other spellings).
bool SameFolder(const std::string& a, const std::string& b);

// The identities of what a batch reads, every source, the control file and
// the lists of sources, looked up when first asked for after Forget.
class BatchInputs {
public:
    BatchInputs(const BatchSources& sources, const std::string& controlFile, const std::vector<std::string>& listFiles)
        : m_sources(sources), m_strControlFile(controlFile), m_listFiles(listFiles) {}
    void Forget() { m_bKnown = false; }
    // Whether the name `path` holds one of them, or is a link to one.
    bool Holds(const std::string& path);
    // False when no input has the inode number `inode` (on any device): a
    // regular file with that number cannot be one of them.
    bool MayHaveInode(ino_t inode);

private:
    void Collect();

    const BatchSources& m_sources;
    const std::string& m_strControlFile;
    const std::vector<std::string>& m_listFiles;
    std::vector<FileIdentity> m_arrInputs;  // sorted
    std::vector<ino_t> m_arrInodes;         // their inode numbers, sorted
    bool m_bKnown = false;
};

// What the start checks look at.
struct StartSubject {
    bool hasScript = false;
    const BatchSources& sources;
    const std::string& destFolder;
    const std::string& responsePath;
    bool savesResponse = false;  // the response file is written, so it must not replace an input
};

struct StartFacts {
    // Each complaint ends in "\r\n"; none when the batch may start.
    std::string complaints;
    // Per source: its output name existed at the checks.
    std::vector<bool> outputPresent;
    // An output folder held a temporary file's name, or could not be read:
    // the run looks for leftovers of a killed run before it writes.
    bool leftoversMayExist = true;
};

StartFacts CheckStart(const StartSubject& subject, BatchInputs& inputs);

// The complaints about outputs, and the response file, that would replace
// what the batch reads, and about a response file that would replace an
// output; fills `facts.outputPresent`.
std::string OverwriteComplaints(const StartSubject& subject, BatchInputs& inputs, StartFacts& facts);

// Whether the response file's name is that of an output.
bool ResponseIsAnOutput(const StartSubject& subject);

}  // namespace tavisk
