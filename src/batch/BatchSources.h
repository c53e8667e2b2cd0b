#pragma once
// The source files of a batch: for each one its name below its folder, the
// folder held once however many sources it has, and which one (if any) is
// read from standard input.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "../engine/FileIdentity.h"

namespace tavisk {

class BatchSources {
public:
    void Clear();
    // Adds one source: `element` is "/NAME" or, for a file found under a
    // folder, "/RELATIVE/PATH", which the output keeps below the destination.
    void Add(const std::string& folder, std::string element);
    // As Add, for a file found in a tree below `folder`: it is opened with no
    // symbolic link followed below the folder.
    void AddInTree(const std::string& folder, std::string element);
    // Adds one source by its full path ("dir/name"; a bare name lies in ".").
    void AddPath(std::string_view path);
    // As AddPath, for a source whose file the caller has just looked at
    // (stat, following links): the start checks need not look again.
    void AddPath(std::string_view path, const FileIdentity& identity);
    // Adds the source read from standard input; it is named "-".
    void AddStandardInput();
    // The list becomes `paths`, each split as AddPath does.
    void SetPaths(const std::vector<std::string>& paths);

    int Count() const { return static_cast<int>(m_arrElements.size()); }
    bool Empty() const { return m_arrElements.empty(); }
    // "/NAME" or "/RELATIVE/PATH" of source `i`.
    const std::string& Element(int i) const { return m_arrElements[static_cast<size_t>(i)]; }
    // The element without its leading slash, as the response file names it.
    std::string_view Name(int i) const { return std::string_view(Element(i)).substr(1); }
    const std::string& Folder(int i) const { return m_arrFolders[m_arrFolderIndex[static_cast<size_t>(i)]]; }
    std::string Path(int i) const { return Folder(i) + Element(i); }
    bool IsStandardInput(int i) const { return i == m_nStandardInput; }
    bool IsInTree(int i) const {
        const auto index = static_cast<size_t>(i);
        return index < m_arrInTree.size() && m_arrInTree[index];
    }
    // The file source `i` was seen to be when added; invalid when unknown.
    FileIdentity KnownIdentity(int i) const {
        const auto index = static_cast<size_t>(i);
        return index < m_arrKnownIdentities.size() ? m_arrKnownIdentities[index] : FileIdentity{};
    }
    int StandardInputIndex() const { return m_nStandardInput; }
    const std::vector<std::string>& Elements() const { return m_arrElements; }
    // Each distinct folder once, in the order its first source came.
    const std::vector<std::string>& Folders() const { return m_arrFolders; }

    // The folder of the source added last, kept when the list is cleared: the
    // desktop program opens its file chooser there and remembers it, and with
    // no source it still counts as the source folder in the start checks.
    const std::string& LastFolder() const { return m_strLastFolder; }
    void SetLastFolder(std::string folder) { m_strLastFolder = std::move(folder); }

private:
    std::vector<std::string> m_arrElements;
    // Per source an index into the distinct folders, so a million names in
    // one folder hold it once.
    std::vector<uint32_t> m_arrFolderIndex;
    std::vector<std::string> m_arrFolders;
    std::unordered_map<std::string, uint32_t> m_folderIndex;  // m_arrFolders' entries
    uint32_t m_nLastFolder = 0;  // most sources come from the folder of the one before
    int m_nStandardInput = -1;
    std::vector<bool> m_arrInTree;  // per source, up to the last one found in a tree
    std::vector<FileIdentity> m_arrKnownIdentities;  // per source, up to the last one known
    std::string m_strLastFolder;
};

}  // namespace tavisk
