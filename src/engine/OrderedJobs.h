#pragma once
// Numbered jobs run on several threads; their results are taken in number
// order.  A job starts only when it is within `lookahead` of the next result
// to be taken, so results (and what they hold on disk or in memory) stay
// bounded.  The thread that takes the results may help: while the next one
// is not ready it runs a job itself instead of waiting, so that N threads keep
// N cores busy although the taker has work of its own (writing the results out).
#include <algorithm>
#include <chrono>
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
    // `work(worker, index)` runs job `index` on thread `worker` (0 .. workers-1);
    // a taker that helps is worker `workers`.
    using Work = std::function<Result(int worker, int index)>;
    enum class Taker { Waits, Helps };

    OrderedJobs(int workers, int count, int lookahead, Work work, Taker taker = Taker::Waits)
        : m_nWorkers(workers), m_bTakerHelps(taker == Taker::Helps), m_nCount(count),
          m_nLookahead(lookahead < 1 ? 1 : lookahead), m_work(std::move(work)) {
        for (int w = 0; w < workers; ++w) m_threads.emplace_back([this, w] { WorkerLoop(w); });
    }
    ~OrderedJobs() { Abandon(); }
    OrderedJobs(const OrderedJobs&) = delete;
    OrderedJobs& operator=(const OrderedJobs&) = delete;

    // The result of the next job in order, waiting for it (or running jobs
    // meanwhile, when the taker helps); false when every job was taken.
    bool TakeNext(Result& result) {
        std::unique_lock lock(m_mutex);
        if (m_nNextToTake >= m_nCount) return false;
        while (m_done.count(m_nNextToTake) == 0) {
            if (m_bTakerHelps && MayStart()) {
                RunOnTaker(lock);
                continue;
            }
            // Nothing may start until this thread takes, so only the result can end the wait.
            m_bTakerWaiting = true;
            m_resultReady.wait(lock, [&] { return m_done.count(m_nNextToTake) != 0; });
            m_bTakerWaiting = false;
        }
        const auto next = m_done.find(m_nNextToTake++);
        result = std::move(next->second);
        m_done.erase(next);
        // Wakes a worker only when one waits for the window to move on: a
        // wake-up costs about as much as a small file.
        if (m_nWorkersWaiting > 0) m_windowMoved.notify_one();
        return true;
    }

    // No job starts any more; waits for those running.  Their results, and
    // those not taken, are handed to `leftover` in number order.
    void Abandon(const std::function<void(int index, Result&)>& leftover = {}) {
        {
            std::lock_guard lock(m_mutex);
            m_bAbandoned = true;
        }
        m_windowMoved.notify_all();
        for (std::thread& thread : m_threads)
            if (thread.joinable()) thread.join();
        if (leftover)
            for (auto& [index, result] : m_done) leftover(index, result);
        m_done.clear();
    }

private:
    bool MayStart() const {
        return !m_bAbandoned && m_nNextToStart < m_nCount && m_nNextToStart < m_nNextToTake + m_nLookahead;
    }
    void RunOnTaker(std::unique_lock<std::mutex>& lock) {
        const int index = m_nNextToStart++;
        lock.unlock();
        Result result = m_work(m_nWorkers, index);
        lock.lock();
        m_done.emplace(index, std::move(result));
    }

    // Small jobs are taken several at a time and handed over together: one
    // hand-over costs about as much as a small file.  A job that takes longer
    // goes back to one at a time, so large files still spread over the workers.
    void WorkerLoop(int worker) {
        int chunk = 1;
        std::vector<std::pair<int, Result>> finished;
        std::unique_lock lock(m_mutex);
        for (;;) {
            const auto mayStart = [&] { return m_bAbandoned || m_nNextToStart >= m_nCount || MayStart(); };
            if (!mayStart()) {
                ++m_nWorkersWaiting;
                m_windowMoved.wait(lock, mayStart);
                --m_nWorkersWaiting;
            }
            if (m_bAbandoned || m_nNextToStart >= m_nCount) return;
            const int first = m_nNextToStart;
            const int count = std::min({chunk, m_nCount - first, m_nNextToTake + m_nLookahead - first});
            m_nNextToStart += count;
            lock.unlock();
            const auto started = std::chrono::steady_clock::now();
            for (int index = first; index < first + count; ++index) finished.emplace_back(index, m_work(worker, index));
            const bool quick = std::chrono::steady_clock::now() - started < std::chrono::microseconds(200) * count;
            chunk = quick ? std::min(chunk * 2, kMaxChunk) : 1;
            lock.lock();
            for (auto& [index, result] : finished) m_done.emplace(index, std::move(result));
            finished.clear();
            if (m_bTakerWaiting && m_nNextToTake >= first && m_nNextToTake < first + count) m_resultReady.notify_one();
        }
    }

    static constexpr int kMaxChunk = 16;

    const int m_nWorkers;
    const bool m_bTakerHelps;
    const int m_nCount;
    const int m_nLookahead;
    Work m_work;
    std::mutex m_mutex;
    std::condition_variable m_resultReady;  // the taker waits here
    std::condition_variable m_windowMoved;  // workers wait here
    bool m_bTakerWaiting = false;
    int m_nWorkersWaiting = 0;
    std::map<int, Result> m_done;  // finished, not taken yet
    int m_nNextToStart = 0;
    int m_nNextToTake = 0;
    bool m_bAbandoned = false;
    std::vector<std::thread> m_threads;
};

}  // namespace tavisk
