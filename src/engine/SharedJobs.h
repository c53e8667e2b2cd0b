#pragma once
// Numbered jobs run by helper threads and by the thread that takes their
// results.  The taker takes the results in number order; while the next one
// is not ready it runs a job itself instead of waiting, so that N threads
// keep N cores busy even though the taker has work of its own (writing the
// results out).  A job starts only within `window` of the next result to be
// taken, which bounds the results held.
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tavisk {

template <typename Result>
class SharedJobs {
public:
    // `work(worker, index)` runs job `index`; helpers are workers 0 .. helpers-1,
    // the taker is worker `helpers`.
    using Work = std::function<Result(int worker, int index)>;

    SharedJobs(int helpers, int count, int window, Work work)
        : m_nHelpers(helpers), m_nCount(count), m_nWindow(window < 1 ? 1 : window), m_work(std::move(work)) {
        for (int w = 0; w < helpers; ++w) m_threads.emplace_back([this, w] { HelperLoop(w); });
    }
    ~SharedJobs() { Abandon(); }
    SharedJobs(const SharedJobs&) = delete;
    SharedJobs& operator=(const SharedJobs&) = delete;

    // The result of the next job in order, running jobs meanwhile; false
    // when every job was taken.
    bool TakeNext(Result& result) {
        std::unique_lock lock(m_mutex);
        if (m_nNextToTake >= m_nCount) return false;
        for (;;) {
            const auto next = m_done.find(m_nNextToTake);
            if (next != m_done.end()) {
                result = std::move(next->second);
                m_done.erase(next);
                ++m_nNextToTake;
                m_changed.notify_all();  // the window moved
                return true;
            }
            if (MayStart()) {
                RunOne(m_nHelpers, lock);
                continue;
            }
            m_changed.wait(lock);
        }
    }

    // No job starts any more; waits for the helpers' running jobs and drops
    // every result not taken.
    void Abandon() {
        {
            std::lock_guard lock(m_mutex);
            m_bAbandoned = true;
        }
        m_changed.notify_all();
        for (std::thread& thread : m_threads)
            if (thread.joinable()) thread.join();
        m_done.clear();
    }

private:
    bool MayStart() const {
        return !m_bAbandoned && m_nNextToStart < m_nCount && m_nNextToStart < m_nNextToTake + m_nWindow;
    }
    // Runs the next job unlocked and files its result.
    void RunOne(int worker, std::unique_lock<std::mutex>& lock) {
        const int index = m_nNextToStart++;
        lock.unlock();
        Result result = m_work(worker, index);
        lock.lock();
        m_done.emplace(index, std::move(result));
    }
    void HelperLoop(int worker) {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [&] { return m_bAbandoned || m_nNextToStart >= m_nCount || MayStart(); });
            if (m_bAbandoned || m_nNextToStart >= m_nCount) return;
            RunOne(worker, lock);
            m_changed.notify_all();  // the taker may wait for this one
        }
    }

    const int m_nHelpers;
    const int m_nCount;
    const int m_nWindow;
    Work m_work;
    std::mutex m_mutex;
    std::condition_variable m_changed;  // a result was filed or taken
    std::map<int, Result> m_done;       // finished, not taken yet
    int m_nNextToStart = 0;
    int m_nNextToTake = 0;
    bool m_bAbandoned = false;
    std::vector<std::thread> m_threads;
};

}  // namespace tavisk
