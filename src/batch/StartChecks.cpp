// What must hold before a batch may start.
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "StartChecks.h"

namespace tavisk {

bool SameFolder(const std::string& a, const std::string& b) {
    if (a == b) return true;
    if (a.size() != b.size() || strcasecmp(a.c_str(), b.c_str()) != 0) return false;
    // Names that differ in letter case only are one folder where the file
    // system ignores case, two where it does not: it alone can tell.
    struct stat infoA {}, infoB {};
    return stat(a.c_str(), &infoA) == 0 && stat(b.c_str(), &infoB) == 0 && IdentityOf(infoA) == IdentityOf(infoB);
}

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

StartFacts CheckStart(const StartSubject& subject, BatchInputs& inputs) {
    const BatchSources& sources = subject.sources;
    StartFacts facts;
    std::string& complaints = facts.complaints;
    if (!subject.hasScript) complaints += "Empty or No Control File\r\n";
    if (sources.Empty()) complaints += "No Source File(s)\r\n";

    // With no source, the folder they would come from.
    bool destinationIsSource = sources.Empty() && SameFolder(sources.LastFolder(), subject.destFolder);
    for (const std::string& folder : sources.Folders())  // each distinct folder once
        destinationIsSource = destinationIsSource || SameFolder(folder, subject.destFolder);
    if (destinationIsSource) complaints += "Destination Folder can't be the same as the source.\r\n";

    // Two sources of one name would write one output.
    for (std::string_view name : RepeatedNames(sources.Elements()))
        complaints += "Source File names must differ: " + std::string(name) + "\r\n";
    complaints += OverwriteComplaints(subject, inputs, facts);
    return facts;
}

}  // namespace tavisk
