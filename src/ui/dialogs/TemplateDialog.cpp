#include "TemplateDialog.h"

#include <QShortcut>

#include "ControlIds.h"
#include "help/Help.h"

namespace tavisk::ui {

CTemplateDialog::CTemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), m_units(BuildDialog(*this, dialogTemplate)) {
    // Modal to its owner only: the help window has no owner and must stay
    // usable while a dialog is open.
    setWindowModality(Qt::WindowModal);
    // F1 in this dialog, whichever of its controls has the focus.
    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, this, &CTemplateDialog::OnHelpKey);
}

void CTemplateDialog::OnHelpKey() {
    // F1 does what the dialog's help button does, where it has one.
    auto* helpButton = DlgItem<QAbstractButton>(*this, ID_HELP);
    if (helpButton && helpButton->isEnabled())
        helpButton->click();
    else
        ShowHelp();
}

void CTemplateDialog::ShowHelp() {
    emit HelpRequested(m_nHelpTopic);
    if (m_nHelpTopic != 0)
        ShowHelpTopic(m_nHelpTopic);
    else
        ShowHelpContents();
}

void CTemplateDialog::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

}  // namespace tavisk::ui
