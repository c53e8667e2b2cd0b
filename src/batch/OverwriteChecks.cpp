// The start checks by identity: no output, nor the response file, may replace
// a source or the control file, under any spelling, through a link or a bind
// mount, and the destination may not be the folder of any source.
//
// Only names that exist can replace anything, so each output folder is read
// once and only the outputs found there are looked at closer: a batch into a
// new folder costs no call per file.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>

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
    // False when the folder of `path` was read and holds no such name; an
    // output whose folder cannot be read counts as present, to be looked at alone.
    bool MayExist(const std::string& path) {
        const size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        auto [entry, added] = m_folders.try_emplace(folder);
        if (added) entry->second = ReadFolder(folder);
        return !entry->second || entry->second->count(path.substr(slash + 1)) != 0;
    }

private:
    using Names = std::unordered_set<std::string>;
    static std::unique_ptr<Names> ReadFolder(const std::string& folder) {
        DIR* dir = opendir(folder.c_str());
        if (!dir) return nullptr;
        auto names = std::make_unique<Names>();
        while (const dirent* entry = readdir(dir)) names->insert(entry->d_name);
        closedir(dir);
        return names;
    }
    std::unordered_map<std::string, std::unique_ptr<Names>> m_folders;
};

}  // namespace

void BatchInputs::Collect() {
    if (m_bKnown) return;
    m_arrInputs.clear();
    for (int i = 0; i < m_sources.Count(); ++i) {
        const FileIdentity source = m_sources.IsStandardInput(i) ? FileIdentity{} : IdentityAt(m_sources.Path(i));
        if (source.valid) m_arrInputs.push_back(source);
    }
    const FileIdentity control = m_strControlFile.empty() ? FileIdentity{} : IdentityAt(m_strControlFile);
    if (control.valid) m_arrInputs.push_back(control);
    for (const std::string& list : m_listFiles) {
        const FileIdentity identity = IdentityAt(list);
        if (identity.valid) m_arrInputs.push_back(identity);
    }
    std::sort(m_arrInputs.begin(), m_arrInputs.end());
    m_bKnown = true;
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
        facts.outputPresent[static_cast<size_t>(i)] = existing.MayExist(output);
        if (!facts.outputPresent[static_cast<size_t>(i)] || folderIsDest[sources.Folder(i)]) continue;
        if (inputs.Holds(output)) complain(output);
    }
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
