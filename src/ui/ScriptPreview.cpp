#include "ScriptPreview.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "DisplayText.h"
#include "batch/UnifiedDiff.h"

namespace tavisk::ui {

namespace {

constexpr const char* kEditedLabel = "edited";

// Display lines end in LF only: the pane would show a CR as a stray mark.
std::string WithoutCarriageReturns(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const size_t lf = text.find('\n', pos);
        std::string_view line = text.substr(pos, lf == std::string_view::npos ? std::string_view::npos : lf - pos);
        if (!line.empty() && line.back() == '\r' && lf != std::string_view::npos) line.remove_suffix(1);
        shown.append(line);
        if (lf == std::string_view::npos) break;
        shown.push_back('\n');
        pos = lf + 1;
    }
    return shown;
}

// The first kPaneLines lines of `text`, and no more than kPaneBytes bytes;
// `lines` is how many lines that is.
std::string_view PaneHead(std::string_view text, int& lines) {
    size_t end = 0;
    lines = 0;
    while (end < text.size() && lines < ScriptPreview::kPaneLines) {
        const size_t lf = text.find('\n', end);
        const size_t next = lf == std::string_view::npos ? text.size() : lf + 1;
        if (next > ScriptPreview::kPaneBytes) {
            if (lines == 0) end = ScriptPreview::kPaneBytes;  // one huge line: its start
            break;
        }
        end = next;
        ++lines;
    }
    return text.substr(0, end);
}

QString LineEndsName(LineEndStyle style) {
    switch (style) {
    case LineEndStyle::Lf: return QStringLiteral("LF");
    case LineEndStyle::Keep: return QStringLiteral("as in the source");
    case LineEndStyle::CrLf: break;
    }
    return QStringLiteral("CR LF");
}

QString SyntaxErrorText(const SyntaxError& error) {
    return QStringLiteral("Syntax error in line %1: %2\n%3\nPortion processed: %4")
        .arg(error.m_nLineIndex + 1)
        .arg(DisplayText(error.m_strMessage), DisplayText(error.m_strCommandLine), DisplayText(error.m_strProcessed));
}

}  // namespace

ScriptPreview::ScriptPreview(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(kPauseMs);
    connect(&m_timer, &QTimer::timeout, this, &ScriptPreview::StartRun);
    m_worker = std::thread([this] { WorkerLoop(); });
}

ScriptPreview::~ScriptPreview() {
    {
        std::lock_guard lock(m_mutex);
        m_bQuit = true;
        if (m_pRunningStop) m_pRunningStop->store(true);
    }
    m_wake.notify_all();
    m_worker.join();
}

void ScriptPreview::Request(PreviewRequest request) {
    m_waiting = std::move(request);
    m_timer.start();  // a keystroke within the pause starts it again
}

void ScriptPreview::Cancel() {
    m_timer.stop();
    m_waiting.reset();
    std::lock_guard lock(m_mutex);
    m_pending.reset();
    m_nPending = ++m_nRequested;  // a result still on its way is not shown
    m_nShown = m_nRequested;
    if (m_pRunningStop) m_pRunningStop->store(true);
}

void ScriptPreview::StartRun() {
    if (!m_waiting) return;
    std::lock_guard lock(m_mutex);
    m_pending = std::move(m_waiting);
    m_waiting.reset();
    m_nPending = ++m_nRequested;
    // The older run's result would be dropped: it stops now.
    if (m_pRunningStop) m_pRunningStop->store(true);
    m_wake.notify_all();
}

void ScriptPreview::WorkerLoop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bQuit || m_pending.has_value(); });
        if (m_bQuit) return;
        const PreviewRequest request = std::move(*m_pending);
        m_pending.reset();
        const uint64_t generation = m_nPending;
        auto stop = std::make_shared<std::atomic<bool>>(false);
        m_pRunningStop = stop;
        lock.unlock();

        const PreviewSample sample = ReadSample(request.sourcePath);
        PreviewResult result;
        PreviewInput input{&request.scriptLines, sample.bytes, request.sourcePath, request.lineEnds};
        const bool finished = sample.error.isEmpty() ? RunPreview(input, stop.get(), result) : !stop->load();
        PreviewPane pane;
        if (finished && !stop->load()) pane = Compose(request, sample, result);

        lock.lock();
        m_pRunningStop.reset();
        if (finished && !stop->load() && generation == m_nPending)
            QMetaObject::invokeMethod(this, [this, generation, pane] { Show(generation, pane); }, Qt::QueuedConnection);
    }
}

void ScriptPreview::Show(uint64_t generation, const PreviewPane& pane) {
    if (generation != m_nRequested) return;  // a newer request is on its way
    m_nShown = generation;
    emit Ready(pane.text, pane.messages);
}

PreviewSample ScriptPreview::ReadSample(const std::string& path, size_t limit) {
    PreviewSample sample;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        sample.error = PathText(path) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return sample;
    }
    // One byte past the limit tells whether the source is longer.
    sample.bytes.resize(limit + 1);
    size_t got = 0;
    while (got < sample.bytes.size()) {
        const ssize_t n = read(fd, sample.bytes.data() + got, sample.bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            sample.error = PathText(path) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
            break;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    close(fd);
    sample.bytes.resize(got);
    if (got > limit) {
        // Cut at the last line end within the limit, so no line is run half.
        const size_t lastLf = std::string_view(sample.bytes).substr(0, limit).rfind('\n');
        sample.bytes.resize(lastLf == std::string::npos ? limit : lastLf + 1);
        sample.bCut = true;
    }
    return sample;
}

PreviewPane ScriptPreview::Compose(const PreviewRequest& request, const PreviewSample& sample, const PreviewResult& result) {
    PreviewPane pane;
    QStringList messages;
    if (!sample.error.isEmpty()) {
        pane.messages = sample.error;
        return pane;
    }
    if (result.bSyntaxError) {
        pane.messages = SyntaxErrorText(result.syntaxError);
        return pane;
    }
    std::string shown;
    if (request.bDiff) {
        std::string diff;
        const DiffOutcome outcome = AppendUnifiedDiff(sample.bytes, result.output, request.sourcePath, kEditedLabel, diff);
        if (outcome == DiffOutcome::Same) messages << QStringLiteral("No changes");
        if (outcome == DiffOutcome::LineEndsOnly) messages << QStringLiteral("Only the line ends change");
        shown = std::move(diff);
    } else {
        shown = WithoutCarriageReturns(result.output);
    }
    int paneLines = 0;
    const std::string_view head = PaneHead(shown, paneLines);
    const bool paneCut = head.size() < shown.size();
    pane.text = DisplayText(head);
    for (const std::string& line : result.responseLines) messages << DisplayText(line);
    if (!request.bDiff) messages << QStringLiteral("Lines end in %1").arg(LineEndsName(request.lineEnds));
    if (paneCut) messages << QStringLiteral("Only the first %1 lines are shown").arg(paneLines);
    if (sample.bCut)
        messages << QStringLiteral("Only the first %1 MiB of the source were run").arg(kSourceLimit >> 20);
    pane.messages = messages.join(QLatin1Char('\n'));
    return pane;
}

}  // namespace tavisk::ui
