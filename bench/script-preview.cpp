// Times typing in the script editor with the preview on: how long the window
// thread takes for each keystroke, the longest it was busy without answering
// (a 10 ms timer's longest gap, and the most processor time the thread used
// within one gap: on a loaded machine a gap is mostly waiting for a
// processor), and how long after the last keystroke the pane shows the
// result.  The keys go through the window system.
//
//   tavisk-bench-preview SOURCE [KEYS] [MS-BETWEEN-KEYS]
//
// Needs a display (run it under xvfb-run).
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "WindowGapMeter.h"
#include "dialogs/ControlIds.h"
#include "dialogs/DialogTemplate.h"
#include "dialogs/ScriptEditDlg.h"

using namespace tavisk::ui;

namespace {

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SOURCE [KEYS] [MS-BETWEEN-KEYS]\n", argv[0]);
        return 2;
    }
    const QString keys = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("r/the/THE/,g/ and / & /");
    const int pauseMs = argc > 3 ? std::atoi(argv[3]) : 120;
    std::vector<std::string> lines;
    CScriptEditDlg dlg;
    dlg.m_pScriptLines = &lines;
    dlg.m_sourcePaths = {QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath()};
    dlg.m_bPreview = true;
    dlg.show();
    dlg.activateWindow();
    if (!QTest::qWaitForWindowActive(&dlg)) return 1;
    while (dlg.IsPreviewBusy()) QTest::qWait(1);

    WindowGapMeter gaps;
    gaps.Start();
    auto* edit = DlgItem<QPlainTextEdit>(dlg, IDC_SCRIPT_EDIT);
    std::vector<double> keyMs;
    for (const QChar key : keys) {
        QElapsedTimer one;
        one.start();
        QTest::keyClick(edit->window()->windowHandle(), key.toLatin1());
        keyMs.push_back(one.nsecsElapsed() / 1e6);
        if (keyMs.size() < size_t(keys.size())) QTest::qWait(pauseMs);
    }
    QElapsedTimer untilShown;
    untilShown.start();
    while (dlg.IsPreviewBusy()) QTest::qWait(1);
    const qint64 shownMs = untilShown.elapsed();
    QTest::qWait(50);
    gaps.Stop();
    std::sort(keyMs.begin(), keyMs.end());
    std::printf("keys typed          %zu, %d ms apart: %s\n", keyMs.size(), pauseMs, qPrintable(edit->toPlainText()));
    std::printf("per key (window)    median %.2f ms, max %.2f ms\n", keyMs[keyMs.size() / 2], keyMs.back());
    std::printf("longest busy gap    %lld ms (at most %.1f ms of it on the processor)\n",
                static_cast<long long>(gaps.longestGapMs), gaps.busiestGapCpuMs);
    std::printf("pane shown          %lld ms after the last key\n", static_cast<long long>(shownMs));
    return 0;
}
