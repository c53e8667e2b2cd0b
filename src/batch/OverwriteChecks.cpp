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

#include "BatchRun.h"

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

void BatchRun::CollectInputs() {
    if (m_bInputsKnown) return;
    m_arrInputs.clear();
    for (int i = 0; i < m_nSourceCount && i < static_cast<int>(m_arrSourceFiles.size()); ++i) {
        const FileIdentity source = i == m_nStandardInputSource ? FileIdentity{} : IdentityAt(SourcePath(i));
        if (source.valid) m_arrInputs.push_back(source);
    }
    const FileIdentity control = m_strControlFile.empty() ? FileIdentity{} : IdentityAt(m_strControlFile);
    if (control.valid) m_arrInputs.push_back(control);
    for (const std::string& list : m_arrListFiles) {
        const FileIdentity identity = IdentityAt(list);
        if (identity.valid) m_arrInputs.push_back(identity);
    }
    std::sort(m_arrInputs.begin(), m_arrInputs.end());
    m_bInputsKnown = true;
}

bool BatchRun::IsInput(const std::string& path) {
    const auto [name, target] = IdentitiesAtName(path);
    if (!name.valid) return false;
    CollectInputs();
    const auto found = [this](const FileIdentity& identity) {
        return identity.valid && std::binary_search(m_arrInputs.begin(), m_arrInputs.end(), identity);
    };
    return found(name) || found(target);
}

std::string BatchRun::OverwriteComplaints() {
    m_bInputsKnown = false;
    m_arrOutputPresent.clear();
    if (m_strDestFolder.empty()) return std::string(kNoDestination) + "\r\n";

    std::string complaints;
    std::set<std::string> named;
    const auto complain = [&](const std::string& path) {
        if (named.insert(path).second) complaints += kWouldOverwriteInput + path + "\r\n";
    };
    const int count = std::min(m_nSourceCount, static_cast<int>(m_arrSourceFiles.size()));
    // A destination that is a source's folder by another spelling: one
    // complaint per such folder, naming the output that would replace its first source.
    const FileIdentity dest = IdentityAt(m_strDestFolder);
    std::map<std::string, bool> folderIsDest;
    for (int i = 0; i < count; ++i) {
        const std::string folder = SourceFolder(i);
        const auto [entry, isNew] = folderIsDest.try_emplace(folder, false);
        if (!isNew) continue;
        // The same folder string has its own complaint already.
        const bool sameString = SameFolder(folder, m_strDestFolder);
        entry->second = sameString || IdentityAt(folder) == dest;
        if (entry->second && !sameString) complain(OutputPath(i));
    }
    ExistingNames existing;
    m_arrOutputPresent.assign(static_cast<size_t>(std::max(count, 0)), false);
    for (int i = 0; i < count; ++i) {
        const std::string output = OutputPath(i);
        m_arrOutputPresent[static_cast<size_t>(i)] = existing.MayExist(output);
        if (!m_arrOutputPresent[static_cast<size_t>(i)] || folderIsDest[SourceFolder(i)]) continue;
        if (IsInput(output)) complain(output);
    }
    if (m_pWindow->IsSaveResponseChecked() && IsInput(ResponsePath())) complain(ResponsePath());
    if (m_pWindow->IsSaveResponseChecked() && ResponseIsAnOutput(count))
        complaints += kResponseWouldReplaceOutput + ResponsePath() + "\r\n";
    return complaints;
}

bool BatchRun::ResponseIsAnOutput(int count) const {
    const std::string response = ResponsePath();
    const size_t slash = response.rfind('/');
    const std::string_view name = std::string_view(response).substr(slash + 1);
    const std::string folder = slash == std::string::npos ? "." : response.substr(0, slash);
    FileIdentity folderIdentity;
    bool looked = false;
    for (int i = 0; i < count; ++i) {
        const std::string& element = m_arrSourceFiles[static_cast<size_t>(i)];
        const size_t last = element.rfind('/');
        if (std::string_view(element).substr(last + 1) != name) continue;
        // One name in one folder, by any spelling of the folder.
        const std::string outputFolder = m_strDestFolder + element.substr(0, last);
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
