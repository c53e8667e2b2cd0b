#include "DeferredWork.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace tavisk {

namespace {

// Few enough that a batch near its descriptor limit never feels the folders
// they hold; the thread is woken once per batch of them, not once per job.
constexpr size_t kMaxWaiting = 32;
constexpr size_t kWakeAt = 16;

using Job = std::function<void()>;

class Worker {
public:
    // True when taken; false when the caller must run it itself.
    bool Take(Job& job) {
        std::unique_lock lock(m_mutex);
        if (m_waiting.size() >= kMaxWaiting) return false;
        if (!m_bStarted) {
            std::thread([this] { Run(); }).detach();  // lives as long as the process
            m_bStarted = true;
        }
        m_waiting.push_back(std::move(job));
        if (m_waiting.size() == kWakeAt) m_work.notify_one();
        return true;
    }
    void Drain() {
        std::unique_lock lock(m_mutex);
        if (!m_waiting.empty()) m_work.notify_one();
        m_idle.wait(lock, [this] { return m_waiting.empty() && !m_bRunning; });
    }

private:
    void Run() {
        std::vector<Job> running;
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_work.wait(lock, [this] { return !m_waiting.empty(); });
            running.swap(m_waiting);
            m_bRunning = true;
            lock.unlock();
            for (Job& job : running) job();
            running.clear();
            lock.lock();
            m_bRunning = false;
            if (m_waiting.empty()) m_idle.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_idle;
    std::vector<Job> m_waiting;
    bool m_bRunning = false;
    bool m_bStarted = false;
};

Worker& TheWorker() {
    static Worker* worker = new Worker;  // never destroyed: its thread may outlive main
    return *worker;
}

}  // namespace

void RunLater(std::function<void()> work) {
    if (!TheWorker().Take(work)) work();
}

void FinishDeferredWork() { TheWorker().Drain(); }

}  // namespace tavisk
