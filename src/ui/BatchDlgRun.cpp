// Starting a batch on the worker thread, and its end.
#include "BatchDlg.h"
#include "Prompter.h"
#include "DisplayText.h"
#include "dialogs/ControlIds.h"

namespace tavisk::ui {

namespace {

// Controls that change or read the run state while the worker uses it.
// "&Save..." only reads the script lines, which the worker never changes.
constexpr int kRunStateControls[] = {
    IDC_BROWSE_SOURCES, IDC_LOCATE_SCRIPT, IDC_DEST_FOLDER_BUTTON, IDC_NEW_SCRIPT, IDC_EDIT_SCRIPT,
    IDC_START,          IDC_VIEW_RESPONSE, IDC_RESPONSE_FILE_NAME, IDC_DEBUG,       IDC_LINE_ENDS,
};

}  // namespace

CBatchDlg::~CBatchDlg() {
    // "Done" waits for a running batch; this only guards other ways out,
    // while every member the worker's window calls use still exists.
    m_worker.StopAndWait();
}

void CBatchDlg::OnStartBulkEdit() {
    if (IsBatchRunning()) return;
    m_batch.m_strControlFile = PathBytes(m_strScriptPath);  // no output may replace it
    if (m_batch.PrepareStart() != StartResult::Ready) return;
    SetRunning(true);
    m_worker.Start([this] { m_batch.RunBatch(); }, [this] { m_batch.RequestStop(); });
}

void CBatchDlg::OnWorkerFinished() {
    // A stop question left open would ask about a batch that has ended.
    if (m_bAskingToStop) m_prompter.DismissQuestion();
    SetRunning(false);
    emit BatchFinished();
}

void CBatchDlg::SetRunning(bool running) {
    for (int id : kRunStateControls) EnableItem(id, !running);
}

}  // namespace tavisk::ui
