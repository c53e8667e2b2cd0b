// The small dialogs on their own: syntax error, Debug Window, response name and view.
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QScreen>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>

#include "BatchDlg.h"
#include "dialogs/ControlIds.h"
#include "dialogs/DebugDlg.h"
#include "dialogs/DialogTemplate.h"
#include "dialogs/ResponseNameDlg.h"
#include "dialogs/ResponseViewDlg.h"
#include "dialogs/ScriptEditDlg.h"
#include "dialogs/SyntaxErrorDlg.h"
#include "help/HelpTopics.h"
#include "UiTestSupport.h"
#include "WindowPlacement.h"

using namespace tavisk::ui;
using namespace tavisk::ui::test;

namespace {

// Every dialog of the program, built as the program builds it.
struct DialogMaker {
    const char* name;
    std::function<std::unique_ptr<QDialog>(Prompter&)> make;
    const char* helpPage;  // what F1 opens in it
};

const DialogMaker kEveryDialog[] = {
    {"main", [](Prompter& prompter) { return std::unique_ptr<QDialog>(new CBatchDlg(prompter)); }, "main-dialog.html"},
    {"script editor", [](Prompter&) { return std::unique_ptr<QDialog>(new CScriptEditDlg); }, "script-editor.html"},
    {"script editor with preview",
     [](Prompter&) {
         auto editor = std::make_unique<CScriptEditDlg>();
         editor->m_bPreview = true;
         return std::unique_ptr<QDialog>(editor.release());
     },
     "script-editor.html"},
    {"syntax error", [](Prompter&) { return std::unique_ptr<QDialog>(new CSyntaxErrorDlg); }, "syntax-error.html"},
    {"debug window", [](Prompter&) { return std::unique_ptr<QDialog>(new CDebugDlg(nullptr)); }, "debug-mode.html"},
    {"response name", [](Prompter&) { return std::unique_ptr<QDialog>(new CResponseNameDlg); }, "response-file.html"},
    {"response view", [](Prompter&) { return std::unique_ptr<QDialog>(new CResponseViewDlg); }, "response-file.html"},
};

}  // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void everyControlTakesAClickAtItsCentre_data();
    void everyControlTakesAClickAtItsCentre();
    void f1OpensTheHelpOfTheDialog();
    void f1OpensThePageOfEachDialog_data();
    void f1OpensThePageOfEachDialog();
    void accessKeysAreUniquePerDialog_data();
    void accessKeysAreUniquePerDialog();
    void debugWindowPlacement_data();
    void debugWindowPlacement();
    void syntaxErrorShowsScriptTextLiterally();
    void syntaxErrorClosesAnyWayAsCancel_data();
    void syntaxErrorClosesAnyWayAsCancel();
    void debugWindowAppendsAtTheEndOnly();
    void debugWindowCloseBoxHidesIt();
    void dialogsLeaveWindowsWithoutOwnerUsable();
    void responseNameRefusesAnEmptyName_data();
    void responseNameRefusesAnEmptyName();
    void responseViewIsASnapshotWithTabsExpanded();
};

void TestDialogs::everyControlTakesAClickAtItsCentre_data() {
    QTest::addColumn<int>("dialog");
    for (int i = 0; i < int(std::size(kEveryDialog)); ++i) QTest::newRow(kEveryDialog[i].name) << i;
}

void TestDialogs::everyControlTakesAClickAtItsCentre() {
    // A control lying under another would never get the user's clicks.
    QFETCH(int, dialog);
    TestHome home;
    FakePrompter prompter;
    const std::unique_ptr<QDialog> dlg = kEveryDialog[dialog].make(prompter);
    ShowAndSettle(*dlg);
    int checked = 0;
    for (QWidget* control : dlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        // Template controls only; a group box only frames the controls inside it.
        if (!control->property("caption").isValid() || qobject_cast<QGroupBox*>(control)) continue;
        // A pane not opened (the editor's preview) is checked in its own row.
        if (!control->isVisibleTo(dlg.get())) continue;
        QWidget* hit = dlg->childAt(control->geometry().center());
        QVERIFY2(hit == control || control->isAncestorOf(hit),
                 qPrintable(QStringLiteral("%1 lies under %2").arg(ControlCaption(*control), hit ? hit->metaObject()->className() : "nothing")));
        ++checked;
    }
    QVERIFY(checked > 0);
}

void TestDialogs::f1OpensTheHelpOfTheDialog() {
    // The help file is found by the program's name: the help window appears
    // only where the built help file lies next to this test.
    FakePrompter prompter;
    TestHome home;
    CBatchDlg main(prompter);
    CScriptEditDlg editor(&main);
    for (QDialog* dlg : {static_cast<QDialog*>(&main), static_cast<QDialog*>(&editor)}) {
        ShowAndSettle(*dlg);
        dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dlg));
        bool helpAsked = false;
        QObject::connect(DlgItem<QAbstractButton>(*dlg, ID_HELP), &QAbstractButton::clicked, dlg, [&] { helpAsked = true; });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        QVERIFY2(helpAsked, qPrintable(dlg->windowTitle()));
        dlg->hide();
    }
}

void TestDialogs::syntaxErrorShowsScriptTextLiterally() {
    CSyntaxErrorDlg dlg;
    dlg.m_strMessage = QStringLiteral("Unknown command x");
    dlg.m_strLineNo = QStringLiteral("3:");
    dlg.m_strCommandLine = QStringLiteral("r/&Save/<b>Keep</b>/,te ") + QString(200, QLatin1Char('y'));
    dlg.m_strProcessed = QStringLiteral("r/&Save/");
    ShowAndSettle(dlg);
    SaveScreenshot(dlg, QStringLiteral("syntax-error"));

    QCOMPARE(dlg.windowTitle(), QStringLiteral("Command Syntx Error"));
    for (int id : {IDC_SYNTAX_MESSAGE, IDC_SYNTAX_LINE, IDC_SYNTAX_PROCESSED, IDC_SYNTAX_LINE_NO}) {
        auto* label = DlgItem<QLabel>(dlg, id);
        QVERIFY(label);
        QCOMPARE(label->font().pointSize(), 12);
        QCOMPARE(label->textFormat(), Qt::PlainText);  // no markup, "&" stays
        QVERIFY(!label->wordWrap());                    // long lines are cut
        QVERIFY(!label->buddy());
    }
    QCOMPARE(DlgItem<QLabel>(dlg, IDC_SYNTAX_LINE)->text(), dlg.m_strCommandLine);
    QCOMPARE(DlgItem<QLabel>(dlg, IDC_SYNTAX_PROCESSED)->text(), QStringLiteral("r/&Save/"));
    QCOMPARE(DlgItem<QLabel>(dlg, IDC_SYNTAX_LINE_NO)->text(), QStringLiteral("3:"));
    // The long line keeps the label's width instead of growing the dialog.
    QVERIFY(DlgItem(dlg, IDC_SYNTAX_LINE)->geometry().right() < dlg.width());
    // "Done" is first in the tab order and takes the focus.
    QCOMPARE(ControlCaption(*DlgItem(dlg, IDCANCEL)), QStringLiteral("Done"));
}

void TestDialogs::syntaxErrorClosesAnyWayAsCancel_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("Done") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("close box") << 2;
}

void TestDialogs::syntaxErrorClosesAnyWayAsCancel() {
    QFETCH(int, how);
    CSyntaxErrorDlg dlg;
    ShowAndSettle(dlg);
    if (how == 0) ClickControl(dlg, IDCANCEL);
    if (how == 1) QTest::keyClick(&dlg, Qt::Key_Escape);
    if (how == 2) dlg.close();
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
}

void TestDialogs::debugWindowAppendsAtTheEndOnly() {
    QWidget owner;
    CDebugDlg dlg(&owner);
    QVERIFY(!dlg.isVisible());
    dlg.AppendText(QStringLiteral("first\r\n"));
    // The user types at the start; appended text still goes to the end.
    auto* edit = DlgItem<QPlainTextEdit>(dlg, IDC_DEBUG_TEXT);
    QTextCursor cursor = edit->textCursor();
    cursor.movePosition(QTextCursor::Start);
    edit->setTextCursor(cursor);
    edit->insertPlainText(QStringLiteral(">"));
    dlg.AppendText(QStringLiteral("second\r\n"));
    dlg.AppendText(QStringLiteral("caf\u00E9 \u00A3\r\n"));
    QCOMPARE(dlg.Text(), QStringLiteral(">first\nsecond\ncaf\u00E9 \u00A3\n"));
    QVERIFY(edit->lineWrapMode() == QPlainTextEdit::NoWrap);
    ShowAndSettle(dlg);
    SaveScreenshot(dlg, QStringLiteral("debug-window"));
    dlg.ClearText();
    QCOMPARE(dlg.Text(), QString());

    // Many lines, in chunks of any size, read back line for line; they
    // share paragraphs of the document, which keeps a large run fast.
    QString lines;
    for (int i = 0; i < 1000; ++i) lines += QStringLiteral("line %1\r\n").arg(i);
    for (qsizetype at = 0; at < lines.size();) {
        const qsizetype end = std::min<qsizetype>(lines.indexOf(QLatin1Char('\n'), at + 700) + 1, lines.size());
        dlg.AppendText(lines.mid(at, (end > 0 ? end : lines.size()) - at));
        at = end > 0 ? end : lines.size();
    }
    QString expected = lines;
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QCOMPARE(dlg.Text(), expected);
    QVERIFY(edit->document()->blockCount() < 100);
}

void TestDialogs::debugWindowCloseBoxHidesIt() {
    // The close box hides the window, as the Debug button does; Escape and Enter do nothing.
    QWidget owner;
    CDebugDlg dlg(&owner);
    ShowAndSettle(dlg);
    QVERIFY(dlg.windowFlags() & Qt::WindowCloseButtonHint);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QTest::keyClick(&dlg, Qt::Key_Return);
    QVERIFY(dlg.isVisible());
    dlg.close();
    QVERIFY(!dlg.isVisible());
    dlg.AppendText(QStringLiteral("kept\r\n"));
    dlg.ShowBeside(owner);
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.Text(), QStringLiteral("kept\n"));
}

void TestDialogs::f1OpensThePageOfEachDialog_data() {
    QTest::addColumn<int>("dialog");
    for (int i = 0; i < int(std::size(kEveryDialog)); ++i) QTest::newRow(kEveryDialog[i].name) << i;
}

void TestDialogs::f1OpensThePageOfEachDialog() {
    QFETCH(int, dialog);
    TestHome home;
    FakePrompter prompter;
    const std::unique_ptr<QDialog> dlg = kEveryDialog[dialog].make(prompter);
    ShowAndSettle(*dlg);
    dlg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    QList<int> topics;
    QObject::connect(static_cast<CTemplateDialog*>(dlg.get()), &CTemplateDialog::HelpRequested, dlg.get(),
                     [&](int topic) { topics << topic; });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    QCOMPARE(topics.size(), 1);
    QCOMPARE(QString::fromStdString(HelpPageForTopic(topics[0])), QString::fromUtf8(kEveryDialog[dialog].helpPage));
}

void TestDialogs::accessKeysAreUniquePerDialog_data() { f1OpensThePageOfEachDialog_data(); }

void TestDialogs::accessKeysAreUniquePerDialog() {
    // Alt+letter must lead to one control only.
    QFETCH(int, dialog);
    TestHome home;
    FakePrompter prompter;
    const std::unique_ptr<QDialog> dlg = kEveryDialog[dialog].make(prompter);
    QMap<QString, QString> owners;
    for (QWidget* control : dlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QString text;
        if (auto* button = qobject_cast<QAbstractButton*>(control)) text = button->text();
        if (auto* label = qobject_cast<QLabel*>(control); label && label->buddy()) text = label->text();
        const QString key = QKeySequence::mnemonic(text).toString();
        if (key.isEmpty()) continue;
        QVERIFY2(!owners.contains(key), qPrintable(QStringLiteral("%1 is both %2 and %3").arg(key, owners.value(key), text)));
        owners.insert(key, text);
    }
}

void TestDialogs::debugWindowPlacement_data() {
    // The owner's frame and the screen; the placed window never covers the
    // owner and lies within the screen, at the wanted size where there is room.
    QTest::addColumn<QRect>("owner");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QSize>("expectedSize");
    const QSize wanted(765, 301);
    QTest::newRow("1366x768, owner centred: right of it")
        << QRect(473, 50, 420, 650) << QRect(0, 0, 1366, 768) << QSize(1366 - 893 - kPlacementGap, 301);
    QTest::newRow("wide screen: whole, right") << QRect(100, 100, 420, 650) << QRect(0, 0, 1920, 1080) << wanted;
    QTest::newRow("owner at the right edge: left of it") << QRect(1400, 100, 420, 650) << QRect(0, 0, 1920, 1080) << wanted;
    QTest::newRow("wide owner: below it") << QRect(0, 0, 1900, 500) << QRect(0, 0, 1920, 1080) << wanted;
    QTest::newRow("second screen") << QRect(2000, 0, 420, 650) << QRect(1920, 0, 1920, 1080) << wanted;
    QTest::newRow("screen at negative offset") << QRect(-1500, 10, 420, 650) << QRect(-1920, 0, 1920, 1080) << wanted;
    QTest::newRow("small screen, owner centred") << QRect(190, 0, 420, 600) << QRect(0, 0, 800, 600)
                                                 << QSize(800 - 610 - kPlacementGap, 301);
}

void TestDialogs::debugWindowPlacement() {
    QFETCH(QRect, owner);
    QFETCH(QRect, screen);
    QFETCH(QSize, expectedSize);
    const QRect placed = PlaceBeside(owner, QSize(765, 301), screen);
    QVERIFY2(!placed.intersects(owner), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(placed.x()).arg(placed.y()).arg(placed.width()).arg(placed.height())));
    QVERIFY(screen.contains(placed));
    QCOMPARE(placed.size(), expectedSize);
}

void TestDialogs::dialogsLeaveWindowsWithoutOwnerUsable() {
    // Application-modal dialogs would block the help window, which has no owner.
    QWidget owner;
    CSyntaxErrorDlg syntax(&owner);
    CResponseNameDlg name(&owner);
    CResponseViewDlg view(&owner);
    for (QDialog* dialog : std::initializer_list<QDialog*>{&syntax, &name, &view})
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    CDebugDlg debug(&owner);
    ShowAndSettle(debug);
    QCOMPARE(debug.windowModality(), Qt::NonModal);
    QVERIFY(!debug.isModal());
}

void TestDialogs::responseNameRefusesAnEmptyName_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("spaces") << QStringLiteral("  ") << true;
    QTest::newRow("name") << QStringLiteral("log.txt") << true;
}

void TestDialogs::responseNameRefusesAnEmptyName() {
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    CResponseNameDlg dlg;
    dlg.m_strResponseName = QStringLiteral("re$pon$e.txt");
    ShowAndSettle(dlg);
    auto* edit = DlgItem<QLineEdit>(dlg, IDC_RESPONSE_NAME);
    QCOMPARE(edit->text(), QStringLiteral("re$pon$e.txt"));
    SaveScreenshot(dlg, QStringLiteral("response-name"));
    edit->setText(typed);
    ClickControl(dlg, IDOK);
    QCOMPARE(dlg.isVisible(), !accepted);
    if (accepted) {
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_strResponseName, typed);
    }
}

void TestDialogs::responseViewIsASnapshotWithTabsExpanded() {
    std::vector<std::string> lines = {"a.txt", "\tRun past End-of-Line doing tl", "b\xA3.txt", " Batch Completed without Errors"};
    CResponseViewDlg dlg;
    dlg.m_pResponseLines = &lines;
    ShowAndSettle(dlg);
    lines.push_back("added later");
    auto* list = DlgItem<QListWidget>(dlg, IDC_RESPONSE_LIST);
    QCOMPARE(list->count(), 4);
    QCOMPARE(list->item(1)->text(), QStringLiteral("\tRun past End-of-Line doing tl"));
    QCOMPARE(list->item(2)->text(), QStringLiteral("b\u00A3.txt"));
    QCOMPARE(list->selectionMode(), QAbstractItemView::NoSelection);
    SaveScreenshot(dlg, QStringLiteral("response-view"));
    ClickControl(dlg, IDOK);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
