// Script files and the script editor: "&New...", "&Edit..." and "&Save...".
#include "BatchDlg.h"
#include "dialogs/ControlIds.h"
#include "DisplayText.h"
#include "Prompter.h"
#include "dialogs/ScriptEditDlg.h"
#include "batch/ScriptFile.h"

namespace tavisk::ui {

bool CBatchDlg::LoadScriptFile() {
    FileError error;
    if (LoadScriptLines(PathBytes(m_strScriptPath), m_batch.m_arrScriptLines, error)) return true;
    m_batch.m_arrScriptLines.clear();
    m_prompter.ShowError(this, DisplayText(error.Text()));
    return false;
}

bool CBatchDlg::SaveScriptFile() {
    FileError error;
    if (!SaveScriptLines(PathBytes(m_strScriptPath), m_batch.m_arrScriptLines, error)) {
        m_prompter.ShowError(this, DisplayText(error.Text()));
        return false;
    }
    m_bScriptChanged = false;
    EnableItem(IDC_SAVE_SCRIPT, false);
    return true;
}

void CBatchDlg::OnSaveScript() {
    if (m_strScriptPath.isEmpty()) {
        const QString path = m_prompter.ChooseSaveFile(this);
        if (path.isEmpty()) return;
        m_strScriptPath = path;
        SetItemText(IDC_SCRIPT_PATH, m_strScriptPath);
    }
    SaveScriptFile();
}

void CBatchDlg::OnNewScript() {
    m_strScriptPath.clear();
    SetItemText(IDC_SCRIPT_PATH, QString::fromUtf8(kUnsavedScriptCaption));
    m_batch.m_arrScriptLines.clear();
    m_bScriptChanged = false;
    OnEditScript();
}

void CBatchDlg::OnEditScript() {
    CScriptEditDlg dlg(this);
    dlg.m_pScriptLines = &m_batch.m_arrScriptLines;
    dlg.m_bModified = m_bScriptChanged;
    if (m_prompter.RunDialog(dlg) != QDialog::Accepted) return;
    m_bScriptChanged = dlg.m_bModified;
    EnableItem(IDC_SAVE_SCRIPT, m_bScriptChanged);
}

}  // namespace tavisk::ui
