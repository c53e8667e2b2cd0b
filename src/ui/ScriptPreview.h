#pragma once
// The script editor's preview: what the script being typed makes of a
// source, run by the core in memory on a worker thread of its own.  A run
// starts after a pause in typing, on at most the first kSourceLimit bytes of
// the source; a newer request stops an older run, whose result is dropped.
// The window thread only hands over requests and shows finished panes.
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "batch/PreviewRun.h"

namespace tavisk::ui {

struct PreviewRequest {
    std::vector<std::string> scriptLines;
    std::string sourcePath;
    LineEndStyle lineEnds = LineEndStyle::CrLf;
    bool bDiff = false;  // the changes as a unified diff rather than the edited text
};

// What the pane shows: the edited text (or diff), and the messages below it.
struct PreviewPane {
    QString text;
    QString messages;
};

// Bytes of the source a preview runs on.
struct PreviewSample {
    std::string bytes;
    bool bCut = false;  // the source is longer: `bytes` ends at a line end within the limit
    QString error;      // the source cannot be read: why
};

class ScriptPreview : public QObject {
    Q_OBJECT
public:
    static constexpr size_t kSourceLimit = size_t{4} << 20;
    // The pane shows at most this much of the edited text, so showing it
    // never holds up typing.
    static constexpr int kPaneLines = 1000;
    static constexpr size_t kPaneBytes = size_t{128} << 10;
    static constexpr size_t kPaneLineBytes = 2048;
    // A script may make far more text than it reads: the run stops beyond this.
    static constexpr size_t kOutputLimit = size_t{64} << 20;
    static constexpr int kPauseMs = 250;

    explicit ScriptPreview(QObject* parent = nullptr);
    ~ScriptPreview() override;

    // Runs `request` once typing has paused, in place of any earlier one.
    void Request(PreviewRequest request);
    // Drops any request not yet shown; a running one is stopped.
    void Cancel();
    // A request is waiting, running, or its result not shown yet.
    bool IsBusy() const { return m_nShown != m_nRequested || m_timer.isActive(); }

    // The steps of a run, on the worker thread.
    static PreviewSample ReadSample(const std::string& path, size_t limit = kSourceLimit);
    static PreviewPane Compose(const PreviewRequest& request, const PreviewSample& sample, const PreviewResult& result);

signals:
    void Ready(const QString& text, const QString& messages);

private:
    void StartRun();
    void WorkerLoop();
    void Show(uint64_t generation, const PreviewPane& pane);

    QTimer m_timer;
    std::optional<PreviewRequest> m_waiting;  // on the window thread, until the pause is over
    uint64_t m_nRequested = 0;                // window thread: the newest request handed over
    uint64_t m_nShown = 0;                    // window thread: the newest request shown

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<PreviewRequest> m_pending;  // handed to the worker
    uint64_t m_nPending = 0;
    std::shared_ptr<std::atomic<bool>> m_pRunningStop;
    bool m_bQuit = false;
    std::thread m_worker;
};

}  // namespace tavisk::ui
