#pragma once
// How long the window thread kept a 10 ms timer waiting: the longest gap
// between ticks (how long a click would have waited), and the most processor
// time the thread used within one gap (on a loaded machine much of a gap is
// waiting for a processor).
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <time.h>

#include <algorithm>

inline double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

class WindowGapMeter {
public:
    WindowGapMeter() {
        QObject::connect(&m_ticker, &QTimer::timeout, [this] {
            longestGapMs = std::max(longestGapMs, m_sinceTick.restart());
            const double cpu = ThreadCpuMs();
            busiestGapCpuMs = std::max(busiestGapCpuMs, cpu - m_lastCpuMs);
            m_lastCpuMs = cpu;
        });
    }
    void Start() {
        m_lastCpuMs = ThreadCpuMs();
        m_sinceTick.start();
        m_ticker.start(10);
    }
    void Stop() { m_ticker.stop(); }

    qint64 longestGapMs = 0;
    double busiestGapCpuMs = 0;

private:
    QElapsedTimer m_sinceTick;
    QTimer m_ticker;
    double m_lastCpuMs = 0;
};
