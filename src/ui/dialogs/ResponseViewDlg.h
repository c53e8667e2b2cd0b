#pragma once
// "View Response File": the response lines as they were when it opened.
#include <string>
#include <vector>

#include "DialogLayout.h"
#include "TemplateDialog.h"

namespace tavisk::ui {

class CResponseViewDlg : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CResponseViewDlg(QWidget* parent = nullptr);

    const std::vector<std::string>* m_pResponseLines = nullptr;

protected:
    void OnInitDialog() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CDialogLayout m_layout;
};

}  // namespace tavisk::ui
