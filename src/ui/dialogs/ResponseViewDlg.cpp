#include "ResponseViewDlg.h"

#include <QListWidget>

#include "ControlIds.h"
#include "help/Help.h"
#include "DisplayText.h"

namespace tavisk::ui {

namespace {

constexpr ControlTemplate kControls[] = {
    {IDC_RESPONSE_LIST, ControlKind::ListBox, "", 4, 12, 208, 104},
    {IDOK, ControlKind::PushButton, "Done", 160, 128, 50, 14, CS_DEFAULT},
};

constexpr DialogTemplate kTemplate = {"View Response File", 217, 148, "Tahoma", 8, true, true, kControls};

}  // namespace

CResponseViewDlg::CResponseViewDlg(QWidget* parent) : CTemplateDialog(kTemplate, parent) {
    SetHelpTopic(kHelpTopicResponseView);
    OnClicked(IDOK, [this] { accept(); });
}

void CResponseViewDlg::OnInitDialog() {
    auto* list = DlgItem<QListWidget>(*this, IDC_RESPONSE_LIST);
    if (m_pResponseLines)
        for (const std::string& line : *m_pResponseLines) list->addItem(DisplayText(line));
    m_layout.Init(this);
    m_layout.AddControl(IDOK, LAYOUT_MOVE_X | LAYOUT_MOVE_Y);
    m_layout.AddControl(IDC_RESPONSE_LIST, LAYOUT_SIZE_X | LAYOUT_SIZE_Y);
}

void CResponseViewDlg::resizeEvent(QResizeEvent* event) {
    CTemplateDialog::resizeEvent(event);
    m_layout.Reposition();
}

}  // namespace tavisk::ui
