#pragma once
// Runs calls of the batch worker on the window thread and waits for each to
// finish, so the window operations happen in order and their results come
// back.  The hand-over is a mutex and a condition variable of the standard
// library, which ThreadSanitizer sees: everything the worker did before a
// call happens before the call, and the call before what the worker does next.
#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace tavisk::ui {

class WindowThreadCaller : public QObject {
    Q_OBJECT
public:
    // Lives on the thread that creates it: the window thread.
    explicit WindowThreadCaller(QObject* parent = nullptr) : QObject(parent) {}

    // Runs `fn` on the window thread and returns when it has finished; runs it
    // directly when the caller is on that thread.  One worker calls at a time.
    void Call(const std::function<void()>& fn);

private:
    // Posted by name, so that Qt carries no functor of ours across threads.
    Q_INVOKABLE void RunPending();

    std::mutex m_mutex;
    std::condition_variable m_served;
    const std::function<void()>* m_pPending = nullptr;
    uint64_t m_nPosted = 0;
    uint64_t m_nServed = 0;
};

}  // namespace tavisk::ui
