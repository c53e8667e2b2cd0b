// Starting a batch, its worker thread, and stopping it when the program closes.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>

#include "BatchDlg.h"
#include "DisplayText.h"
#include "dialogs/ControlIds.h"

namespace tavisk::ui {

namespace {

// Controls that change or read the run state while the worker uses it.
// "&Save..." only reads the script lines, which the worker never changes.
constexpr int kRunStateControls[] = {
    IDC_BROWSE_SOURCES, IDC_LOCATE_SCRIPT, IDC_DEST_FOLDER_BUTTON, IDC_NEW_SCRIPT, IDC_EDIT_SCRIPT,
    IDC_START,          IDC_VIEW_RESPONSE, IDC_RESPONSE_FILE_NAME, IDC_DEBUG,
};

}  // namespace

CBatchDlg::~CBatchDlg() {
    // "Done" waits for a running batch; this only guards other ways out.
    if (!m_pWorker) return;
    m_pWorker->disconnect(this);
    m_batch.RequestStop();
    while (!m_pWorker->wait(QDeadlineTimer(20))) QCoreApplication::processEvents();
    delete m_pWorker;
}

void CBatchDlg::OnStartBulkEdit() {
    if (IsBatchRunning()) return;
    m_batch.m_strControlFile = PathBytes(m_strScriptPath);  // no output may replace it
    if (m_batch.PrepareStart() == StartResult::Ready) StartWorker();
}

void CBatchDlg::StartWorker() {
    SetRunning(true);
    m_pWorker = QThread::create([this] { m_batch.RunBatch(); });
    connect(m_pWorker, &QThread::finished, this, &CBatchDlg::OnWorkerFinished);
    // The lowest ordinary priority keeps the window responsive.  Qt's
    // IdlePriority is SCHED_IDLE on Linux, where a batch makes no progress at
    // all while any other program keeps the processors busy.
    m_pWorker->start(QThread::LowestPriority);
}

void CBatchDlg::OnWorkerFinished() {
    if (!m_pWorker) return;
    m_pWorker->wait();
    delete m_pWorker;
    m_pWorker = nullptr;
    SetRunning(false);
    emit BatchFinished();
}

void CBatchDlg::StopBatchAndWait() {
    m_batch.RequestStop();
    // The worker's window calls need this thread's events while we wait.
    QEventLoop loop;
    connect(this, &CBatchDlg::BatchFinished, &loop, &QEventLoop::quit);
    if (IsBatchRunning()) loop.exec();
}

void CBatchDlg::SetRunning(bool running) {
    for (int id : kRunStateControls) EnableItem(id, !running);
}

}  // namespace tavisk::ui
