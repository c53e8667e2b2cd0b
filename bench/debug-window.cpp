// Times a debug run of the desktop program on one source file: how long the
// Debug Window takes to show the whole text, the longest the window thread
// was busy without answering (a click waits that long at most), and the
// peak memory against the size of the text.  With --stop-after MS it answers
// Yes to "Done" after MS milliseconds and times how long the stop takes.
// The script copies the whole file in one command ("te"), or is LINE.
//
//   tavisk-bench-debug SOURCE [--stop-after MS] [--script LINE]
//
// Needs a display (run it under xvfb-run; see bench/debug-window.sh).
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <time.h>

#include <cstdio>
#include <string>

#include "BatchDlg.h"
#include "WindowGapMeter.h"
#include "dialogs/ControlIds.h"
#include "dialogs/DebugDlg.h"
#include "dialogs/DialogTemplate.h"
#include "Prompter.h"

using namespace tavisk::ui;

namespace {

// Answers every question Yes and prints every error box.
class BenchPrompter final : public Prompter {
public:
    void ShowError(QWidget*, const QString& text) override { std::fprintf(stderr, "error box: %s\n", qPrintable(text)); }
    bool AskYesNo(QWidget*, const QString&) override { return true; }
    void DismissQuestion() override {}
    QStringList ChooseOpenFiles(QWidget*, const QString&) override { return {}; }
    QString ChooseOpenFile(QWidget*, const QString&) override { return {}; }
    QString ChooseSaveFile(QWidget*) override { return {}; }
    QString ChooseFolder(QWidget*, const QString&) override { return {}; }
    int RunDialog(QDialog& dialog) override { return dialog.exec(); }
};

long StatusKilobytes(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field)) return line.mid(static_cast<int>(std::strlen(field))).trimmed().split(' ').value(0).toLong();
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: %s SOURCE [--stop-after MS] [--script LINE]\n", argv[0]);
        return 2;
    }
    const QString source = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    int stopAfterMs = -1;
    std::string script = "te";
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--stop-after") stopAfterMs = std::atoi(argv[i + 1]);
        if (std::string(argv[i]) == "--script") script = argv[i + 1];
    }
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    QCoreApplication::setOrganizationName(QStringLiteral("Kestrine"));
    QCoreApplication::setApplicationName(QStringLiteral("TaviskBench"));

    BenchPrompter prompter;
    CBatchDlg dlg(prompter);
    dlg.show();
    dlg.Batch().m_arrScriptLines = {script};
    dlg.Batch().m_strDestFolder = home.path().toStdString();
    dlg.Batch().m_sources.SetPaths({QFile::encodeName(source).toStdString()});
    DlgItem<QAbstractButton>(dlg, IDC_DEBUG)->setChecked(true);
    QApplication::processEvents();
    const long baseKb = StatusKilobytes("VmRSS:");

    WindowGapMeter gaps;

    QElapsedTimer clock;
    QEventLoop finished;
    QObject::connect(&dlg, &CBatchDlg::BatchFinished, &finished, &QEventLoop::quit);
    qint64 stopMs = -1;
    if (stopAfterMs >= 0)
        QTimer::singleShot(stopAfterMs, &dlg, [&] {
            QElapsedTimer stop;
            stop.start();
            dlg.OnOK();  // answered Yes: stops the batch and waits for it
            stopMs = stop.elapsed();
            finished.quit();
        });
    clock.start();
    gaps.Start();
    dlg.OnStartBulkEdit();
    if (dlg.IsBatchRunning()) finished.exec();
    QApplication::processEvents();  // the last chunk painted
    const qint64 shownMs = clock.elapsed();
    gaps.Stop();

    const qint64 textBytes = QFileInfo(source).size();
    const qint64 shownChars = dlg.DebugWindow()->Text().size();
    const long peakKb = StatusKilobytes("VmHWM:");
    std::printf("source            %lld bytes\n", static_cast<long long>(textBytes));
    std::printf("characters shown  %lld\n", static_cast<long long>(shownChars));
    if (stopMs >= 0)
        std::printf("stop took         %lld ms (Done answered Yes after %d ms)\n", static_cast<long long>(stopMs), stopAfterMs);
    else
        std::printf("shown whole after %lld ms\n", static_cast<long long>(shownMs));
    std::printf("longest busy gap  %lld ms (at most %.1f ms of it on the processor)\n", static_cast<long long>(gaps.longestGapMs),
                gaps.busiestGapCpuMs);
    std::printf("peak memory       %ld KiB (%ld KiB before the run; %.1f times the text)\n", peakKb, baseKb,
                textBytes > 0 ? double(peakKb - baseKb) * 1024.0 / double(textBytes) : 0.0);
    return 0;
}
