#pragma once
// Numbered jobs run on several threads; their results are taken in number
// order.  A job starts only when it is within `lookahead` of the next result
// to be taken, so results (and what they hold on disk) stay bounded.
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tavisk {

template <typename Result>
class OrderedJobs {
public:
    // `work(worker, index)` runs job `index` on thread `worker` (0 .. workers-1).
    using Work = std::function<Result(int worker, int index)>;

    OrderedJobs(int workers, int count, int lookahead, Work work)
        : m_nCount(count), m_nLookahead(lookahead < 1 ? 1 : lookahead), m_work(std::move(work)) {
        for (int w = 0; w < workers; ++w) m_threads.emplace_back([this, w] { WorkerLoop(w); });
    }
    ~OrderedJobs() { Abandon(); }
    OrderedJobs(const OrderedJobs&) = delete;
    OrderedJobs& operator=(const OrderedJobs&) = delete;

    // Waits for the result of the next job in order; false when every job was taken.
    bool TakeNext(Result& result) {
        std::unique_lock lock(m_mutex);
        if (m_nNextToTake >= m_nCount) return false;
        m_changed.wait(lock, [&] { return m_done.count(m_nNextToTake) != 0; });
        result = std::move(m_done[m_nNextToTake]);
        m_done.erase(m_nNextToTake++);
        m_changed.notify_all();  // the window moved on
        return true;
    }

    // No job starts any more; waits for those running.  Their results, and
    // those not taken, are handed to `leftover` in number order.
    void Abandon(const std::function<void(int index, Result&)>& leftover = {}) {
        {
            std::lock_guard lock(m_mutex);
            m_bAbandoned = true;
        }
        m_changed.notify_all();
        for (std::thread& thread : m_threads)
            if (thread.joinable()) thread.join();
        if (leftover)
            for (auto& [index, result] : m_done) leftover(index, result);
        m_done.clear();
    }

private:
    void WorkerLoop(int worker) {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [&] {
                return m_bAbandoned || m_nNextToStart >= m_nCount || m_nNextToStart < m_nNextToTake + m_nLookahead;
            });
            if (m_bAbandoned || m_nNextToStart >= m_nCount) return;
            const int index = m_nNextToStart++;
            lock.unlock();
            Result result = m_work(worker, index);
            lock.lock();
            m_done.emplace(index, std::move(result));
            m_changed.notify_all();
        }
    }

    const int m_nCount;
    const int m_nLookahead;
    Work m_work;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<int, Result> m_done;  // finished, not taken yet
    int m_nNextToStart = 0;
    int m_nNextToTake = 0;
    bool m_bAbandoned = false;
    std::vector<std::thread> m_threads;
};

}  // namespace tavisk
