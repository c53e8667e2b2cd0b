#include "HelpService.h"

#include <utility>

#include "HelpFile.h"
#include "HelpTopics.h"

namespace tavisk::ui {

HelpService::HelpService(HelpViewer& viewer, std::string strProgramPath)
    : m_viewer(viewer), m_strProgramPath(std::move(strProgramPath)) {}

void HelpService::ShowTopic(int nTopic) { ShowIfLoaded(HelpPageForTopic(nTopic)); }

void HelpService::ShowContents() { ShowIfLoaded(kHelpDefaultPage); }

void HelpService::ShowIfLoaded(const std::string& strPage) {
    if (EnsureLoaded())
        m_viewer.ShowPage(strPage);
}

// One attempt per process: a failed load stays failed, as pressing help again
// would find the same missing file.
bool HelpService::EnsureLoaded() {
    if (m_state == LoadState::NotTried) {
        const bool bLoaded = m_viewer.LoadHelpFile(HelpFileCandidates(m_strProgramPath));
        m_state = bLoaded ? LoadState::Loaded : LoadState::Failed;
    }
    return m_state == LoadState::Loaded;
}

}  // namespace tavisk::ui
