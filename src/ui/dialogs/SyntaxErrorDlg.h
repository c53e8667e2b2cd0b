#pragma once
// "Command Syntx Error": the message, the line number, the whole script line
// and the portion of it that was read.
#include "TemplateDialog.h"

namespace tavisk::ui {

class CSyntaxErrorDlg : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CSyntaxErrorDlg(QWidget* parent = nullptr);

    QString m_strCommandLine;
    QString m_strMessage;
    QString m_strProcessed;
    QString m_strLineNo;

protected:
    void OnInitDialog() override;
};

}  // namespace tavisk::ui
