#pragma once
// Runs a call on the thread that owns a window object and waits for it to
// finish; runs it directly when the caller is already on that thread.
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <utility>

namespace tavisk::ui {

template <class Fn>
void CallOnWindowThread(QObject* window, Fn&& fn) {
    if (QThread::currentThread() == window->thread())
        fn();
    else
        QMetaObject::invokeMethod(window, std::forward<Fn>(fn), Qt::BlockingQueuedConnection);
}

}  // namespace tavisk::ui
