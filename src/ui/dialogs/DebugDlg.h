#pragma once
// The Debug Window: the edited text of a debug run, line by line.  Modeless
// and hidden at start; it opens beside its owner, never over it, and its
// close box hides it as the Debug button does.
#include "DialogLayout.h"
#include "TemplateDialog.h"

class QPlainTextEdit;

namespace tavisk::ui {

class CDebugDlg : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CDebugDlg(QWidget* parent);

    void ClearText();
    // Adds `text` at the end, whatever the caret or selection.
    void AppendText(const QString& text);
    QString Text() const;
    // Shows the window beside `owner` (within the owner's screen) when it is
    // hidden; a shown window stays where the user has put it.
    void ShowBeside(const QWidget& owner);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void accept() override {}
    void reject() override {}

private:
    // Lines that share one paragraph of the document, at most.
    static constexpr int kLinesPerBlock = 64;
    QString GroupLines(const QString& text);

    QPlainTextEdit* m_editDebug;
    int m_nLinesInBlock = 0;
    CDialogLayout m_layout;
};

}  // namespace tavisk::ui
