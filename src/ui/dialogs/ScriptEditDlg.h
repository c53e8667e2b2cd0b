#pragma once
// "Script View / Edit": the script as plain text.  OK after a change puts the
// edited lines back into the caller's script lines and reports the change.
#include <memory>
#include <string>
#include <vector>

#include "DialogLayout.h"
#include "text/ScriptEditText.h"
#include "TemplateDialog.h"

class QPlainTextEdit;

namespace tavisk::ui {

class CScriptEditDlg : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CScriptEditDlg(QWidget* parent = nullptr);

    bool m_bModified = false;
    std::vector<std::string>* m_pScriptLines = nullptr;

protected:
    void OnInitDialog() override;
    void accept() override;  // OK
    void resizeEvent(QResizeEvent* event) override;

private:
    std::vector<std::string> EditorLines() const;

    QPlainTextEdit* m_editScript;
    CDialogLayout m_layout;
    std::unique_ptr<ScriptEditText> m_pText;
};

}  // namespace tavisk::ui
