#include "WindowThread.h"

#include <QMetaObject>
#include <QThread>

namespace tavisk::ui {

void WindowThreadCaller::Call(const std::function<void()>& fn) {
    if (QThread::currentThread() == thread()) {
        fn();
        return;
    }
    std::unique_lock lock(m_mutex);
    m_pPending = &fn;
    const uint64_t ticket = ++m_nPosted;
    QMetaObject::invokeMethod(this, "RunPending", Qt::QueuedConnection);
    m_served.wait(lock, [&] { return m_nServed >= ticket; });
}

void WindowThreadCaller::RunPending() {
    std::unique_lock lock(m_mutex);
    const std::function<void()>* fn = m_pPending;
    m_pPending = nullptr;
    lock.unlock();
    // Without the lock: the call may open a message box and wait for the user.
    if (fn) (*fn)();
    lock.lock();
    ++m_nServed;
    m_served.notify_all();
}

}  // namespace tavisk::ui
