#include "HelpWindow.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "HelpTopics.h"

namespace tavisk::ui {

namespace {

constexpr const char* kWindowTitle = "Tavisk Help";

// "qrc:/help/page.html" for "page.html": relative links in the pages resolve
// against it, so the pages link to each other by file name.
QUrl PageUrl(const QString& strPage) {
    return QUrl(QStringLiteral("qrc") + QString::fromLatin1(kHelpRoot) + strPage);
}

bool PageExists(const QString& strPage) {
    return QFile::exists(QString::fromLatin1(kHelpRoot) + strPage);
}

}  // namespace

HelpWindow::HelpWindow() {
    setWindowTitle(QString::fromLatin1(kWindowTitle));
    // The help window must not keep the program alive once the main dialog is gone.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(780, 620);

    auto* pContents = new QPushButton(tr("&Contents"), this);
    m_pBack = new QPushButton(tr("&Back"), this);
    m_pForward = new QPushButton(tr("&Forward"), this);
    m_pBrowser = new QTextBrowser(this);
    m_pBrowser->setOpenExternalLinks(true);

    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(pContents);
    pButtons->addWidget(m_pBack);
    pButtons->addWidget(m_pForward);
    pButtons->addStretch(1);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pButtons);
    pLayout->addWidget(m_pBrowser, 1);

    m_pBack->setEnabled(false);
    m_pForward->setEnabled(false);
    connect(pContents, &QPushButton::clicked, this,
            [this] { ShowPage(QString::fromLatin1(kHelpDefaultPage)); });
    connect(m_pBack, &QPushButton::clicked, m_pBrowser, &QTextBrowser::backward);
    connect(m_pForward, &QPushButton::clicked, m_pBrowser, &QTextBrowser::forward);
    connect(m_pBrowser, &QTextBrowser::backwardAvailable, m_pBack, &QPushButton::setEnabled);
    connect(m_pBrowser, &QTextBrowser::forwardAvailable, m_pForward, &QPushButton::setEnabled);
    connect(m_pBrowser, &QTextBrowser::sourceChanged, this, [this] { UpdateTitle(); });
}

void HelpWindow::ShowPage(const QString& strPage) {
    // A page missing from the help file falls back to the contents page
    // rather than an empty window.
    const QString strShown = PageExists(strPage) ? strPage : QString::fromLatin1(kHelpDefaultPage);
    m_pBrowser->setSource(PageUrl(strShown));
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

QUrl HelpWindow::CurrentPage() const { return m_pBrowser->source(); }

void HelpWindow::UpdateTitle() {
    const QString strPageTitle = m_pBrowser->documentTitle();
    const QString strTitle = QString::fromLatin1(kWindowTitle);
    setWindowTitle(strPageTitle.isEmpty() ? strTitle : strTitle + QStringLiteral(" - ") + strPageTitle);
}

}  // namespace tavisk::ui
