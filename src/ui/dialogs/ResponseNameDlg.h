#pragma once
// "Response File": edits the response file name; OK is refused while the field is empty.
#include "TemplateDialog.h"

namespace tavisk::ui {

class CResponseNameDlg : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CResponseNameDlg(QWidget* parent = nullptr);

    QString m_strResponseName;

protected:
    void OnInitDialog() override;
    void accept() override;
};

}  // namespace tavisk::ui
