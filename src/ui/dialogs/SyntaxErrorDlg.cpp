#include "SyntaxErrorDlg.h"

#include <QLabel>

#include "ControlIds.h"
#include "help/Help.h"

namespace tavisk::ui {

namespace {

constexpr ControlTemplate kControls[] = {
    {IDCANCEL, ControlKind::PushButton, "Done", 152, 100, 48, 16},
    {IDC_SYNTAX_MESSAGE, ControlKind::Static, "", 8, 4, 284, 16, CS_CENTER | CS_SUNKEN},
    {IDC_SYNTAX_LINE, ControlKind::Static, "", 44, 40, 248, 16, CS_SUNKEN},
    {IDC_SYNTAX_PROCESSED, ControlKind::Static, "", 8, 76, 284, 16, CS_SUNKEN},
    {IDC_SYNTAX_LINE_NO, ControlKind::Static, "", 8, 40, 24, 16, CS_SUNKEN},
    {-1, ControlKind::Static, "Line No:", 8, 28, 36, 8},
    {-1, ControlKind::Static, "Whole Command Line", 80, 28, 84, 8},
    {-1, ControlKind::Static, "Portion Processed", 8, 64, 92, 8},
    {ID_HELP, ControlKind::PushButton, "Help", 96, 100, 48, 16},
};

constexpr DialogTemplate kTemplate = {"Command Syntx Error", 296, 122, "Tahoma", 8, false, true, kControls};

}  // namespace

CSyntaxErrorDlg::CSyntaxErrorDlg(QWidget* parent) : CTemplateDialog(kTemplate, parent) {
    OnClicked(IDCANCEL, [this] { reject(); });
    SetHelpTopic(kHelpTopicSyntaxError);
    OnClicked(ID_HELP, [this] { ShowHelp(); });
}

void CSyntaxErrorDlg::OnInitDialog() {
    const std::pair<int, const QString*> fields[] = {
        {IDC_SYNTAX_LINE, &m_strCommandLine},
        {IDC_SYNTAX_MESSAGE, &m_strMessage},
        {IDC_SYNTAX_PROCESSED, &m_strProcessed},
        {IDC_SYNTAX_LINE_NO, &m_strLineNo},
    };
    const QFont font = TemplateFont("Tahoma", 12);
    for (const auto& [id, text] : fields) {
        auto* label = DlgItem<QLabel>(*this, id);
        label->setText(*text);
        label->setFont(font);
    }
}

}  // namespace tavisk::ui
