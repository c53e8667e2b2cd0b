// The start checks by identity: no output, nor the response file, may replace
// a source or the control file, under any spelling, through a link or a bind
// mount, and the destination may not be the folder of any source.
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>

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

}  // namespace

bool BatchRun::IsInput(const std::string& path) const {
    const auto [name, target] = IdentitiesAtName(path);
    const auto found = [this](const FileIdentity& identity) {
        return identity.valid && std::binary_search(m_arrInputs.begin(), m_arrInputs.end(), identity);
    };
    return found(name) || found(target);
}

std::string BatchRun::OverwriteComplaints() {
    m_arrInputs.clear();
    for (int i = 0; i < m_nSourceCount && i < static_cast<int>(m_arrSourceFiles.size()); ++i) {
        const FileIdentity source = IdentityAt(SourcePath(i));
        if (source.valid) m_arrInputs.push_back(source);
    }
    const FileIdentity control = m_strControlFile.empty() ? FileIdentity{} : IdentityAt(m_strControlFile);
    if (control.valid) m_arrInputs.push_back(control);
    std::sort(m_arrInputs.begin(), m_arrInputs.end());

    if (m_strDestFolder.empty()) return std::string(kNoDestination) + "\r\n";

    std::string complaints;
    std::set<std::string> named;
    const auto complain = [&](const std::string& path) {
        if (named.insert(path).second) complaints += kWouldOverwriteInput + path + "\r\n";
    };
    // A destination that is a source's folder by another spelling: one
    // complaint per such folder, naming the output that would replace its first source.
    const FileIdentity dest = IdentityAt(m_strDestFolder);
    std::map<std::string, bool> folderIsDest;
    for (int i = 0; i < m_nSourceCount && i < static_cast<int>(m_arrSourceFiles.size()); ++i) {
        const std::string folder = SourceFolder(i);
        const auto [entry, isNew] = folderIsDest.try_emplace(folder, false);
        if (!isNew) continue;
        // The same folder string has its own complaint already.
        const bool sameString = strcasecmp(folder.c_str(), m_strDestFolder.c_str()) == 0 && folder.size() == m_strDestFolder.size();
        entry->second = sameString || IdentityAt(folder) == dest;
        if (entry->second && !sameString) complain(OutputPath(i));
    }
    for (int i = 0; i < m_nSourceCount && i < static_cast<int>(m_arrSourceFiles.size()); ++i) {
        if (folderIsDest[SourceFolder(i)]) continue;
        if (IsInput(OutputPath(i))) complain(OutputPath(i));
    }
    if (m_pWindow->IsSaveResponseChecked() && IsInput(ResponsePath())) complain(ResponsePath());
    return complaints;
}

}  // namespace tavisk
