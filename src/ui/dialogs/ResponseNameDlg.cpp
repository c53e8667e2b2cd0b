#include "ResponseNameDlg.h"

#include <QLineEdit>

#include "ControlIds.h"
#include "help/Help.h"

namespace tavisk::ui {

namespace {

constexpr ControlTemplate kControls[] = {
    {-1, ControlKind::Static,
     "Enter only a File Name for the Response File in the Destination Folder, or a Fully Qualified Path and File Name "
     "for elsewhere.",
     0, 4, 224, 24, CS_CENTER | CS_WORDWRAP},
    {IDC_RESPONSE_NAME, ControlKind::LineEdit, "", 4, 32, 272, 12},
    {IDOK, ControlKind::PushButton, "OK", 228, 52, 48, 16, CS_DEFAULT},
    {IDCANCEL, ControlKind::PushButton, "Cancel", 228, 72, 48, 16},
};

constexpr DialogTemplate kTemplate = {"Response File", 284, 95, "MS Sans Serif", 8, false, true, kControls};

}  // namespace

CResponseNameDlg::CResponseNameDlg(QWidget* parent) : CTemplateDialog(kTemplate, parent) {
    SetHelpTopic(kHelpTopicResponseName);
    OnClicked(IDOK, [this] { accept(); });
    OnClicked(IDCANCEL, [this] { reject(); });
}

void CResponseNameDlg::OnInitDialog() { DlgItem<QLineEdit>(*this, IDC_RESPONSE_NAME)->setText(m_strResponseName); }

void CResponseNameDlg::accept() {
    m_strResponseName = DlgItem<QLineEdit>(*this, IDC_RESPONSE_NAME)->text();
    if (!m_strResponseName.isEmpty()) CTemplateDialog::accept();
}

}  // namespace tavisk::ui
