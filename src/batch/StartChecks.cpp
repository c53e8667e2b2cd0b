// What must hold before a batch may start.
#include <strings.h>

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "BatchRun.h"

namespace tavisk {

bool SameFolder(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0 && a.size() == b.size(); }

namespace {

// Each name that more than one source has, in the order its second holder comes.
std::vector<std::string_view> RepeatedNames(const std::vector<std::string>& elements) {
    const size_t count = elements.size();
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
    if (m_sources.Empty()) complaints += "No Source File(s)\r\n";

    // With no source, the folder they would come from.
    bool destinationIsSource = m_sources.Empty() && SameFolder(m_sources.LastFolder(), m_strDestFolder);
    for (const std::string& folder : m_sources.Folders())  // each distinct folder once
        destinationIsSource = destinationIsSource || SameFolder(folder, m_strDestFolder);
    if (destinationIsSource) complaints += "Destination Folder can't be the same as the source.\r\n";

    // Two sources of one name would write one output.
    for (std::string_view name : RepeatedNames(m_sources.Elements()))
        complaints += "Source File names must differ: " + std::string(name) + "\r\n";
    return complaints + OverwriteComplaints();
}

int BatchRun::CheckSyntax() { return m_parser.CheckWholeScript(); }

StartResult BatchRun::PrepareStart() {
    m_pWindow->SetProgressRange(0, m_sources.Count());
    m_pWindow->SetProgressPos(0);
    const std::string complaints = StartComplaints();
    if (!complaints.empty()) {
        m_pWindow->ShowErrorMessage(complaints);
        return StartResult::Refused;
    }
    return CheckSyntax() == PARSE_END ? StartResult::Ready : StartResult::SyntaxError;
}

}  // namespace tavisk
