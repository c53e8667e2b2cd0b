// The start checks by identity: no output, nor the response file, may replace
// a source or the control file, under any spelling, through a link or a bind
// mount, and the destination may not be the folder of any source.
//
// Only names that exist can replace anything, so each output folder is read
// once and only the outputs found there are looked at closer: a batch into a
// new folder costs no call per file.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>
#include <string_view>
#include <unordered_map>

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

// Marks in `present` the outputs whose names exist in their folder.  An
// output whose folder cannot be read counts as present, to be looked at alone.
std::vector<bool> OutputsPresent(const std::vector<std::string>& outputs) {
    std::vector<bool> present(outputs.size(), false);
    std::map<std::string, std::unordered_map<std::string_view, std::vector<size_t>>> wanted;  // folder -> name -> outputs
    for (size_t i = 0; i < outputs.size(); ++i) {
        const size_t slash = outputs[i].rfind('/');
        const std::string folder = slash == std::string::npos ? "." : outputs[i].substr(0, slash);
        const std::string_view name = std::string_view(outputs[i]).substr(slash == std::string::npos ? 0 : slash + 1);
        wanted[folder][name].push_back(i);
    }
    for (auto& [folder, names] : wanted) {
        DIR* dir = opendir(folder.empty() ? "/" : folder.c_str());
        if (!dir) {
            for (auto& [name, indexes] : names)
                for (size_t i : indexes) present[i] = true;
            continue;
        }
        while (const dirent* entry = readdir(dir)) {
            const auto found = names.find(entry->d_name);
            if (found == names.end()) continue;
            for (size_t i : found->second) present[i] = true;
        }
        closedir(dir);
    }
    return present;
}

}  // namespace

void BatchRun::CollectInputs() {
    if (m_bInputsKnown) return;
    m_arrInputs.clear();
    for (int i = 0; i < m_nSourceCount && i < static_cast<int>(m_arrSourceFiles.size()); ++i) {
        const FileIdentity source = IdentityAt(SourcePath(i));
        if (source.valid) m_arrInputs.push_back(source);
    }
    const FileIdentity control = m_strControlFile.empty() ? FileIdentity{} : IdentityAt(m_strControlFile);
    if (control.valid) m_arrInputs.push_back(control);
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
        const bool sameString = strcasecmp(folder.c_str(), m_strDestFolder.c_str()) == 0 && folder.size() == m_strDestFolder.size();
        entry->second = sameString || IdentityAt(folder) == dest;
        if (entry->second && !sameString) complain(OutputPath(i));
    }
    std::vector<std::string> outputs;
    outputs.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) outputs.push_back(OutputPath(i));
    m_arrOutputPresent = OutputsPresent(outputs);
    for (int i = 0; i < count; ++i) {
        if (!m_arrOutputPresent[static_cast<size_t>(i)] || folderIsDest[SourceFolder(i)]) continue;
        if (IsInput(outputs[static_cast<size_t>(i)])) complain(outputs[static_cast<size_t>(i)]);
    }
    if (m_pWindow->IsSaveResponseChecked() && IsInput(ResponsePath())) complain(ResponsePath());
    return complaints;
}

}  // namespace tavisk
