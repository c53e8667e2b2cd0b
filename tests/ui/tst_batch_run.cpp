// Runs from the main dialog: the syntax check, the worker and its window
// calls, debug mode, the response dialogs, and "Done" while a batch runs.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "BatchDlg.h"
#include "DialogBatchWindow.h"
#include "DisplayText.h"
#include "RunProcess.h"
#include "dialogs/ControlIds.h"
#include "dialogs/DebugDlg.h"
#include "dialogs/DialogTemplate.h"
#include "UiTestSupport.h"

using namespace tavisk;
using namespace tavisk::ui;
using namespace tavisk::ui::test;

namespace {

constexpr int kRunTimeoutMs = 20000;

// Source files in home/in, outputs in home/out.
struct Batch {
    TestHome& home;
    FakePrompter prompter;
    CBatchDlg dlg{prompter};

    explicit Batch(TestHome& testHome, const std::vector<std::string>& script) : home(testHome) {
        QDir().mkpath(home.Path("in"));
        QDir().mkpath(home.Path("out"));
        dlg.Batch().m_arrScriptLines = script;
        dlg.Batch().m_strDestFolder = home.Path("out").toStdString();
    }
    void Sources(const std::vector<std::pair<QString, std::string>>& files) {
        QStringList paths;
        for (const auto& [name, bytes] : files) {
            WriteBytes(In(name), bytes);
            paths << In(name);
        }
        prompter.openFilesAnswers.push_back(paths);
        dlg.OnBrowseSources();
    }
    QString In(const QString& name) const { return home.Path("in/" + name); }
    QString Out(const QString& name) const { return home.Path("out/" + name); }
    void Check(int id, bool on) { DlgItem<QAbstractButton>(dlg, id)->setChecked(on); }
    QString Status() const { return DlgItem<QLabel>(dlg, IDC_STATUS)->text(); }
    QProgressBar* Progress() const { return DlgItem<QProgressBar>(dlg, IDC_PROGRESS); }
    bool Run() {
        QSignalSpy finished(&dlg, &CBatchDlg::BatchFinished);
        dlg.OnStartBulkEdit();
        if (!dlg.IsBatchRunning()) return false;
        return finished.wait(kRunTimeoutMs);
    }
    const std::vector<std::string>& Response() { return dlg.Batch().m_log.m_arrResponseLines; }
};

}  // namespace

class TestBatchRun : public QObject {
    Q_OBJECT
private slots:
    void init() { m_home = std::make_unique<TestHome>(); }
    void syntaxErrorStopsTheStart();
    void syntaxErrorShowsAmpersandAndCommentCountedLineNumber();
    void fullRunShowsProgressAndVerdict();
    void errorVerdict();
    void fileErrorFromTheWorker();
    void controlsAreDisabledWhileRunning();
    void debugRunShowsTheFirstFileOnly();
    void debugTextOfALargeFileEqualsTheCli();
    void progressMovesWithinALargeFile();
    void nonDebugRunHidesTheDebugWindow();
    void debugClickRule();
    void responseFileNameDialog();
    void responseViewShowsTheLastRun();
    void responseFileWrittenWhenChecked();
    void doneWhileRunningAnsweredNo();
    void doneWhileRunningStopsAndCloses();
    void stopQuestionGoesWhenTheRunEnds();
    void responseFileErrorSaysItIsTheResponseFile();
    void doneInsideAStreamedFileDropsItsOutput();

private:
    std::unique_ptr<TestHome> m_home;
};

void TestBatchRun::syntaxErrorStopsTheStart() {
    Batch b(*m_home, {"te", ""});
    b.Sources({{"a.txt", "old\r\n"}});
    QStringList shown;
    b.prompter.dialogAnswers.push_back([&](QDialog& dialog) {
        ShowAndSettle(dialog);
        for (int id : {IDC_SYNTAX_MESSAGE, IDC_SYNTAX_LINE_NO, IDC_SYNTAX_LINE, IDC_SYNTAX_PROCESSED})
            shown << DlgItem<QLabel>(dialog, id)->text();
        return ClickAfterShowing(dialog, IDCANCEL);
    });
    b.dlg.OnStartBulkEdit();
    QCOMPARE(b.prompter.dialogTitles, QStringList{QStringLiteral("Command Syntx Error")});
    QCOMPARE(shown, (QStringList{"Command incomplete at end of line", "2:", "", ""}));
    QVERIFY(!b.dlg.IsBatchRunning());
    QVERIFY(!Exists(b.Out("a.txt")));
    QVERIFY(b.Response().empty());
    QVERIFY(DlgItem(b.dlg, IDC_START)->isEnabled());
}

void TestBatchRun::syntaxErrorShowsAmpersandAndCommentCountedLineNumber() {
    // An unknown command on the third line, after a comment line.
    Batch b(*m_home, {"// a comment", "r/a/b/", "r/&/+/,x"});
    b.Sources({{"a.txt", "a\r\n"}});
    QString line;
    QString lineNo;
    QString message;
    b.prompter.dialogAnswers.push_back([&](QDialog& dialog) {
        ShowAndSettle(dialog);
        SaveScreenshot(dialog, QStringLiteral("syntax-error-from-start"));
        line = DlgItem<QLabel>(dialog, IDC_SYNTAX_LINE)->text();
        lineNo = DlgItem<QLabel>(dialog, IDC_SYNTAX_LINE_NO)->text();
        message = DlgItem<QLabel>(dialog, IDC_SYNTAX_MESSAGE)->text();
        return ClickAfterShowing(dialog, IDCANCEL);
    });
    b.dlg.OnStartBulkEdit();
    QCOMPARE(lineNo, QStringLiteral("3:"));
    QCOMPARE(line, QStringLiteral("r/&/+/,x"));
    QCOMPARE(message, QStringLiteral("x : Command not recognised"));
    QVERIFY(!b.dlg.IsBatchRunning());
}

void TestBatchRun::fullRunShowsProgressAndVerdict() {
    Batch b(*m_home, {"r/old/new/,te"});
    b.Sources({{"a.txt", "one old line\r\nlast\r\n"}, {"b.txt", "old\n"}});
    QVERIFY(b.Run());
    QCOMPARE(ReadBytes(b.Out("a.txt")), std::string("one new line\r\nlast\r\n"));
    QCOMPARE(ReadBytes(b.Out("b.txt")), std::string("new\r\n"));
    QCOMPARE(b.Status(), QStringLiteral(" Batch Completed without Errors"));
    QCOMPARE(b.Progress()->maximum(), 2 * kProgressUnitsPerFile);
    QCOMPARE(b.Progress()->value(), 2 * kProgressUnitsPerFile);
    QCOMPARE(b.Response(), (std::vector<std::string>{"a.txt", "b.txt", " Batch Completed without Errors"}));
    QVERIFY(b.prompter.errors.isEmpty());
    QVERIFY(DlgItem(b.dlg, IDC_START)->isEnabled());
    ShowAndSettle(b.dlg);
    SaveScreenshot(b.dlg, QStringLiteral("main-dialog-after-run"));
}

void TestBatchRun::errorVerdict() {
    Batch b(*m_home, {"r/old/new/,te"});
    b.Sources({{"a.txt", "nothing here\r\n"}});
    QVERIFY(b.Run());
    QCOMPARE(b.Status(), QStringLiteral("**** Errors during Processing"));
    QCOMPARE(b.Response().back(), std::string("**** Errors during Processing"));
}

void TestBatchRun::fileErrorFromTheWorker() {
    Batch b(*m_home, {"te"});
    b.Sources({{"a.txt", "x\r\n"}, {"b.txt", "y\r\n"}});
    const QString missingFolder = m_home->Path("no-such-folder");
    b.dlg.Batch().m_strDestFolder = missingFolder.toStdString();
    QVERIFY(b.Run());
    QCOMPARE(b.prompter.errors.size(), 1);
    QVERIFY(b.prompter.errors[0].contains(missingFolder + "/a.txt"));
    // The batch ended after the first file's header line.
    QCOMPARE(b.Response().front(), std::string("a.txt"));
    QVERIFY(std::find(b.Response().begin(), b.Response().end(), "b.txt") == b.Response().end());
}

void TestBatchRun::controlsAreDisabledWhileRunning() {
    Batch b(*m_home, {"te"});
    b.Sources({{"a.txt", "x\r\n"}});
    // The worker's first window call waits for this thread, so the run is
    // still going when the handler returns.
    QSignalSpy finished(&b.dlg, &CBatchDlg::BatchFinished);
    b.dlg.OnStartBulkEdit();
    QVERIFY(b.dlg.IsBatchRunning());
    const int runState[] = {IDC_BROWSE_SOURCES, IDC_LOCATE_SCRIPT, IDC_DEST_FOLDER_BUTTON, IDC_NEW_SCRIPT,
                            IDC_EDIT_SCRIPT,    IDC_START,         IDC_VIEW_RESPONSE,      IDC_RESPONSE_FILE_NAME, IDC_DEBUG,
                            IDC_LINE_ENDS};
    for (int id : runState) QVERIFY2(!DlgItem(b.dlg, id)->isEnabled(), qPrintable(QString::number(id)));
    for (int id : {IDOK, IDC_REMEMBER, IDC_SAVE_RESPONSE, ID_HELP}) QVERIFY(DlgItem(b.dlg, id)->isEnabled());
    b.dlg.OnStartBulkEdit();  // a second start is refused while one runs
    // Refused: no action at all is answered, so the file manager keeps its files.
    QCOMPARE(DropAnswerAt(b.dlg, DlgItem(b.dlg, IDC_START)->geometry().center(), {b.In("a.txt")}), Qt::IgnoreAction);
    QVERIFY(finished.wait(kRunTimeoutMs));
    QCOMPARE(finished.size(), 1);
    for (int id : runState) QVERIFY(DlgItem(b.dlg, id)->isEnabled());
    QVERIFY(!DlgItem(b.dlg, IDC_SAVE_SCRIPT)->isEnabled());
}

void TestBatchRun::debugRunShowsTheFirstFileOnly() {
    Batch b(*m_home, {"te"});
    std::vector<std::pair<QString, std::string>> files = {{"a.txt", "one\r\ntwo\nthree\r\n"}};
    for (char c = 'b'; c <= 'e'; ++c) files.push_back({QString(QLatin1Char(c)) + ".txt", "other\r\n"});
    b.Sources(files);
    b.Check(IDC_DEBUG, true);
    b.Check(IDC_SAVE_RESPONSE, true);
    ShowAndSettle(b.dlg);
    QVERIFY(b.Run());
    CDebugDlg* debug = b.dlg.DebugWindow();
    QVERIFY(debug->isVisible());
    // Beside the main window, not over it, and on the screen.
    QVERIFY(!debug->frameGeometry().intersects(b.dlg.frameGeometry()));
    QVERIFY(b.dlg.screen()->availableGeometry().contains(debug->frameGeometry()));
    QCOMPARE(debug->Text(), QStringLiteral("one\ntwo\nthree\n"));
    SaveScreenshot(*debug, QStringLiteral("debug-window-after-run"));
    QCOMPARE(b.Progress()->value(), 1 * kProgressUnitsPerFile);
    QCOMPARE(b.Progress()->maximum(), 5 * kProgressUnitsPerFile);
    QCOMPARE(QDir(m_home->Path("out")).entryList(QDir::Files), QStringList{"re$pon$e.txt"});
    QCOMPARE(b.Response(), (std::vector<std::string>{"a.txt", " Batch Completed without Errors"}));

    // A second debug run empties the window first.
    WriteBytes(b.In("a.txt"), "new\r\n");
    QVERIFY(b.Run());
    QCOMPARE(debug->Text(), QStringLiteral("new\n"));
}

void TestBatchRun::debugTextOfALargeFileEqualsTheCli() {
    // Several chunks, lines of every kind: empty, long, UTF-8, Windows-1252, LF only.
    std::string source;
    for (int i = 0; source.size() < 3 * DialogBatchWindow::kDebugChunkBytes; ++i) {
        source += "line " + std::to_string(i) + (i % 7 == 0 ? " old caf\xC3\xA9" : " \xA3 old") + "\r\n";
        if (i % 100 == 0) source += "\r\n" + std::string(5000, 'x') + "\n";
    }
    Batch b(*m_home, {"r/old/new/,te"});
    b.Sources({{"big.txt", source}});
    b.Check(IDC_DEBUG, true);
    QVERIFY(b.Run());

    const tavisk::test::ProcessResult cli = tavisk::test::RunProcess(
        TAVISK_CLI_PATH, {"-q", "-g", "-e", "r/old/new/,te", m_home->Path("out").toStdString(), b.In("big.txt").toStdString()});
    QCOMPARE(cli.exitStatus, 0);
    QVERIFY(cli.out.size() > source.size() / 2);
    QString expected = DisplayText(cli.out);
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QString shown = b.dlg.DebugWindow()->Text();
    QCOMPARE(shown.size(), expected.size());
    QVERIFY(shown == expected);
}

void TestBatchRun::progressMovesWithinALargeFile() {
    // One file of several reads: the bar moves before the file is done.
    Batch b(*m_home, {"te"});
    b.Sources({{"big.txt", std::string(3 << 20, 'a') + "\r\n"}});
    QList<int> values;
    connect(b.Progress(), &QProgressBar::valueChanged, this, [&](int value) { values << value; });
    QVERIFY(b.Run());
    QCOMPARE(b.Progress()->value(), kProgressUnitsPerFile);
    QVERIFY2(std::any_of(values.begin(), values.end(), [](int v) { return v > 0 && v < kProgressUnitsPerFile; }),
             qPrintable(QString::number(values.size())));
}

void TestBatchRun::nonDebugRunHidesTheDebugWindow() {
    Batch b(*m_home, {"te"});
    b.Sources({{"a.txt", "kept\r\n"}});
    b.Check(IDC_DEBUG, true);
    QVERIFY(b.Run());
    QVERIFY(b.dlg.DebugWindow()->isVisible());
    b.Check(IDC_DEBUG, false);
    QVERIFY(b.Run());
    QVERIFY(!b.dlg.DebugWindow()->isVisible());
    QCOMPARE(b.dlg.DebugWindow()->Text(), QStringLiteral("kept\n"));
    QCOMPARE(ReadBytes(b.Out("a.txt")), std::string("kept\r\n"));
}

void TestBatchRun::debugClickRule() {
    Batch b(*m_home, {"te"});
    b.Sources({{"a.txt", "x\r\n"}});
    auto* debugButton = DlgItem<QPushButton>(b.dlg, IDC_DEBUG);
    ShowAndSettle(b.dlg);
    ClickControl(b.dlg, IDC_DEBUG);  // before any run: nothing shown
    QVERIFY(debugButton->isChecked());
    QVERIFY(!b.dlg.DebugWindow()->isVisible());
    QVERIFY(b.Run());
    QVERIFY(b.dlg.DebugWindow()->isVisible());
    ClickControl(b.dlg, IDC_DEBUG);  // after a debug run: hides it
    QVERIFY(!debugButton->isChecked());
    QVERIFY(!b.dlg.DebugWindow()->isVisible());
    QVERIFY(b.Run());  // a run without debug mode
    b.dlg.DebugWindow()->show();
    ClickControl(b.dlg, IDC_DEBUG);  // after it: no change
    QVERIFY(b.dlg.DebugWindow()->isVisible());
}

void TestBatchRun::responseFileNameDialog() {
    Batch b(*m_home, {"te"});
    QString shownName;
    b.prompter.dialogAnswers.push_back([&](QDialog& dialog) {
        ShowAndSettle(dialog);
        auto* edit = DlgItem<QLineEdit>(dialog, IDC_RESPONSE_NAME);
        shownName = edit->text();
        edit->setText(QStringLiteral("log.txt"));
        return ClickAfterShowing(dialog, IDOK);
    });
    b.dlg.OnResponseFileName();
    QCOMPARE(shownName, QStringLiteral("re$pon$e.txt"));
    QCOMPARE(b.dlg.Batch().m_strResponseFile, std::string("log.txt"));

    b.prompter.dialogAnswers.push_back([](QDialog& dialog) {
        ShowAndSettle(dialog);
        DlgItem<QLineEdit>(dialog, IDC_RESPONSE_NAME)->setText(QStringLiteral("other.txt"));
        return ClickAfterShowing(dialog, IDCANCEL);
    });
    b.dlg.OnResponseFileName();
    QCOMPARE(b.dlg.Batch().m_strResponseFile, std::string("log.txt"));
}

void TestBatchRun::responseViewShowsTheLastRun() {
    Batch b(*m_home, {"r/zz/y/,te"});
    b.Sources({{"a.txt", "x\r\n"}});
    QVERIFY(b.Run());
    QStringList shown;
    b.prompter.dialogAnswers.push_back([&](QDialog& dialog) {
        ShowAndSettle(dialog);
        SaveScreenshot(dialog, QStringLiteral("response-view-after-run"));
        auto* list = DlgItem<QListWidget>(dialog, IDC_RESPONSE_LIST);
        for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
        return ClickAfterShowing(dialog, IDOK);
    });
    b.dlg.OnViewResponse();
    QCOMPARE(shown, (QStringList{"a.txt", "\tRun past end of file performing r/zz/y/,", "**** Errors during Processing"}));
}

void TestBatchRun::responseFileWrittenWhenChecked() {
    Batch b(*m_home, {"te"});
    b.Sources({{"a.txt", "x\r\n"}});
    QVERIFY(b.Run());
    QVERIFY(!Exists(b.Out("re$pon$e.txt")));
    b.Check(IDC_SAVE_RESPONSE, true);
    QVERIFY(b.Run());
    QCOMPARE(ReadBytes(b.Out("re$pon$e.txt")), std::string("a.txt\r\n Batch Completed without Errors\r\n"));
}

void TestBatchRun::doneWhileRunningAnsweredNo() {
    Batch b(*m_home, {"te"});
    b.Sources({{"a.txt", "x\r\n"}});
    QSignalSpy finished(&b.dlg, &CBatchDlg::BatchFinished);
    b.dlg.OnStartBulkEdit();
    b.prompter.yesNoAnswers.push_back(false);
    b.dlg.OnOK();
    QCOMPARE(b.prompter.questions, QStringList{QString::fromUtf8(kStopBatchQuestion)});
    QVERIFY(b.dlg.isVisible() || b.dlg.result() != QDialog::Accepted);
    QVERIFY(finished.wait(kRunTimeoutMs));
    QCOMPARE(ReadBytes(b.Out("a.txt")), std::string("x\r\n"));
    QCOMPARE(b.Status(), QStringLiteral(" Batch Completed without Errors"));
    QCOMPARE(b.dlg.result(), int(QDialog::Rejected));
}

void TestBatchRun::doneWhileRunningStopsAndCloses() {
    Batch b(*m_home, {"te"});
    b.Sources({{"a.txt", "x\r\n"}, {"b.txt", "y\r\n"}});
    ShowAndSettle(b.dlg);
    b.dlg.OnStartBulkEdit();
    QVERIFY(b.dlg.IsBatchRunning());
    b.prompter.yesNoAnswers.push_back(true);
    b.dlg.OnOK();
    // Done returned only after the worker had ended.
    QVERIFY(!b.dlg.IsBatchRunning());
    QVERIFY(!b.dlg.isVisible());
    QCOMPARE(b.dlg.result(), int(QDialog::Accepted));
    QVERIFY(!Exists(b.Out("b.txt")));
    QCOMPARE(b.Response().front(), std::string("a.txt"));
    QVERIFY(std::find(b.Response().begin(), b.Response().end(), std::string(kStoppedLine)) != b.Response().end());
}

void TestBatchRun::stopQuestionGoesWhenTheRunEnds() {
    // Done during a run, and the question left open until the run has ended:
    // it is taken back (as No), and nothing is stopped or closed.
    Batch b(*m_home, {"te"});
    b.Sources({{"a.txt", std::string(8 << 20, 'a') + "\r\n"}});
    ShowAndSettle(b.dlg);
    QSignalSpy finished(&b.dlg, &CBatchDlg::BatchFinished);
    b.dlg.OnStartBulkEdit();
    QVERIFY(b.dlg.IsBatchRunning());
    b.prompter.yesNoAnswers.push_back(true);  // what a late click would have said
    b.prompter.onQuestion = [&] { QVERIFY(finished.wait(kRunTimeoutMs)); };
    b.dlg.OnOK();
    QCOMPARE(b.prompter.questions, QStringList{QString::fromUtf8(kStopBatchQuestion)});
    QVERIFY(b.prompter.questionDismissed);
    QVERIFY(b.dlg.isVisible());
    QCOMPARE(b.Status(), QStringLiteral(" Batch Completed without Errors"));
    QCOMPARE(ReadBytes(b.Out("a.txt")).size(), size_t(8 << 20) + 2);
    // Done now closes without a question.
    b.prompter.onQuestion = nullptr;
    b.dlg.OnOK();
    QCOMPARE(b.prompter.questions.size(), 1);
    QCOMPARE(b.dlg.result(), int(QDialog::Accepted));
}

void TestBatchRun::responseFileErrorSaysItIsTheResponseFile() {
    Batch b(*m_home, {"te"});
    b.Sources({{"a.txt", "x\r\n"}});
    b.dlg.Batch().m_strResponseFile = m_home->Path("missing/log.txt").toStdString();
    b.Check(IDC_SAVE_RESPONSE, true);
    QVERIFY(b.Run());
    QCOMPARE(b.prompter.errors.size(), 1);
    QVERIFY2(b.prompter.errors[0].startsWith(QStringLiteral("The response file cannot be written:\n") + m_home->Path("missing/log.txt")),
             qPrintable(b.prompter.errors[0]));
}

// A source that never ends: a pipe fed with empty lines until the reader
// goes away or ninety seconds pass (a loaded machine under a sanitizer is slow).
class EndlessPipe {
public:
    explicit EndlessPipe(const QString& path) {
        signal(SIGPIPE, SIG_IGN);  // the reader leaving shows as EPIPE
        const QByteArray name = QFile::encodeName(path);
        m_made = mkfifo(name.constData(), 0600) == 0;
        m_feeder = std::thread([this, name] {
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(90);
            int fd = -1;
            while (fd < 0 && std::chrono::steady_clock::now() < giveUp) {  // no reader yet: ENXIO
                fd = open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            if (fd >= 0) fcntl(fd, F_SETFL, 0);
            const std::string chunk(1 << 16, '\n');
            while (fd >= 0 && std::chrono::steady_clock::now() < giveUp) {
                const ssize_t n = write(fd, chunk.data(), chunk.size());
                if (n <= 0) break;
                m_fed += n;
            }
            if (fd >= 0) close(fd);
        });
    }
    ~EndlessPipe() { m_feeder.join(); }
    bool Made() const { return m_made; }
    qint64 Fed() const { return m_fed; }

private:
    bool m_made = false;
    std::atomic<qint64> m_fed{0};
    std::thread m_feeder;
};

void TestBatchRun::doneInsideAStreamedFileDropsItsOutput() {
    Batch b(*m_home, {"te"});
    const QString pipePath = b.In("endless.txt");
    EndlessPipe pipe(pipePath);
    QVERIFY(pipe.Made());
    WriteBytes(b.Out("endless.txt"), "the previous output\r\n");
    b.prompter.openFilesAnswers.push_back({pipePath});
    b.dlg.OnBrowseSources();
    ShowAndSettle(b.dlg);
    b.dlg.OnStartBulkEdit();
    QVERIFY(b.dlg.IsBatchRunning());
    // Past the pipe, the read buffer and the write buffer: some output is on disk.
    QTRY_VERIFY_WITH_TIMEOUT(pipe.Fed() > (qint64{4} << 20), 60000);
    b.prompter.yesNoAnswers.push_back(true);
    b.dlg.OnOK();
    QVERIFY(!b.dlg.IsBatchRunning());
    QCOMPARE(ReadBytes(b.Out("endless.txt")), std::string("the previous output\r\n"));
    QCOMPARE(QDir(m_home->Path("out")).entryList(QDir::Files | QDir::Hidden), QStringList{"endless.txt"});
    QCOMPARE(b.Response(), (std::vector<std::string>{"endless.txt", kStoppedLine, "**** Errors during Processing"}));
}

QTEST_MAIN(TestBatchRun)
#include "tst_batch_run.moc"
