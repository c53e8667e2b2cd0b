// The start checks by identity: no output, nor the response file, may replace
// a source or the control file, under any spelling, through a link or a bind
// mount, and the destination may not be the folder of any source.
//
// Only names that exist can replace anything, so each output folder is read
// once and only the outputs found there are looked at closer: a batch into a
// new folder costs no call per file.  A batch run again into its folder
// costs none either where the folder's entries carry true inode numbers: a
// regular file whose number no input has is none of them.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "../engine/LocalFileSystem.h"
#include "../engine/OutputTarget.h"
#include "MountPoints.h"
#include "StartChecks.h"

namespace tavisk {

namespace {

FileIdentity IdentityAt(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? IdentityOf(info) : FileIdentity{};
}

// The file a name holds, and the one a link at that name leads to.
std::pair<FileIdentity, FileIdentity> IdentitiesAtName(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return {};
    return {IdentityOf(info), S_ISLNK(info.st_mode) ? IdentityAt(path) : FileIdentity{}};
}

// The names each output folder holds, each folder read once and kept as
// long as the check runs: memory grows with what the folders hold, not with
// the number of outputs.
class ExistingNames {
public:
    enum class Seen { Absent, RegularFile, Unsure };
    // What the folder of `path` holds at its name: Absent when it was read
    // and has no such name; RegularFile, with its inode number, where the
    // folder's entries can be trusted for both; else Unsure, to be looked at
    // alone (a folder that cannot be read, a link, a file system whose
    // entries may carry other numbers than its files, such as overlayfs, or
    // a folder that holds a mount point).
    Seen Look(const std::string& path, ino_t& inode) {
        const size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        auto [entry, added] = m_folders.try_emplace(folder);
        if (added) entry->second = ReadFolder(folder);
        const Folder* read = entry->second.get();
        if (!read) {
            m_bLeftoversMayExist = true;
            return Seen::Unsure;
        }
        const auto found = read->names.find(path.substr(slash + 1));
        if (found == read->names.end()) return Seen::Absent;
        if (!read->trustedEntries || found->second.type != DT_REG) return Seen::Unsure;
        inode = found->second.inode;
        return Seen::RegularFile;
    }

    bool LeftoversMayExist() const { return m_bLeftoversMayExist; }

private:
    struct Entry {
        ino_t inode;
        unsigned char type;
    };
    struct Folder {
        std::unordered_map<std::string, Entry> names;
        bool trustedEntries = false;
    };
    std::unique_ptr<Folder> ReadFolder(const std::string& folder) {
        DIR* dir = opendir(folder.c_str());
        if (!dir) return nullptr;
        auto read = std::make_unique<Folder>();
        read->trustedEntries = IsLocalFileSystem(dirfd(dir)) && !m_mounts.AnyIn(folder);
        while (const dirent* entry = readdir(dir)) {
            read->names.emplace(entry->d_name, Entry{entry->d_ino, entry->d_type});
            if (IsTempFileName(entry->d_name)) m_bLeftoversMayExist = true;
        }
        closedir(dir);
        return read;
    }
    std::unordered_map<std::string, std::unique_ptr<Folder>> m_folders;
    bool m_bLeftoversMayExist = false;
    MountPoints m_mounts;
};

}  // namespace

void BatchInputs::Collect() {
    if (m_bKnown) return;
    m_arrInputs.clear();
    for (int i = 0; i < m_sources.Count(); ++i) {
        if (m_sources.IsStandardInput(i)) continue;
        const FileIdentity known = m_sources.KnownIdentity(i);
        const FileIdentity source = known.valid ? known : IdentityAt(m_sources.Path(i));
        if (source.valid) m_arrInputs.push_back(source);
    }
    const FileIdentity control = m_strControlFile.empty() ? FileIdentity{} : IdentityAt(m_strControlFile);
    if (control.valid) m_arrInputs.push_back(control);
    for (const std::string& list : m_listFiles) {
        const FileIdentity identity = IdentityAt(list);
        if (identity.valid) m_arrInputs.push_back(identity);
    }
    std::sort(m_arrInputs.begin(), m_arrInputs.end());
    m_arrInodes.clear();
    for (const FileIdentity& input : m_arrInputs) m_arrInodes.push_back(input.inode);
    std::sort(m_arrInodes.begin(), m_arrInodes.end());
    m_bKnown = true;
}

bool BatchInputs::MayHaveInode(ino_t inode) {
    Collect();
    return std::binary_search(m_arrInodes.begin(), m_arrInodes.end(), inode);
}

bool BatchInputs::Holds(const std::string& path) {
    const auto [name, target] = IdentitiesAtName(path);
    if (!name.valid) return false;
    Collect();
    const auto found = [this](const FileIdentity& identity) {
        return identity.valid && std::binary_search(m_arrInputs.begin(), m_arrInputs.end(), identity);
    };
    return found(name) || found(target);
}

std::string OverwriteComplaints(const StartSubject& subject, BatchInputs& inputs, StartFacts& facts) {
    inputs.Forget();
    facts.outputPresent.clear();
    const BatchSources& sources = subject.sources;
    const std::string& destFolder = subject.destFolder;
    if (destFolder.empty()) return std::string(kNoDestination) + "\r\n";
    const auto outputPath = [&](int i) { return destFolder + sources.Element(i); };

    std::string complaints;
    std::set<std::string> named;
    const auto complain = [&](const std::string& path) {
        if (named.insert(path).second) complaints += kWouldOverwriteInput + path + "\r\n";
    };
    const int count = sources.Count();
    // A destination that is a source's folder by another spelling: one
    // complaint per such folder, naming the output that would replace its first source.
    const FileIdentity dest = IdentityAt(destFolder);
    std::map<std::string, bool> folderIsDest;
    for (int i = 0; i < count; ++i) {
        const std::string folder = sources.Folder(i);
        const auto [entry, isNew] = folderIsDest.try_emplace(folder, false);
        if (!isNew) continue;
        // The same folder string has its own complaint already.
        const bool sameString = SameFolder(folder, destFolder);
        entry->second = sameString || IdentityAt(folder) == dest;
        if (entry->second && !sameString) complain(outputPath(i));
    }
    ExistingNames existing;
    facts.outputPresent.assign(static_cast<size_t>(std::max(count, 0)), false);
    for (int i = 0; i < count; ++i) {
        const std::string output = outputPath(i);
        ino_t inode = 0;
        const ExistingNames::Seen seen = existing.Look(output, inode);
        facts.outputPresent[static_cast<size_t>(i)] = seen != ExistingNames::Seen::Absent;
        if (seen == ExistingNames::Seen::Absent || folderIsDest[sources.Folder(i)]) continue;
        if (seen == ExistingNames::Seen::RegularFile && !inputs.MayHaveInode(inode)) continue;
        if (inputs.Holds(output)) complain(output);
    }
    facts.leftoversMayExist = existing.LeftoversMayExist();
    if (subject.savesResponse && inputs.Holds(subject.responsePath)) complain(subject.responsePath);
    if (subject.savesResponse && ResponseIsAnOutput(subject))
        complaints += kResponseWouldReplaceOutput + subject.responsePath + "\r\n";
    return complaints;
}

bool ResponseIsAnOutput(const StartSubject& subject) {
    const std::string& response = subject.responsePath;
    const size_t slash = response.rfind('/');
    const std::string_view name = std::string_view(response).substr(slash + 1);
    const std::string folder = slash == std::string::npos ? "." : response.substr(0, slash);
    FileIdentity folderIdentity;
    bool looked = false;
    for (const std::string& element : subject.sources.Elements()) {
        const size_t last = element.rfind('/');
        if (std::string_view(element).substr(last + 1) != name) continue;
        // One name in one folder, by any spelling of the folder.
        const std::string outputFolder = subject.destFolder + element.substr(0, last);
        if (outputFolder == folder) return true;
        if (!looked) {
            folderIdentity = IdentityAt(folder);
            looked = true;
        }
        if (folderIdentity.valid && IdentityAt(outputFolder) == folderIdentity) return true;
    }
    return false;
}

}  // namespace tavisk
