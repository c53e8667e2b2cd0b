#include "DeferredClose.h"

#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace tavisk {

namespace {

// Few enough that a batch near its descriptor limit never feels them; the
// thread is woken once per batch of them, not once per descriptor.
constexpr size_t kMaxWaiting = 32;
constexpr size_t kWakeAt = 16;

class Closer {
public:
    // True when taken; false when the caller must close it itself.
    bool Take(int fd) {
        std::unique_lock lock(m_mutex);
        if (m_waiting.size() >= kMaxWaiting) return false;
        if (!m_bStarted) {
            std::thread([this] { Run(); }).detach();  // lives as long as the process
            m_bStarted = true;
        }
        m_waiting.push_back(fd);
        if (m_waiting.size() == kWakeAt) m_work.notify_one();
        return true;
    }
    void Drain() {
        std::unique_lock lock(m_mutex);
        if (!m_waiting.empty()) m_work.notify_one();
        m_idle.wait(lock, [this] { return m_waiting.empty() && !m_bClosing; });
    }

private:
    void Run() {
        std::vector<int> closing;
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_work.wait(lock, [this] { return !m_waiting.empty(); });
            closing.swap(m_waiting);
            m_bClosing = true;
            lock.unlock();
            for (int fd : closing) ::close(fd);
            closing.clear();
            lock.lock();
            m_bClosing = false;
            if (m_waiting.empty()) m_idle.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_idle;
    std::vector<int> m_waiting;
    bool m_bClosing = false;
    bool m_bStarted = false;
};

Closer& TheCloser() {
    static Closer* closer = new Closer;  // never destroyed: its thread may outlive main
    return *closer;
}

}  // namespace

void CloseLater(int fd) {
    if (fd < 0) return;
    if (!TheCloser().Take(fd)) ::close(fd);
}

void FinishDeferredCloses() { TheCloser().Drain(); }

}  // namespace tavisk
