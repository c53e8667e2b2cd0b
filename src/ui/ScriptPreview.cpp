#include "ScriptPreview.h"

#include <fcntl.h>
#include <sys/stat.h>
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

// The start of a line at most `limit` bytes long, not ending inside a UTF-8 character.
std::string_view LineStart(std::string_view line, size_t limit) {
    if (line.size() <= limit) return line;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;
    return line.substr(0, end);
}

// The first kPaneLines lines of `text`, each cut at kPaneLineBytes, and no
// more than kPaneBytes bytes in all: a pane of any text is shown at once.
// `lines` is how many lines that is; `cut` tells whether anything was left out.
std::string PaneHead(std::string_view text, int& lines, bool& cut) {
    std::string head;
    lines = 0;
    cut = false;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t lf = text.find('\n', pos);
        const std::string_view line = text.substr(pos, lf == std::string_view::npos ? std::string_view::npos : lf - pos);
        const std::string_view shown = LineStart(line, ScriptPreview::kPaneLineBytes);
        if (lines == ScriptPreview::kPaneLines || head.size() + shown.size() + 1 > ScriptPreview::kPaneBytes) {
            cut = true;
            break;
        }
        head.append(shown);
        if (shown.size() < line.size()) {
            head.append("\xE2\x80\xA6");  // an ellipsis where the line goes on
            cut = true;
        }
        ++lines;
        if (lf == std::string_view::npos) break;
        head.push_back('\n');
        pos = lf + 1;
    }
    return head;
}

// The pane cannot show line ends: a message says how the lines end.
QString LineEndsMessage(LineEndStyle style) {
    switch (style) {
    case LineEndStyle::Lf: return QStringLiteral("Lines end in LF");
    case LineEndStyle::Keep: return QStringLiteral("Lines end as in the source");
    case LineEndStyle::CrLf: break;
    }
    return QStringLiteral("Lines end in CR LF");
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
        PreviewInput input{&request.scriptLines, sample.bytes, request.sourcePath, request.lineEnds, kOutputLimit};
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
    // Not waiting at the opening: a FIFO without a writer would hold the worker, and with it the editor's closing.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        sample.error = PathText(path) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return sample;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        sample.error = PathText(path) + QStringLiteral(": the preview reads regular files only");
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
    bool paneCut = false;
    pane.text = DisplayText(PaneHead(shown, paneLines, paneCut));
    for (const std::string& line : result.responseLines) messages << DisplayText(line);
    if (!request.bDiff) messages << LineEndsMessage(request.lineEnds);
    if (paneCut) messages << QStringLiteral("Only the first %1 lines are shown, long lines cut").arg(paneLines);
    if (result.bOutputCut)
        messages << QStringLiteral("The run stopped where the edited text passed %1 MiB").arg(kOutputLimit >> 20);
    if (sample.bCut)
        messages << QStringLiteral("Only the first %1 MiB of the source were run").arg(kSourceLimit >> 20);
    pane.messages = messages.join(QLatin1Char('\n'));
    return pane;
}

}  // namespace tavisk::ui
