#pragma once
// The one owner of the batch worker thread.  It starts the work, tells when
// it has ended, and stops it once: StopAndWait asks the work to stop and
// keeps this thread's events running until the thread has ended, because
// the worker waits for the window in each of its window calls.
#include <QObject>
#include <QThread>
#include <functional>
#include <memory>

namespace tavisk::ui {

class BatchWorker : public QObject {
    Q_OBJECT
public:
    explicit BatchWorker(QObject* parent = nullptr) : QObject(parent) {}
    // Stops and waits for a running worker.
    ~BatchWorker() override;
    BatchWorker(const BatchWorker&) = delete;
    BatchWorker& operator=(const BatchWorker&) = delete;

    // Runs `work` on a new thread; `requestStop` (called on this thread) asks
    // it to end early.  Refused while a worker runs.
    bool Start(std::function<void()> work, std::function<void()> requestStop);
    bool IsRunning() const { return m_pThread != nullptr; }
    void StopAndWait();

signals:
    // The worker thread has ended; emitted on the owner's thread, once per run.
    void Finished();

private:
    void OnThreadFinished();

    std::unique_ptr<QThread> m_pThread;
    std::function<void()> m_requestStop;
};

}  // namespace tavisk::ui
