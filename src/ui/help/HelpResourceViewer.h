#pragma once
// The help viewer of the desktop program: registers the compiled help file
// (an rcc binary resource) and shows its pages in the help window.
#include <QString>
#include <memory>

#include "HelpService.h"

namespace tavisk::ui {

class HelpWindow;

class HelpResourceViewer : public HelpViewer {
public:
    HelpResourceViewer();
    ~HelpResourceViewer() override;
    HelpResourceViewer(const HelpResourceViewer&) = delete;
    HelpResourceViewer& operator=(const HelpResourceViewer&) = delete;

    bool LoadHelpFile(const std::vector<std::string>& arrCandidates) override;
    void ShowPage(const std::string& strPage) override;

    // The help file that was registered; empty before or without one.
    QString LoadedFile() const { return m_strLoadedFile; }
    // The help window; null before the help file was loaded.
    HelpWindow* Window() const;

private:
    bool RegisterFirstUsable(const std::vector<std::string>& arrCandidates);

    QString m_strLoadedFile;
    // The viewer is the window's only owner; it must go before the application does.
    std::unique_ptr<HelpWindow> m_pWindow;
};

}  // namespace tavisk::ui
