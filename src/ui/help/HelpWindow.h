#pragma once
// The help window: a top-level window with no owner that shows the pages of
// the registered help file, with Contents, Back and Forward buttons.
#include <QUrl>
#include <QWidget>

class QTextBrowser;
class QPushButton;

namespace tavisk::ui {

class HelpWindow : public QWidget {
public:
    HelpWindow();

    // Shows `strPage`, a path inside the help file, and brings the window up.
    void ShowPage(const QString& strPage);
    // The page on show, as a "qrc:" address.
    QUrl CurrentPage() const;

private:
    void UpdateTitle();

    QTextBrowser* m_pBrowser = nullptr;
    QPushButton* m_pBack = nullptr;
    QPushButton* m_pForward = nullptr;
};

}  // namespace tavisk::ui
