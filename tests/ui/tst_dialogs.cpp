// The small dialogs on their own: syntax error, Debug Window, response name and view.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "dialogs/ControlIds.h"
#include "dialogs/DebugDlg.h"
#include "dialogs/DialogTemplate.h"
#include "dialogs/ResponseNameDlg.h"
#include "dialogs/ResponseViewDlg.h"
#include "dialogs/SyntaxErrorDlg.h"
#include "UiTestSupport.h"

using namespace tavisk::ui;
using namespace tavisk::ui::test;

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void syntaxErrorShowsScriptTextLiterally();
    void syntaxErrorClosesAnyWayAsCancel_data();
    void syntaxErrorClosesAnyWayAsCancel();
    void debugWindowAppendsAtTheEndOnly();
    void debugWindowCannotBeClosedByTheUser();
    void dialogsLeaveWindowsWithoutOwnerUsable();
    void responseNameRefusesAnEmptyName_data();
    void responseNameRefusesAnEmptyName();
    void responseViewIsASnapshotWithTabsExpanded();
};

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
    if (how == 0) DlgItem<QPushButton>(dlg, IDCANCEL)->click();
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
}

void TestDialogs::debugWindowCannotBeClosedByTheUser() {
    QWidget owner;
    CDebugDlg dlg(&owner);
    ShowAndSettle(dlg);
    QVERIFY(!(dlg.windowFlags() & Qt::WindowCloseButtonHint));
    dlg.close();
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QTest::keyClick(&dlg, Qt::Key_Return);
    QVERIFY(dlg.isVisible());
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
    DlgItem<QPushButton>(dlg, IDOK)->click();
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
    DlgItem<QPushButton>(dlg, IDOK)->click();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
