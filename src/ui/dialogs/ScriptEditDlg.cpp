#include "ScriptEditDlg.h"

#include <QPlainTextEdit>
#include <QTextBlock>

#include "ControlIds.h"
#include "help/Help.h"

namespace tavisk::ui {

namespace {

constexpr ControlTemplate kControls[] = {
    {IDOK, ControlKind::PushButton, "OK", 220, 216, 48, 16, CS_DEFAULT},
    {IDCANCEL, ControlKind::PushButton, "Cancel", 220, 236, 48, 16},
    {ID_HELP, ControlKind::PushButton, "Help", 220, 256, 48, 16},
    {IDC_SCRIPT_EDIT, ControlKind::MultiLineEdit, "", 8, 4, 260, 200},
};

constexpr DialogTemplate kTemplate = {"Script View / Edit", 277, 277, "Tahoma", 8, true, false, kControls};

}  // namespace

CScriptEditDlg::CScriptEditDlg(QWidget* parent)
    : CTemplateDialog(kTemplate, parent), m_editScript(DlgItem<QPlainTextEdit>(*this, IDC_SCRIPT_EDIT)) {
    OnClicked(IDOK, [this] { accept(); });
    OnClicked(IDCANCEL, [this] { reject(); });
    OnClicked(ID_HELP, [] { ShowHelpTopic(kHelpTopicScriptEdit); });
}

void CScriptEditDlg::OnInitDialog() {
    m_editScript->setFont(TemplateFont("Tahoma", 12));

    static const std::vector<std::string> kNoLines;
    m_pText = std::make_unique<ScriptEditText>(m_pScriptLines ? *m_pScriptLines : kNoLines);
    QString text;
    for (const std::string& line : m_pText->ShownLines()) text += QString::fromStdString(line) + QLatin1Char('\n');
    m_editScript->setPlainText(text);
    // Only the user's own changes count.
    m_editScript->document()->setModified(false);

    m_layout.Init(this);
    m_layout.AddControl(IDOK, LAYOUT_MOVE_X | LAYOUT_MOVE_Y);
    m_layout.AddControl(IDCANCEL, LAYOUT_MOVE_X | LAYOUT_MOVE_Y);
    m_layout.AddControl(ID_HELP, LAYOUT_MOVE_X | LAYOUT_MOVE_Y);
    m_layout.AddControl(IDC_SCRIPT_EDIT, LAYOUT_SIZE_X | LAYOUT_SIZE_Y);
}

std::vector<std::string> CScriptEditDlg::EditorLines() const {
    // Paragraph by paragraph: the document's plain text would turn
    // non-breaking spaces into spaces.
    std::vector<std::string> lines;
    for (QTextBlock block = m_editScript->document()->begin(); block.isValid(); block = block.next())
        lines.push_back(block.text().toStdString());
    return lines;
}

void CScriptEditDlg::accept() {
    if (m_editScript->document()->isModified() && m_pScriptLines && m_pText) {
        m_bModified = true;
        *m_pScriptLines = m_pText->TakeBack(EditorLines());
    }
    CTemplateDialog::accept();
}

void CScriptEditDlg::resizeEvent(QResizeEvent* event) {
    CTemplateDialog::resizeEvent(event);
    m_layout.Reposition();
}

}  // namespace tavisk::ui
