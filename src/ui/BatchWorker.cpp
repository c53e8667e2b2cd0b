#include "BatchWorker.h"

#include <QEventLoop>

namespace tavisk::ui {

BatchWorker::~BatchWorker() { StopAndWait(); }

bool BatchWorker::Start(std::function<void()> work, std::function<void()> requestStop) {
    if (IsRunning()) return false;
    m_requestStop = std::move(requestStop);
    m_pThread.reset(QThread::create(std::move(work)));
    connect(m_pThread.get(), &QThread::finished, this, &BatchWorker::OnThreadFinished);
    // The lowest ordinary priority keeps the window responsive.  Qt's
    // IdlePriority is SCHED_IDLE on Linux, where a batch makes no progress at
    // all while any other program keeps the processors busy.
    m_pThread->start(QThread::LowestPriority);
    return true;
}

void BatchWorker::OnThreadFinished() {
    if (!m_pThread) return;
    m_pThread->wait();
    m_pThread.reset();
    emit Finished();
}

void BatchWorker::StopAndWait() {
    if (!IsRunning()) return;
    if (m_requestStop) m_requestStop();
    // The thread's end arrives as a queued signal, after every window call
    // the worker still makes has been served by this loop.
    QEventLoop loop;
    connect(this, &BatchWorker::Finished, &loop, &QEventLoop::quit);
    if (IsRunning()) loop.exec();
}

}  // namespace tavisk::ui
