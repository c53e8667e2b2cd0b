#pragma once
// A stop that reaches a read or write waiting on a pipe, a FIFO or a
// terminal.  The stop flag alone is only seen between reads; a descriptor
// that becomes readable when the stop is raised lets such a wait end at once
// on every thread (a signal reaches one thread only, and retrying an
// interrupted read would wait again).  Raising it is safe in a signal handler.
#include <atomic>

namespace tavisk {

class StopEvent {
public:
    StopEvent();
    ~StopEvent();
    StopEvent(const StopEvent&) = delete;
    StopEvent& operator=(const StopEvent&) = delete;

    // Raises the flag and wakes every wait (async-signal-safe).
    void Raise();
    // Lowers the flag for the next run.
    void Clear();
    const std::atomic<bool>& Flag() const { return m_flag; }
    // Readable while the stop is raised; -1 when none could be made (a wait
    // then ends only with its descriptor).
    int Fd() const { return m_fd; }

private:
    std::atomic<bool> m_flag{false};
    int m_fd = -1;
};

// Waits until `fd` is ready for `events` (POLLIN or POLLOUT), or the stop
// is raised.  True when `fd` is ready (or in error: the read or write that
// follows tells); false when the stop came first.  A descriptor ready at
// once is taken even after the stop: the stop ends waits, not work that
// needs none (the response file after a stop is still written to a pipe
// with room).
bool WaitReadyOrStopped(int fd, short events, const std::atomic<bool>* stop, int stopFd);

// Waits up to `milliseconds` for the stop; true when it is raised.
bool StopWithin(const std::atomic<bool>* stop, int stopFd, int milliseconds);

}  // namespace tavisk
