#include "TemplateDialog.h"

namespace tavisk::ui {

CTemplateDialog::CTemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), m_units(BuildDialog(*this, dialogTemplate)) {
    // Modal to its owner only: the help window has no owner and must stay
    // usable while a dialog is open.
    setWindowModality(Qt::WindowModal);
}

void CTemplateDialog::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

}  // namespace tavisk::ui
