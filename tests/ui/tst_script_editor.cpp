// The script editor and the "&New...", "&Edit..." and "&Save..." buttons.
#include <sys/stat.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QPushButton>
#include <QTest>

#include "BatchDlg.h"
#include "dialogs/ControlIds.h"
#include "dialogs/DialogTemplate.h"
#include "dialogs/ScriptEditDlg.h"
#include "ScriptPreview.h"
#include "Settings.h"
#include "UiTestSupport.h"

using namespace tavisk::ui;
using namespace tavisk::ui::test;
using Lines = std::vector<std::string>;
Q_DECLARE_METATYPE(Lines)

namespace {

QPlainTextEdit* Editor(QDialog& dialog) { return DlgItem<QPlainTextEdit>(dialog, IDC_SCRIPT_EDIT); }

// Answers the editor: `edit` changes its text (or not), then OK or Cancel.
FakePrompter::DialogAnswer EditorAnswer(std::function<void(QPlainTextEdit&)> edit, int button = IDOK,
                                        QString* shownText = nullptr) {
    return [=](QDialog& dialog) {
        ShowAndSettle(dialog);
        if (shownText) *shownText = Editor(dialog)->toPlainText();
        if (edit) edit(*Editor(dialog));
        return ClickAfterShowing(dialog, button);
    };
}

// Replaces the whole text as the user would (setting it would count as no change).
void TypeOver(QPlainTextEdit& edit, const QString& text) {
    edit.selectAll();
    edit.textCursor().removeSelectedText();
    edit.insertPlainText(text);
}

FakePrompter::DialogAnswer Typing(const QString& text) {
    return EditorAnswer([text](QPlainTextEdit& edit) { TypeOver(edit, text); });
}

bool SaveEnabled(QWidget& dlg) { return DlgItem(dlg, IDC_SAVE_SCRIPT)->isEnabled(); }

}  // namespace

class TestScriptEditor : public QObject {
    Q_OBJECT
private slots:
    void init() { m_home = std::make_unique<TestHome>(); }
    void editorShowsTheLinesAndLooksRight();
    void okWithoutTypingChangesNothing();
    void editedTextComesBackAsLines_data();
    void editedTextComesBackAsLines();
    void cancelLeavesTheLines();
    void newThenCancel();
    void flagAndSaveButtonFollowEditsAndSaves();
    void saveWithoutPathAsksForAName();
    void failedSaveKeepsTheFlag();
    void latinFileRoundTripsThroughTheEditor();
    void utf8FileRoundTripsThroughTheEditor();
    void editorLayoutFollowsResizing();
    void newScriptTakesTypingAtOnce();
    void previewShowsWhatTheScriptMakes_data();
    void previewShowsWhatTheScriptMakes();
    void previewSwitchesAreRemembered();

private:
    std::unique_ptr<TestHome> m_home;
};

void TestScriptEditor::editorShowsTheLinesAndLooksRight() {
    Lines lines = {"r/old/new/", "", "te"};
    CScriptEditDlg dlg;
    dlg.m_pScriptLines = &lines;
    ShowAndSettle(dlg);
    SaveScreenshot(dlg, QStringLiteral("script-editor"));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Script View / Edit"));
    QCOMPARE(Editor(dlg)->toPlainText(), QStringLiteral("r/old/new/\n\nte\n"));
    QCOMPARE(Editor(dlg)->font().pointSize(), 12);
    QCOMPARE(Editor(dlg)->lineWrapMode(), QPlainTextEdit::NoWrap);
    QVERIFY(!Editor(dlg)->document()->isModified());
    QVERIFY(DlgItem<QPushButton>(dlg, IDOK)->isDefault());
    // Enter inside the text makes a line break, not OK.
    Editor(dlg)->setFocus();
    QTest::keyClick(Editor(dlg), Qt::Key_Return);
    QVERIFY(dlg.isVisible());
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(lines, (Lines{"r/old/new/", "", "te"}));
}

void TestScriptEditor::okWithoutTypingChangesNothing() {
    for (bool flag : {false, true}) {
        Lines lines = {"te", std::string(2000, 'x')};
        CScriptEditDlg dlg;
        dlg.m_pScriptLines = &lines;
        dlg.m_bModified = flag;
        QCOMPARE(ClickAfterShowing(dlg, IDOK), int(QDialog::Accepted));
        QCOMPARE(dlg.m_bModified, flag);
        QCOMPARE(lines[1].size(), size_t(2000));
    }
}

void TestScriptEditor::editedTextComesBackAsLines_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Lines>("expected");
    QTest::newRow("final break") << QStringLiteral("a\n\nb\n") << Lines{"a", "", "b"};
    QTest::newRow("no final break") << QStringLiteral("a\n\nb") << Lines{"a", "", "b"};
    QTest::newRow("all deleted") << QString() << Lines{};
    QTest::newRow("exactly 1023") << QString(1023, QLatin1Char('y')) << Lines{std::string(1023, 'y')};
    QTest::newRow("longer than 1023") << QString(1030, QLatin1Char('y')) + "\nte" << Lines{std::string(1023, 'y'), "te"};
    QTest::newRow("non-breaking space kept") << QStringLiteral("i/a\u00A0b/") << Lines{"i/a\xC2\xA0" "b/"};
}

void TestScriptEditor::editedTextComesBackAsLines() {
    QFETCH(QString, typed);
    QFETCH(Lines, expected);
    Lines lines = {"old"};
    CScriptEditDlg dlg;
    dlg.m_pScriptLines = &lines;
    QCOMPARE(Typing(typed)(dlg), int(QDialog::Accepted));
    QVERIFY(dlg.m_bModified);
    QCOMPARE(lines, expected);
}

void TestScriptEditor::cancelLeavesTheLines() {
    Lines lines = {"te"};
    CScriptEditDlg dlg;
    dlg.m_pScriptLines = &lines;
    QCOMPARE(EditorAnswer([](QPlainTextEdit& e) { TypeOver(e, "tl"); }, IDCANCEL)(dlg), int(QDialog::Rejected));
    QCOMPARE(lines, Lines{"te"});
    QVERIFY(!dlg.m_bModified);
}

void TestScriptEditor::newThenCancel() {
    const QString path = m_home->Path("s.txt");
    WriteBytes(path, "te\r\n");
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    prompter.openFileAnswers.push_back(path);
    dlg.OnLocateScript();
    prompter.dialogAnswers.push_back(EditorAnswer(nullptr, IDCANCEL));
    dlg.OnNewScript();
    QVERIFY(dlg.Batch().m_arrScriptLines.empty());
    QCOMPARE(dlg.ScriptPath(), QString());
    QCOMPARE(DlgItem<QLabel>(dlg, IDC_SCRIPT_PATH)->text(), QStringLiteral("++ Unsaved Script ++"));
    QVERIFY(!dlg.IsScriptChanged());
}

void TestScriptEditor::flagAndSaveButtonFollowEditsAndSaves() {
    const QString path = m_home->Path("s.txt");
    WriteBytes(path, "te\r\n");
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    prompter.openFileAnswers.push_back(path);
    dlg.OnLocateScript();
    QVERIFY(!SaveEnabled(dlg));

    prompter.dialogAnswers.push_back(EditorAnswer(nullptr));  // OK, no typing
    dlg.OnEditScript();
    QVERIFY(!dlg.IsScriptChanged());
    QVERIFY(!SaveEnabled(dlg));

    prompter.dialogAnswers.push_back(Typing("tl\nte"));
    dlg.OnEditScript();
    QVERIFY(dlg.IsScriptChanged());
    QVERIFY(SaveEnabled(dlg));
    QCOMPARE(ReadBytes(path), std::string("te\r\n"));  // nothing written yet

    prompter.dialogAnswers.push_back(EditorAnswer(nullptr));  // OK without typing keeps the flag
    dlg.OnEditScript();
    QVERIFY(dlg.IsScriptChanged());

    ShowAndSettle(dlg);
    ClickControl(dlg, IDC_SAVE_SCRIPT);
    QCOMPARE(ReadBytes(path), std::string("tl\r\nte\r\n"));
    QVERIFY(!dlg.IsScriptChanged());
    QVERIFY(!SaveEnabled(dlg));

    // Loading another file leaves flag and button alone.
    prompter.dialogAnswers.push_back(Typing("tl"));
    dlg.OnEditScript();
    prompter.openFileAnswers.push_back(path);
    dlg.OnLocateScript();
    QVERIFY(dlg.IsScriptChanged());
    QVERIFY(SaveEnabled(dlg));
}

void TestScriptEditor::saveWithoutPathAsksForAName() {
    const QString existing = m_home->Path("existing.txt");
    WriteBytes(existing, "old content\r\n");
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    prompter.dialogAnswers.push_back(Typing("te\n"));
    dlg.OnNewScript();
    dlg.OnSaveScript();  // chooser cancelled
    QVERIFY(dlg.IsScriptChanged());
    QCOMPARE(dlg.ScriptPath(), QString());
    prompter.saveFileAnswers.push_back(existing);
    dlg.OnSaveScript();  // an existing file is replaced without a question
    QVERIFY(prompter.questions.isEmpty());
    QCOMPARE(ReadBytes(existing), std::string("te\r\n"));
    QCOMPARE(dlg.ScriptPath(), existing);
    QCOMPARE(DlgItem<QLabel>(dlg, IDC_SCRIPT_PATH)->text(), existing);
    QVERIFY(!dlg.IsScriptChanged());
}

void TestScriptEditor::failedSaveKeepsTheFlag() {
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    prompter.dialogAnswers.push_back(Typing("te\n"));
    dlg.OnNewScript();
    const QString badPath = m_home->Path("no-such-folder/s.txt");
    prompter.saveFileAnswers.push_back(badPath);
    dlg.OnSaveScript();
    QCOMPARE(prompter.errors.size(), 1);
    QVERIFY(prompter.errors[0].contains(badPath));
    QVERIFY(dlg.IsScriptChanged());
    QVERIFY(SaveEnabled(dlg));
    QCOMPARE(dlg.ScriptPath(), badPath);  // a later save tries the same path
}

void TestScriptEditor::latinFileRoundTripsThroughTheEditor() {
    const QString path = m_home->Path("latin.txt");
    // Latin-1 text, the pound delimiter as one byte, an undefined Windows-1252 byte.
    WriteBytes(path, "r\xA3" "caf\xE9\xA3" "bar\xA3\r\ni/\x81\x9D/\r\nte\r\n");
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    prompter.openFileAnswers.push_back(path);
    dlg.OnLocateScript();
    QString shown;
    prompter.dialogAnswers.push_back(EditorAnswer(
        [](QPlainTextEdit& edit) {
            // Change the last line only, typing a pound sign and an e acute.
            QTextCursor cursor(edit.document()->findBlockByNumber(2));
            cursor.movePosition(QTextCursor::EndOfBlock);
            cursor.insertText(QStringLiteral(",i\u00A3\u00E9\u00A3"));
        },
        IDOK, &shown));
    dlg.OnEditScript();
    QCOMPARE(shown, QStringLiteral("r\u00A3caf\u00E9\u00A3bar\u00A3\ni/\u0081\u009D/\nte\n"));
    dlg.OnSaveScript();
    QCOMPARE(ReadBytes(path), std::string("r\xA3" "caf\xE9\xA3" "bar\xA3\r\ni/\x81\x9D/\r\nte,i\xA3\xE9\xA3\r\n"));
}

void TestScriptEditor::utf8FileRoundTripsThroughTheEditor() {
    const QString path = m_home->Path("utf8.txt");
    WriteBytes(path, "r\xC2\xA3Stra\xC3\x9F" "e\xC2\xA3\xE2\x82\xAC\xC2\xA3\r\nr/a\rb/c/\r\nte\r\n");
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    prompter.openFileAnswers.push_back(path);
    dlg.OnLocateScript();
    prompter.dialogAnswers.push_back(EditorAnswer([](QPlainTextEdit& edit) {
        QTextCursor cursor(edit.document()->findBlockByNumber(2));
        cursor.movePosition(QTextCursor::EndOfBlock);
        cursor.insertText(QStringLiteral(",i/\u00E9/"));
    }));
    dlg.OnEditScript();
    dlg.OnSaveScript();
    QCOMPARE(ReadBytes(path),
             std::string("r\xC2\xA3Stra\xC3\x9F" "e\xC2\xA3\xE2\x82\xAC\xC2\xA3\r\nr/a\rb/c/\r\nte,i/\xC3\xA9/\r\n"));
}

void TestScriptEditor::editorLayoutFollowsResizing() {
    Lines lines;
    CScriptEditDlg dlg;
    dlg.m_pScriptLines = &lines;
    ShowAndSettle(dlg);
    const QRect ok = DlgItem(dlg, IDOK)->geometry();
    const QRect help = DlgItem(dlg, ID_HELP)->geometry();
    const QRect edit = DlgItem(dlg, IDC_SCRIPT_EDIT)->geometry();
    dlg.resize(dlg.width() + 40, dlg.height() + 30);
    QTRY_COMPARE(DlgItem(dlg, IDOK)->geometry(), ok.translated(40, 30));
    QCOMPARE(DlgItem(dlg, ID_HELP)->geometry(), help.translated(40, 30));
    QCOMPARE(DlgItem(dlg, IDC_SCRIPT_EDIT)->geometry(), edit.adjusted(0, 0, 40, 30));
    SaveScreenshot(dlg, QStringLiteral("script-editor-enlarged"));
}

void TestScriptEditor::newScriptTakesTypingAtOnce() {
    // New..., then typing: the keys go into the text, not to OK.
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    ShowAndSettle(dlg);
    prompter.dialogAnswers.push_back([](QDialog& editor) {
        ShowAndSettle(editor);
        editor.activateWindow();
        if (!QTest::qWaitForWindowActive(&editor)) return -1;
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("te"));
        return ClickAfterShowing(editor, IDOK);
    });
    ClickControl(dlg, IDC_NEW_SCRIPT);
    QCOMPARE(dlg.Batch().m_arrScriptLines, Lines{"te"});
    QVERIFY(dlg.IsScriptChanged());
}

void TestScriptEditor::previewShowsWhatTheScriptMakes_data() {
    // The script typed, the source, the switches, and what the pane shows:
    // its text exactly, and words of its messages.
    QTest::addColumn<QString>("script");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<bool>("diff");
    QTest::addColumn<int>("lineEnds");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("messages");
    const QByteArray three = "one two\r\nthree four\r\nfive\r\n";
    const int crlf = int(tavisk::LineEndStyle::CrLf);
    const int lf = int(tavisk::LineEndStyle::Lf);
    QTest::newRow("edited text") << "r/four/4/,te" << three << false << crlf << "one two\nthree 4\nfive\n"
                                 << QStringList{"Lines end in CR LF"};
    QTest::newRow("response line") << "g/o/0/" << three << false << crlf << "0ne tw0\nthree f0ur\nfive\n"
                                   << QStringList{"g/o/0/ caused 3, Replacements"};
    QTest::newRow("run past the end") << "t5" << three << false << lf << "one two\nthree four\nfive\n"
                                      << QStringList{"Run past end of file doing t5", "Lines end in LF"};
    QTest::newRow("as a diff") << "p1,te" << three << true << crlf
                               << QString::fromLatin1("--- %SOURCE%\n+++ edited\n@@ -1,3 +1,2 @@\n-one two\n three four\n five\n")
                               << QStringList{};
    QTest::newRow("diff of line ends only") << "te" << QByteArray("a\nb\n") << true << crlf << "" << QStringList{"Only the line ends change"};
    QTest::newRow("no change") << "te" << three << true << crlf << "" << QStringList{"No changes"};
    QTest::newRow("syntax error inline") << "te\nr/a/b" << three << false << crlf << ""
                                         << QStringList{"Syntax error in line 2", "r/a/b"};
    QByteArray big;
    for (int i = 0; big.size() <= int(ScriptPreview::kSourceLimit); ++i) big += "line " + QByteArray::number(i) + "\r\n";
    const QString xs(1000, QLatin1Char('x'));
    QTest::newRow("edited text cut at its limit") << "(i/" + xs + "/,l)100000" << three << false << crlf << "%XS%"
                                                  << QStringList{"passed 64 MiB"};
    QTest::newRow("long line shown cut") << "te" << QByteArray(10000, 'y') << false << lf
                                         << QString(int(ScriptPreview::kPaneLineBytes), QLatin1Char('y')) + QChar(0x2026) + QLatin1Char('\n')
                                         << QStringList{"long lines cut"};
    QTest::newRow("a FIFO is not read") << "te" << QByteArray("%FIFO%") << false << crlf << ""
                                        << QStringList{"regular files only"};
    QTest::newRow("source cut at 4 MiB") << "te" << big << false << crlf << "%HEAD%"
                                         << QStringList{"first 4 MiB", "first 1000 lines"};
}

void TestScriptEditor::previewShowsWhatTheScriptMakes() {
    QFETCH(QString, script);
    QFETCH(QByteArray, source);
    QFETCH(bool, diff);
    QFETCH(int, lineEnds);
    QFETCH(QString, text);
    QFETCH(QStringList, messages);
    const QString sourcePath = m_home->Path("source.txt");
    if (source == "%FIFO%")
        QVERIFY(mkfifo(QFile::encodeName(sourcePath).constData(), 0600) == 0);  // no writer: opening would wait
    else
        WriteBytes(sourcePath, source.toStdString());
    WriteBytes(m_home->Path("other.txt"), "other\r\n");
    text.replace(QStringLiteral("%SOURCE%"), sourcePath);
    if (text == QStringLiteral("%HEAD%")) {
        text.clear();
        for (int i = 0; i < ScriptPreview::kPaneLines; ++i) text += QStringLiteral("line %1\n").arg(i);
    }

    Lines lines;
    CScriptEditDlg dlg;
    dlg.m_pScriptLines = &lines;
    dlg.m_sourcePaths = {sourcePath, m_home->Path("other.txt")};
    dlg.m_lineEnds = static_cast<tavisk::LineEndStyle>(lineEnds);
    dlg.m_bPreview = true;
    dlg.m_bPreviewDiff = diff;
    ShowAndSettle(dlg);
    dlg.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    // Typed as the user types; each line break is the Enter key.
    const QStringList typed = script.split(QLatin1Char('\n'));
    for (int i = 0; i < typed.size(); ++i) {
        if (i > 0) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClicks(QApplication::focusWidget(), typed[i]);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsPreviewBusy(), 20000);
    const QString shownText = DlgItem<QPlainTextEdit>(dlg, IDC_PREVIEW_TEXT)->toPlainText();
    const QString shownMessages = DlgItem<QPlainTextEdit>(dlg, IDC_PREVIEW_MESSAGES)->toPlainText();
    if (text == QStringLiteral("%XS%"))  // a line of the script's making, many times
        QVERIFY(shownText.startsWith(QString(1000, QLatin1Char('x')) + QLatin1Char('\n') + QString(1000, QLatin1Char('x'))));
    else
        QCOMPARE(shownText, text);
    for (const QString& words : messages) QVERIFY2(shownMessages.contains(words), qPrintable(shownMessages));
    // The preview writes nothing.
    QCOMPARE(QDir(m_home->Path("")).entryList(QDir::Files | QDir::System).size(), 2);
    if (QTest::currentDataTag() == QByteArray("edited text")) SaveScreenshot(dlg, QStringLiteral("script-editor-preview"));

    // Another source from the drop-down.
    auto* sources = DlgItem<QComboBox>(dlg, IDC_PREVIEW_SOURCE);
    QCOMPARE(sources->count(), 2);
    sources->setCurrentIndex(1);
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsPreviewBusy(), 20000);
    if (QTest::currentDataTag() == QByteArray("edited text") || QTest::currentDataTag() == QByteArray("response line")) {
        QVERIFY2(DlgItem<QPlainTextEdit>(dlg, IDC_PREVIEW_TEXT)->toPlainText().contains(QStringLiteral("ther")),
                 qPrintable(DlgItem<QPlainTextEdit>(dlg, IDC_PREVIEW_TEXT)->toPlainText()));
    }
    // The script typed is what OK takes.
    QCOMPARE(ClickAfterShowing(dlg, IDOK), int(QDialog::Accepted));
    QCOMPARE(int(lines.size()), typed.size());
}

void TestScriptEditor::previewSwitchesAreRemembered() {
    // Off at first; the user's switches are kept for the next editor and the next session.
    FakePrompter prompter;
    {
        CBatchDlg dlg(prompter);
        prompter.dialogAnswers.push_back([](QDialog& editor) {
            ShowAndSettle(editor);
            if (DlgItem(editor, IDC_PREVIEW_TEXT)->isVisible()) return -1;
            const int narrow = editor.width();
            ClickControl(editor, IDC_PREVIEW);
            if (!DlgItem(editor, IDC_PREVIEW_TEXT)->isVisible() || editor.width() <= narrow) return -2;
            ClickControl(editor, IDC_PREVIEW_DIFF);
            return ClickAfterShowing(editor, IDCANCEL);
        });
        dlg.OnEditScript();
        dlg.OnOK();  // the settings are written at "Done"
    }
    QVERIFY(SettingsStore().Preview());
    QVERIFY(SettingsStore().PreviewDiff());
    CBatchDlg dlg(prompter);
    bool shown = false;
    prompter.dialogAnswers.push_back([&](QDialog& editor) {
        ShowAndSettle(editor);
        shown = DlgItem(editor, IDC_PREVIEW_TEXT)->isVisible() && DlgItem<QAbstractButton>(editor, IDC_PREVIEW_DIFF)->isChecked();
        // Off again: the editor looks as it did before the pane opened.
        ClickControl(editor, IDC_PREVIEW);
        return ClickAfterShowing(editor, IDCANCEL);
    });
    dlg.OnEditScript();
    QVERIFY(shown);
    dlg.OnOK();
    QVERIFY(!SettingsStore().Preview());
}

QTEST_MAIN(TestScriptEditor)
#include "tst_script_editor.moc"
