// What must hold before a batch may start.
#include <strings.h>

#include <set>

#include "BatchRun.h"

namespace tavisk {

namespace {

// Whole strings, letter case ignored; nothing is normalised first.
bool SameFolder(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0 && a.size() == b.size(); }

}  // namespace

std::string BatchRun::SourceFolder(int i) const {
    const auto index = static_cast<size_t>(i);
    return index < m_arrSourceFolders.size() ? m_arrSourceFolders[index] : m_strSourceFolder;
}

std::string BatchRun::StartComplaints() {
    std::string complaints;
    if (m_arrScriptLines.empty()) complaints += "Empty or No Control File\r\n";
    if (m_nSourceCount == 0) complaints += "No Source File(s)\r\n";

    bool destinationIsSource = m_nSourceCount == 0 && SameFolder(m_strSourceFolder, m_strDestFolder);
    for (int i = 0; i < m_nSourceCount && !destinationIsSource; ++i)
        destinationIsSource = SameFolder(SourceFolder(i), m_strDestFolder);
    if (destinationIsSource) complaints += "Destination Folder can't be the same as the source.\r\n";

    // Two sources of one name would write one output.
    std::set<std::string> names;
    std::set<std::string> reported;
    for (int i = 0; i < m_nSourceCount && i < static_cast<int>(m_arrSourceFiles.size()); ++i) {
        const std::string name = m_arrSourceFiles[static_cast<size_t>(i)].substr(1);
        if (!names.insert(name).second && reported.insert(name).second)
            complaints += "Source File names must differ: " + name + "\r\n";
    }
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
