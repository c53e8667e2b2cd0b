#include "StopEvent.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace tavisk {

StopEvent::StopEvent() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopEvent::~StopEvent() {
    if (m_fd >= 0) close(m_fd);
}

void StopEvent::Raise() {
    m_flag.store(true);
    if (m_fd < 0) return;
    const uint64_t one = 1;
    const ssize_t ignored = write(m_fd, &one, sizeof one);  // a full counter is readable already
    (void)ignored;
}

void StopEvent::Clear() {
    m_flag.store(false);
    if (m_fd < 0) return;
    uint64_t count = 0;
    const ssize_t ignored = read(m_fd, &count, sizeof count);  // empty: nothing to drain
    (void)ignored;
}

bool WaitReadyOrStopped(int fd, short events, const std::atomic<bool>* stop, int stopFd) {
    pollfd waits[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
    const nfds_t count = stopFd >= 0 ? 2 : 1;
    for (int timeout = 0;; timeout = -1) {  // first a look without waiting
        const int ready = poll(waits, count, timeout);
        if (ready < 0 && errno != EINTR && errno != EAGAIN) return true;  // the read or write reports it
        if (ready > 0 && waits[0].revents) return true;
        if (stop && stop->load(std::memory_order_relaxed)) return false;
        if (ready > 0 && count == 2 && waits[1].revents) return false;
    }
}

bool StopWithin(const std::atomic<bool>* stop, int stopFd, int milliseconds) {
    if (stop && stop->load(std::memory_order_relaxed)) return true;
    pollfd wait{stopFd, POLLIN, 0};
    if (stopFd >= 0 && poll(&wait, 1, milliseconds) > 0) return true;
    if (stopFd < 0) usleep(static_cast<useconds_t>(milliseconds) * 1000);
    return stop && stop->load(std::memory_order_relaxed);
}

}  // namespace tavisk
