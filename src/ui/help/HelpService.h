#pragma once
// The way of a help request: find the help file once, then show a page.
// The viewer is behind an interface so that the rule "load at the first
// request, never retry after a failure, fail silently" is tested without Qt.
#include <string>
#include <vector>

namespace tavisk::ui {

class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    // Makes the pages of the first usable file among `arrCandidates` available
    // and prepares the window.  False when there is no usable file or window.
    virtual bool LoadHelpFile(const std::vector<std::string>& arrCandidates) = 0;
    // Shows `strPage` (a path inside the help file) in the help window.
    virtual void ShowPage(const std::string& strPage) = 0;
};

class HelpService {
public:
    enum class LoadState { NotTried, Loaded, Failed };

    HelpService(HelpViewer& viewer, std::string strProgramPath);

    // Shows the page of `nTopic`; does nothing when help cannot be had.
    void ShowTopic(int nTopic);
    // Shows the contents page; does nothing when help cannot be had.
    void ShowContents();

    LoadState State() const { return m_state; }

private:
    bool EnsureLoaded();
    void ShowIfLoaded(const std::string& strPage);

    HelpViewer& m_viewer;
    std::string m_strProgramPath;
    LoadState m_state = LoadState::NotTried;
};

}  // namespace tavisk::ui
