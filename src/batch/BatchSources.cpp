#include "BatchSources.h"

namespace tavisk {

void BatchSources::Clear() {
    m_arrElements.clear();
    m_arrFolderIndex.clear();
    m_arrFolders.clear();
    m_folderIndex.clear();
    m_nLastFolder = 0;
    m_nStandardInput = -1;
    m_arrInTree.clear();
    m_arrKnownIdentities.clear();
}

void BatchSources::Add(const std::string& folder, std::string element) {
    if (m_arrFolders.empty() || m_arrFolders[m_nLastFolder] != folder) {
        const auto [known, added] = m_folderIndex.try_emplace(folder, static_cast<uint32_t>(m_arrFolders.size()));
        if (added) m_arrFolders.push_back(folder);
        m_nLastFolder = known->second;
    }
    m_arrFolderIndex.push_back(m_nLastFolder);
    m_arrElements.push_back(std::move(element));
    m_strLastFolder = folder;
}

void BatchSources::AddInTree(const std::string& folder, std::string element) {
    Add(folder, std::move(element));
    m_arrInTree.resize(m_arrElements.size(), false);
    m_arrInTree.back() = true;
}

void BatchSources::AddPath(std::string_view path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        Add(".", "/" + std::string(path));
    else
        Add(std::string(path.substr(0, slash)), std::string(path.substr(slash)));
}

void BatchSources::AddPath(std::string_view path, const FileIdentity& identity) {
    AddPath(path);
    if (!identity.valid) return;
    m_arrKnownIdentities.resize(m_arrElements.size());
    m_arrKnownIdentities.back() = identity;
}

void BatchSources::AddStandardInput() {
    m_nStandardInput = Count();
    Add("", "/-");
}

void BatchSources::SetPaths(const std::vector<std::string>& paths) {
    Clear();
    m_arrElements.reserve(paths.size());
    m_arrFolderIndex.reserve(paths.size());
    for (const std::string& path : paths) AddPath(path);
    if (paths.empty()) m_strLastFolder.clear();
}

}  // namespace tavisk
