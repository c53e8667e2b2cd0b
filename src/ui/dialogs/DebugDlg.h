#pragma once
// The Debug Window: the edited text of a debug run, line by line.  Modeless,
// hidden at start, and the user cannot close it.
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

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void accept() override {}
    void reject() override {}

private:
    QPlainTextEdit* m_editDebug;
    CDialogLayout m_layout;
};

}  // namespace tavisk::ui
