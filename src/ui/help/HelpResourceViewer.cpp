#include "HelpResourceViewer.h"

#include <QApplication>
#include <QFile>
#include <QResource>

#include "HelpTopics.h"
#include "HelpWindow.h"

namespace tavisk::ui {

namespace {

bool HasDefaultPage() {
    return QFile::exists(QString::fromLatin1(kHelpRoot) + QString::fromLatin1(kHelpDefaultPage));
}

}  // namespace

HelpResourceViewer::HelpResourceViewer() = default;
HelpResourceViewer::~HelpResourceViewer() = default;

bool HelpResourceViewer::LoadHelpFile(const std::vector<std::string>& arrCandidates) {
    // Without a widget application there is no window to show help in.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    if (!RegisterFirstUsable(arrCandidates))
        return false;
    m_pWindow = std::make_unique<HelpWindow>();
    return true;
}

bool HelpResourceViewer::RegisterFirstUsable(const std::vector<std::string>& arrCandidates) {
    for (const std::string& strCandidate : arrCandidates) {
        const QString strFile = QFile::decodeName(QByteArray::fromStdString(strCandidate));
        if (!QFile::exists(strFile) || !QResource::registerResource(strFile))
            continue;
        // A file that registers but carries no help pages is not our help file.
        if (HasDefaultPage()) {
            m_strLoadedFile = strFile;
            return true;
        }
        QResource::unregisterResource(strFile);
    }
    return false;
}

HelpWindow* HelpResourceViewer::Window() const { return m_pWindow.get(); }

void HelpResourceViewer::ShowPage(const std::string& strPage) {
    if (m_pWindow)
        m_pWindow->ShowPage(QString::fromStdString(strPage));
}

}  // namespace tavisk::ui
