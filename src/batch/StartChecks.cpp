// What must hold before a batch may start.
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "BatchRun.h"

namespace tavisk {

bool SameFolder(const std::string& a, const std::string& b) {
    if (a == b) return true;
    if (a.size() != b.size() || strcasecmp(a.c_str(), b.c_str()) != 0) return false;
    // Names that differ in letter case only are one folder where the file
    // system ignores case, two where it does not: it alone can tell.
    struct stat infoA {}, infoB {};
    return stat(a.c_str(), &infoA) == 0 && stat(b.c_str(), &infoB) == 0 && IdentityOf(infoA) == IdentityOf(infoB);
}

const std::string& BatchRun::SourceFolder(int i) const {
    const auto index = static_cast<size_t>(i);
    return index < m_arrSourceFolderIndex.size() ? m_arrFolders[m_arrSourceFolderIndex[index]] : m_strSourceFolder;
}

namespace {

// Each name that more than one source has, in the order its second holder comes.
std::vector<std::string_view> RepeatedNames(const std::vector<std::string>& elements, size_t count) {
    // Sorting indices rather than copying names keeps a long list cheap.
    std::vector<uint32_t> order(count);
    for (size_t i = 0; i < count; ++i) order[i] = static_cast<uint32_t>(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return elements[a] < elements[b]; });
    std::vector<std::pair<uint32_t, std::string_view>> repeated;  // second holder, name
    for (size_t k = 1; k < count; ++k) {
        const std::string& name = elements[order[k]];
        if (name == elements[order[k - 1]] && (k < 2 || name != elements[order[k - 2]]))
            repeated.emplace_back(order[k], std::string_view(name).substr(1));
    }
    std::sort(repeated.begin(), repeated.end());
    std::vector<std::string_view> names;
    for (const auto& entry : repeated) names.push_back(entry.second);
    return names;
}

}  // namespace

std::string BatchRun::StartComplaints() {
    std::string complaints;
    if (m_arrScriptLines.empty()) complaints += "Empty or No Control File\r\n";
    if (m_nSourceCount == 0) complaints += "No Source File(s)\r\n";

    const size_t count = std::min(static_cast<size_t>(std::max(m_nSourceCount, 0)), m_arrSourceFiles.size());
    bool destinationIsSource = SameFolder(m_strSourceFolder, m_strDestFolder) &&
                               (m_nSourceCount == 0 || m_arrSourceFolderIndex.size() < count);
    for (const std::string& folder : m_arrFolders)  // each distinct folder once
        destinationIsSource = destinationIsSource || SameFolder(folder, m_strDestFolder);
    if (destinationIsSource) complaints += "Destination Folder can't be the same as the source.\r\n";

    // Two sources of one name would write one output.
    for (std::string_view name : RepeatedNames(m_arrSourceFiles, count))
        complaints += "Source File names must differ: " + std::string(name) + "\r\n";
    return complaints + OverwriteComplaints();
}

int BatchRun::CheckSyntax() { return m_parser.CheckWholeScript(); }

StartResult BatchRun::PrepareStart() {
    m_pWindow->SetProgressRange(0, m_nSourceCount);
    m_pWindow->SetProgressPos(0);
    const std::string complaints = StartComplaints();
    if (!complaints.empty()) {
        m_pWindow->ShowErrorMessage(complaints);
        return StartResult::Refused;
    }
    return CheckSyntax() == PARSE_END ? StartResult::Ready : StartResult::SyntaxError;
}

}  // namespace tavisk
