// Script files and the script editor: "&New...", "&Edit..." and "&Save...".
#include <algorithm>

#include "BatchDlg.h"
#include "dialogs/ControlIds.h"
#include "DisplayText.h"
#include "Prompter.h"
#include "dialogs/ScriptEditDlg.h"
#include "batch/ScriptFile.h"

namespace tavisk::ui {

namespace {

constexpr int kPreviewSourceChoices = 1000;

}  // namespace

bool CBatchDlg::LoadScriptFile(const char* context) {
    FileError error;
    if (LoadScriptLines(PathBytes(m_strScriptPath), m_batch.m_arrScriptLines, error)) return true;
    m_batch.m_arrScriptLines.clear();
    const QString text = DisplayText(error.Text());
    m_prompter.ShowError(this, context ? QString::fromUtf8(context) + QLatin1Char('\n') + text : text);
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
        SetPathItem(IDC_SCRIPT_PATH, m_strScriptPath);
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
    // The preview's drop-down offers the first sources; a list of thousands would help no one.
    for (int i = 0; i < std::min(m_batch.m_nSourceCount, kPreviewSourceChoices); ++i)
        dlg.m_sourcePaths << PathText(m_batch.SourcePath(i));
    dlg.m_lineEnds = m_batch.m_lineEnds;
    dlg.m_bPreview = m_bPreview;
    dlg.m_bPreviewDiff = m_bPreviewDiff;
    const int result = m_prompter.RunDialog(dlg);
    // The preview switches are how the user likes to work, OK or Cancel; "Done" stores them.
    m_bPreview = dlg.m_bPreview;
    m_bPreviewDiff = dlg.m_bPreviewDiff;
    if (result != QDialog::Accepted) return;
    m_bScriptChanged = dlg.m_bModified;
    EnableItem(IDC_SAVE_SCRIPT, m_bScriptChanged);
}

}  // namespace tavisk::ui
