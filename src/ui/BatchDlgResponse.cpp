// The response file name ("...") and the view of the response lines ("&View...").
#include "BatchDlg.h"
#include "DisplayText.h"
#include "Prompter.h"
#include "dialogs/ResponseNameDlg.h"
#include "dialogs/ResponseViewDlg.h"

namespace tavisk::ui {

void CBatchDlg::OnResponseFileName() {
    CResponseNameDlg dlg(this);
    dlg.m_strResponseName = PathText(m_batch.m_strResponseFile);
    if (m_prompter.RunDialog(dlg) == QDialog::Accepted) m_batch.m_strResponseFile = PathBytes(dlg.m_strResponseName);
}

void CBatchDlg::OnViewResponse() {
    CResponseViewDlg dlg(this);
    dlg.m_pResponseLines = &m_batch.m_log.m_arrResponseLines;
    m_prompter.RunDialog(dlg);
}

}  // namespace tavisk::ui
