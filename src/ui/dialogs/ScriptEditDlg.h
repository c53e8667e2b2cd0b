#pragma once
// "Script View / Edit": the script as plain text.  OK after a change puts the
// edited lines back into the caller's script lines and reports the change.
// With "Preview" on, a pane beside the text shows what the script makes of
// one of the chosen sources while the user types.
#include <QRect>
#include <QSize>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "DialogLayout.h"
#include "engine/LineEnds.h"
#include "text/ScriptEditText.h"
#include "TemplateDialog.h"

class QPlainTextEdit;

namespace tavisk::ui {

class ScriptPreview;

class CScriptEditDlg : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CScriptEditDlg(QWidget* parent = nullptr);
    ~CScriptEditDlg() override;

    bool m_bModified = false;
    std::vector<std::string>* m_pScriptLines = nullptr;
    // The preview's inputs; the two switches come back as the user left them.
    QStringList m_sourcePaths;
    LineEndStyle m_lineEnds = LineEndStyle::CrLf;
    bool m_bPreview = false;
    bool m_bPreviewDiff = false;

    // A preview run is waiting or going, or its result is not shown yet.
    bool IsPreviewBusy() const;

protected:
    void OnInitDialog() override;
    void accept() override;  // OK
    void resizeEvent(QResizeEvent* event) override;

private:
    std::vector<std::string> EditorLines() const;
    void ShowPreviewPane(bool show);
    // Places the text, the buttons and the pane while the pane is shown.
    void LayOutWithPreview();
    void KeepOnScreen();
    void RequestPreview();
    void ShowPreview(const QString& text, const QString& messages);

    QPlainTextEdit* m_editScript;
    CDialogLayout m_layout;
    std::unique_ptr<ScriptEditText> m_pText;
    ScriptPreview* m_pPreview = nullptr;
    bool m_bPaneShown = false;
    // The dialog as it was before the pane opened: its size and the left-hand controls.
    QSize m_sizeWithoutPane;
    QSize m_minimumWithoutPane;
    std::vector<std::pair<QWidget*, QRect>> m_leftGeometry;
};

}  // namespace tavisk::ui
