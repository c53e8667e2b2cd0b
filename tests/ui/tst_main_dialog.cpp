// The main dialog without a run: its controls, settings, choosers, start
// complaints, keys, and "Done".
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include "BatchDlg.h"
#include "dialogs/ControlIds.h"
#include "dialogs/DebugDlg.h"
#include "dialogs/DialogTemplate.h"
#include "dialogs/ScriptEditDlg.h"
#include "UiTestSupport.h"

using namespace tavisk;
using namespace tavisk::ui;
using namespace tavisk::ui::test;

namespace {

// The whole text of a box: a long path is shown shortened, whole in its tooltip.
QString ItemText(const QWidget& dlg, int id) {
    const QLabel* label = DlgItem<QLabel>(dlg, id);
    return label->toolTip().isEmpty() ? label->text() : label->toolTip();
}
bool IsChecked(const QWidget& dlg, int id) { return DlgItem<QAbstractButton>(dlg, id)->isChecked(); }
void SetChecked(QWidget& dlg, int id, bool on) { DlgItem<QAbstractButton>(dlg, id)->setChecked(on); }

}  // namespace

class TestMainDialog : public QObject {
    Q_OBJECT
private slots:
    void init();
    void firstStartHasDefaults();
    void controlsOfTheTemplate();
    void tabOrderFollowsTheTemplate();
    void settingsRoundTrip();
    void rememberOffWritesOnlyRemember();
    void rememberOnWithoutScriptLoadsNothing();
    void unreadableRememberedScript();
    void browseSources();
    void browseCancelledKeepsTheEarlierChoice();
    void destinationFolder();
    void locateReplacesTheScript();
    void dropFromAFileManager_data();
    void dropFromAFileManager();
    void startComplaints_data();
    void startComplaints();
    void escapeDoesNothingAndEnterStarts();
    void closingTheWindowIsDone();
    void doneWithUnsavedScript_data();
    void doneWithUnsavedScript();
    void lineEndsChoiceIsKept_data();
    void lineEndsChoiceIsKept();
    void longPathsShortenedInTheMiddle();

private:
    std::unique_ptr<TestHome> m_home;
};

void TestMainDialog::init() { m_home = std::make_unique<TestHome>(); }

void TestMainDialog::firstStartHasDefaults() {
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    ShowAndSettle(dlg);
    SaveScreenshot(dlg, QStringLiteral("main-dialog-first-start"));
    QVERIFY(!IsChecked(dlg, IDC_REMEMBER));
    QVERIFY(!IsChecked(dlg, IDC_SAVE_RESPONSE));
    QVERIFY(!IsChecked(dlg, IDC_DEBUG));
    QCOMPARE(ItemText(dlg, IDC_SCRIPT_PATH), QString());
    QCOMPARE(ItemText(dlg, IDC_SOURCE_NAME), QString());
    QCOMPARE(ItemText(dlg, IDC_FILE_COUNT), QString());
    QVERIFY(dlg.Batch().m_arrScriptLines.empty());
    QCOMPARE(dlg.Batch().m_sources.Count(), 0);
    const std::string documents = m_home->DocumentsFolder().toStdString();
    QCOMPARE(dlg.Batch().m_sources.LastFolder(), documents);
    QCOMPARE(dlg.Batch().m_strDestFolder, documents);
    QCOMPARE(ItemText(dlg, IDC_DEST_FOLDER), m_home->DocumentsFolder());
    QCOMPARE(dlg.Batch().m_strResponseFile, std::string("re$pon$e.txt"));
    QVERIFY(!dlg.IsScriptChanged());
    QVERIFY(dlg.DebugWindow() && !dlg.DebugWindow()->isVisible());
    QVERIFY(prompter.errors.isEmpty());
}

void TestMainDialog::controlsOfTheTemplate() {
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Tavisk"));
    QVERIFY(!(dlg.windowFlags() & Qt::WindowCloseButtonHint));
    const std::pair<int, const char*> buttons[] = {
        {IDOK, "Done"},         {IDC_BROWSE_SOURCES, "&Browse..."}, {IDC_LOCATE_SCRIPT, "&Locate..."},
        {IDC_DEST_FOLDER_BUTTON, "&Folder..."}, {IDC_NEW_SCRIPT, "&New..."}, {IDC_EDIT_SCRIPT, "&Edit..."},
        {IDC_START, "&Start Bulk Edit"}, {IDC_SAVE_SCRIPT, "S&ave..."}, {IDC_VIEW_RESPONSE, "&View..."},
        {IDC_DEBUG, "Debug"},   {IDC_RESPONSE_FILE_NAME, "..."},   {ID_HELP, "How To / Help"},
        {IDC_REMEMBER, "Remember last used folders"}, {IDC_SAVE_RESPONSE, "Save Response File"},
    };
    for (const auto& [id, caption] : buttons) {
        QWidget* control = DlgItem(dlg, id);
        QVERIFY2(control, qPrintable(QString::number(id)));
        QCOMPARE(ControlCaption(*control), QString::fromUtf8(caption));
        QVERIFY2(dlg.rect().contains(control->geometry()), caption);
    }
    QVERIFY(DlgItem<QPushButton>(dlg, IDC_START)->isDefault());
    QVERIFY(!DlgItem(dlg, IDC_SAVE_SCRIPT)->isEnabled());
    QVERIFY(DlgItem<QPushButton>(dlg, IDC_DEBUG)->isCheckable());
    QVERIFY(DlgItem<QProgressBar>(dlg, IDC_PROGRESS));
    // The help caption is wrapped to fit its tall button, not cut.
    auto* help = DlgItem<QPushButton>(dlg, ID_HELP);
    QCOMPARE(help->text().split(QLatin1Char('\n')).join(QLatin1Char(' ')), QStringLiteral("How To / Help"));
    for (const QString& line : help->text().split(QLatin1Char('\n')))
        QVERIFY(help->fontMetrics().horizontalAdvance(line) < help->width());

    QStringList statics;
    for (auto* label : dlg.findChildren<QLabel*>()) statics << label->text();
    QVERIFY(statics.contains(QStringLiteral("Version 1.0.11 1Jan 2012")));
    // Each group box holds the controls of its row.
    const auto groups = dlg.findChildren<QGroupBox*>();
    QCOMPARE(groups.size(), 4);
    for (QGroupBox* group : groups) {
        if (group->title() == QStringLiteral("Source"))
            for (int id : {IDC_SOURCE_NAME, IDC_BROWSE_SOURCES, IDC_FILE_COUNT})
                QVERIFY(group->geometry().contains(DlgItem(dlg, id)->geometry()));
        if (group->title() == QStringLiteral("Processing Errors"))
            for (int id : {IDC_STATUS, IDC_VIEW_RESPONSE, IDC_SAVE_RESPONSE, IDC_RESPONSE_FILE_NAME, IDC_DEBUG})
                QVERIFY(group->geometry().contains(DlgItem(dlg, id)->geometry()));
    }
}

void TestMainDialog::tabOrderFollowsTheTemplate() {
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    const QList<int> expected = {IDOK,           IDC_BROWSE_SOURCES, IDC_DEST_FOLDER_BUTTON, IDC_LINE_ENDS, IDC_LOCATE_SCRIPT, IDC_NEW_SCRIPT,
                                 IDC_EDIT_SCRIPT, IDC_START,         IDC_REMEMBER,           IDC_DEBUG,         IDC_SAVE_SCRIPT,
                                 IDC_VIEW_RESPONSE, IDC_SAVE_RESPONSE, IDC_RESPONSE_FILE_NAME, ID_HELP};
    QList<int> order;
    QWidget* widget = DlgItem(dlg, IDOK);
    do {
        if (widget->focusPolicy() & Qt::TabFocus) order << widget->objectName().toInt();
        widget = widget->nextInFocusChain();
    } while (widget != DlgItem(dlg, IDOK) && order.size() < 40);
    QCOMPARE(order, expected);
}

void TestMainDialog::settingsRoundTrip() {
    const QString script = m_home->Path(QStringLiteral("script.txt"));
    WriteBytes(script, "r/old/new/\r\nte\r\n");
    {
        FakePrompter prompter;
        CBatchDlg dlg(prompter);
        SetChecked(dlg, IDC_REMEMBER, true);
        SetChecked(dlg, IDC_SAVE_RESPONSE, true);
        dlg.Batch().m_sources.SetLastFolder("/data/in");
        dlg.Batch().m_strDestFolder = "/data/out";
        dlg.Batch().m_strResponseFile = "log.txt";
        prompter.openFileAnswers.push_back(script);
        dlg.OnLocateScript();
        dlg.OnOK();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }
    QSettings ini(m_home->SettingsFile(), QSettings::IniFormat);
    QCOMPARE(ini.value("Settings/Remember").toString(), QStringLiteral("1"));
    QCOMPARE(ini.value("Settings/LastSource").toString(), QStringLiteral("/data/in"));
    QCOMPARE(ini.value("Settings/LastDestination").toString(), QStringLiteral("/data/out"));
    QCOMPARE(ini.value("Settings/LastScript").toString(), script);
    QCOMPARE(ini.value("Settings/ResponseFile").toString(), QStringLiteral("log.txt"));
    QCOMPARE(ini.value("Settings/SaveResponse").toString(), QStringLiteral("1"));

    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    QVERIFY(IsChecked(dlg, IDC_REMEMBER));
    QVERIFY(IsChecked(dlg, IDC_SAVE_RESPONSE));
    QCOMPARE(dlg.Batch().m_sources.LastFolder(), std::string("/data/in"));
    QCOMPARE(dlg.Batch().m_strDestFolder, std::string("/data/out"));
    QCOMPARE(ItemText(dlg, IDC_DEST_FOLDER), QStringLiteral("/data/out"));
    QCOMPARE(dlg.ScriptPath(), script);
    QCOMPARE(ItemText(dlg, IDC_SCRIPT_PATH), script);
    QCOMPARE(dlg.Batch().m_arrScriptLines, (std::vector<std::string>{"r/old/new/", "te"}));
    QCOMPARE(dlg.Batch().m_strResponseFile, std::string("log.txt"));
    // The source list itself is not remembered.
    QCOMPARE(dlg.Batch().m_sources.Count(), 0);
    QCOMPARE(ItemText(dlg, IDC_SOURCE_NAME), QString());
}

void TestMainDialog::rememberOffWritesOnlyRemember() {
    {
        QSettings ini(m_home->SettingsFile(), QSettings::IniFormat);
        ini.setValue("Settings/Remember", 1);
        ini.setValue("Settings/LastDestination", "/stored/out");
        ini.setValue("Settings/ResponseFile", "stored.txt");
    }
    {
        FakePrompter prompter;
        CBatchDlg dlg(prompter);
        QCOMPARE(dlg.Batch().m_strDestFolder, std::string("/stored/out"));
        SetChecked(dlg, IDC_REMEMBER, false);
        dlg.Batch().m_strDestFolder = "/changed";
        dlg.OnOK();
    }
    QSettings ini(m_home->SettingsFile(), QSettings::IniFormat);
    QCOMPARE(ini.value("Settings/Remember").toInt(), 0);
    QCOMPARE(ini.value("Settings/LastDestination").toString(), QStringLiteral("/stored/out"));
    QVERIFY(!ini.contains("Settings/LastSource"));

    // Stored but not read while "Remember" is 0.
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    QVERIFY(!IsChecked(dlg, IDC_REMEMBER));
    QCOMPARE(dlg.Batch().m_strDestFolder, m_home->DocumentsFolder().toStdString());
    QCOMPARE(dlg.Batch().m_strResponseFile, std::string("re$pon$e.txt"));
}

void TestMainDialog::rememberOnWithoutScriptLoadsNothing() {
    {
        QSettings ini(m_home->SettingsFile(), QSettings::IniFormat);
        ini.setValue("Settings/Remember", 1);
        ini.setValue("Settings/LastScript", "");
        ini.setValue("Settings/ResponseFile", "");
    }
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    QVERIFY(IsChecked(dlg, IDC_REMEMBER));
    QCOMPARE(ItemText(dlg, IDC_SCRIPT_PATH), QString());
    QVERIFY(dlg.Batch().m_arrScriptLines.empty());
    QVERIFY(prompter.errors.isEmpty());
    // Empty values get the defaults.
    QCOMPARE(dlg.Batch().m_strResponseFile, std::string("re$pon$e.txt"));
    QCOMPARE(dlg.Batch().m_sources.LastFolder(), m_home->DocumentsFolder().toStdString());
}

void TestMainDialog::unreadableRememberedScript() {
    const QString missing = m_home->Path(QStringLiteral("gone.txt"));
    {
        QSettings ini(m_home->SettingsFile(), QSettings::IniFormat);
        ini.setValue("Settings/Remember", 1);
        ini.setValue("Settings/LastScript", missing);
    }
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    QCOMPARE(prompter.errors.size(), 1);
    QVERIFY(prompter.errors[0].contains(missing));
    // The box says which file it was: the one remembered, not one the user just chose.
    QVERIFY2(prompter.errors[0].startsWith(QStringLiteral("The control file remembered from the last session")),
             qPrintable(prompter.errors[0]));
    QVERIFY(dlg.Batch().m_arrScriptLines.empty());
    QCOMPARE(dlg.ScriptPath(), missing);
    QCOMPARE(ItemText(dlg, IDC_SCRIPT_PATH), missing);
}

void TestMainDialog::browseSources() {
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    prompter.openFilesAnswers.push_back({"/data/one.txt", "/data/two.txt", "/data/six.txt"});
    dlg.OnBrowseSources();
    QCOMPARE(prompter.startFolders.value(0), m_home->DocumentsFolder());
    QCOMPARE(dlg.Batch().m_sources.LastFolder(), std::string("/data"));
    QCOMPARE(dlg.Batch().m_sources.Elements(), (std::vector<std::string>{"/one.txt", "/two.txt", "/six.txt"}));
    QCOMPARE(dlg.Batch().m_sources.Count(), 3);
    QCOMPARE(ItemText(dlg, IDC_FILE_COUNT), QStringLiteral("3 File(s) selected"));
    QCOMPARE(ItemText(dlg, IDC_SOURCE_NAME), QStringLiteral("/one.txt"));

    prompter.openFilesAnswers.push_back({"/a.txt"});  // the root folder
    dlg.OnBrowseSources();
    QCOMPARE(prompter.startFolders.value(1), QStringLiteral("/data"));
    QCOMPARE(dlg.Batch().m_sources.LastFolder(), std::string());
    QCOMPARE(dlg.Batch().m_sources.Path(0), std::string("/a.txt"));
    QCOMPARE(ItemText(dlg, IDC_FILE_COUNT), QStringLiteral("1 File(s) selected"));
}

void TestMainDialog::browseCancelledKeepsTheEarlierChoice() {
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    prompter.openFilesAnswers.push_back({"/data/one.txt", "/data/two.txt"});
    dlg.OnBrowseSources();
    dlg.OnBrowseSources();  // cancelled
    QCOMPARE(dlg.Batch().m_sources.Count(), 2);
    QCOMPARE(dlg.Batch().m_sources.LastFolder(), std::string("/data"));
    QCOMPARE(ItemText(dlg, IDC_FILE_COUNT), QStringLiteral("2 File(s) selected"));
}

void TestMainDialog::destinationFolder() {
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    prompter.folderAnswers.push_back(QStringLiteral("/data/out"));
    dlg.OnDestFolder();
    QCOMPARE(dlg.Batch().m_strDestFolder, std::string("/data/out"));
    QCOMPARE(ItemText(dlg, IDC_DEST_FOLDER), QStringLiteral("/data/out"));
    DlgItem<QLabel>(dlg, IDC_DEST_FOLDER)->clear();
    dlg.OnDestFolder();  // cancelled: unchanged, shown again
    QCOMPARE(prompter.startFolders.value(1), QStringLiteral("/data/out"));
    QCOMPARE(dlg.Batch().m_strDestFolder, std::string("/data/out"));
    QCOMPARE(ItemText(dlg, IDC_DEST_FOLDER), QStringLiteral("/data/out"));
}

void TestMainDialog::dropFromAFileManager_data() {
    // Names under the test home; "in" and "other" are folders.  Columns after
    // the drop: the source count (0: unchanged), whether the script was
    // loaded, the destination (empty: unchanged), words of the status text.
    QTest::addColumn<QStringList>("dropped");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("sources");
    QTest::addColumn<bool>("scriptLoaded");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("status");
    QTest::newRow("files from two folders") << QStringList{"in/a.txt", "other/b.txt"} << "Source" << 2 << false << "" << "";
    QTest::newRow("files anywhere else") << QStringList{"in/a.txt"} << "Processing Errors" << 1 << false << "" << "";
    QTest::newRow("files and a folder") << QStringList{"in", "in/a.txt"} << "Source" << 1 << false << "" << "";
    QTest::newRow("only folders") << QStringList{"in", "other"} << "Source" << 0 << false << "" << "not folders";
    QTest::newRow("same name twice") << QStringList{"in/a.txt", "other/a.txt"} << "Source" << 0 << false << "" << "named a.txt";
    QTest::newRow("control file") << QStringList{"script.txt"} << "Control File" << 0 << true << "" << "";
    QTest::newRow("folder as control file") << QStringList{"in"} << "Control File" << 0 << false << "" << "not a control file";
    QTest::newRow("two control files") << QStringList{"script.txt", "in/a.txt"} << "Control File" << 0 << false << "" << "one control file";
    QTest::newRow("destination folder") << QStringList{"other"} << "Output" << 0 << false << "other" << "";
    QTest::newRow("file as destination") << QStringList{"in/a.txt"} << "Output" << 0 << false << "" << "not a file";
    QTest::newRow("two destination folders") << QStringList{"in", "other"} << "Output" << 0 << false << "" << "one output folder";
}

void TestMainDialog::dropFromAFileManager() {
    QFETCH(QStringList, dropped);
    QFETCH(QString, box);
    QFETCH(int, sources);
    QFETCH(bool, scriptLoaded);
    QFETCH(QString, destination);
    QFETCH(QString, status);
    QDir().mkpath(m_home->Path("in"));
    QDir().mkpath(m_home->Path("other"));
    for (const char* file : {"in/a.txt", "other/a.txt", "other/b.txt"}) WriteBytes(m_home->Path(file), "x\r\n");
    WriteBytes(m_home->Path("script.txt"), "tl\r\nte\r\n");
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    ShowAndSettle(dlg);
    QPoint at;
    for (QGroupBox* group : dlg.findChildren<QGroupBox*>())
        if (group->title() == box) at = group->geometry().center();
    QStringList paths;
    for (const QString& name : dropped) paths << m_home->Path(name);

    // Every drop taken is answered as a copy: a move would let the file manager delete the originals.
    QCOMPARE(DropAnswerAt(dlg, at, paths), Qt::CopyAction);
    QCOMPARE(dlg.Batch().m_sources.Count(), sources);
    if (sources > 0) {
        QCOMPARE(ItemText(dlg, IDC_FILE_COUNT), QStringLiteral("%1 File(s) selected").arg(sources));
        QCOMPARE(ItemText(dlg, IDC_SOURCE_NAME), QStringLiteral("/a.txt"));
        QCOMPARE(dlg.Batch().m_sources.Path(0), m_home->Path("in/a.txt").toStdString());
    }
    QCOMPARE(dlg.Batch().m_arrScriptLines.size(), size_t(scriptLoaded ? 2 : 0));
    QCOMPARE(ItemText(dlg, IDC_SCRIPT_PATH), scriptLoaded ? m_home->Path("script.txt") : QString());
    const QString expectedDestination = destination.isEmpty() ? m_home->DocumentsFolder() : m_home->Path(destination);
    QCOMPARE(ItemText(dlg, IDC_DEST_FOLDER), expectedDestination);
    QCOMPARE(dlg.Batch().m_strDestFolder, expectedDestination.toStdString());
    if (status.isEmpty())
        QCOMPARE(ItemText(dlg, IDC_STATUS), QString());
    else
        QVERIFY2(ItemText(dlg, IDC_STATUS).contains(status), qPrintable(ItemText(dlg, IDC_STATUS)));
    // The whole message fits its box.
    auto* statusBox = DlgItem<QLabel>(dlg, IDC_STATUS);
    QVERIFY2(statusBox->fontMetrics().horizontalAdvance(statusBox->text()) <= statusBox->contentsRect().width(),
             qPrintable(statusBox->text()));
    // A later good drop takes the message away.
    for (QGroupBox* group : dlg.findChildren<QGroupBox*>())
        if (group->title() == QStringLiteral("Source")) at = group->geometry().center();
    QVERIFY(DropAt(dlg, at, {m_home->Path("in/a.txt")}));
    QCOMPARE(ItemText(dlg, IDC_STATUS), QString());
}

void TestMainDialog::locateReplacesTheScript() {
    const QString first = m_home->Path(QStringLiteral("first.txt"));
    const QString second = m_home->Path(QStringLiteral("second.txt"));
    WriteBytes(first, "r/a/b/\r\nr/c/d/\r\nte\r\n");
    WriteBytes(second, "tl\n");
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    prompter.openFileAnswers = {first, second};
    dlg.OnLocateScript();
    QCOMPARE(dlg.Batch().m_arrScriptLines.size(), size_t(3));
    dlg.OnLocateScript();
    QCOMPARE(prompter.startFolders.value(1), first);
    QCOMPARE(dlg.Batch().m_arrScriptLines, (std::vector<std::string>{"tl"}));
    QCOMPARE(ItemText(dlg, IDC_SCRIPT_PATH), second);
    QVERIFY(!dlg.IsScriptChanged());
    dlg.OnLocateScript();  // cancelled
    QCOMPARE(dlg.ScriptPath(), second);
}

void TestMainDialog::startComplaints_data() {
    QTest::addColumn<bool>("script");
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("expected");
    const QString sameFolder = QStringLiteral("Destination Folder can't be the same as the source.");
    QTest::newRow("all three, in order") << false << QStringList() << QString()
                                         << QStringLiteral("Empty or No Control File\nNo Source File(s)\n") + sameFolder +
                                                QStringLiteral("\nNo Destination Folder");
    QTest::newRow("no destination") << true << QStringList{"/in/a.txt"} << QString() << "No Destination Folder";
    QTest::newRow("no script") << false << QStringList{"/in/a.txt"} << "/out" << "Empty or No Control File";
    QTest::newRow("no sources") << true << QStringList() << "/out" << "No Source File(s)";
    // Names that differ in case only are one folder only where the file system says so.
    QTest::newRow("same folder") << true << QStringList{"/Data/a.txt"} << "/Data" << sameFolder;
}

void TestMainDialog::startComplaints() {
    QFETCH(bool, script);
    QFETCH(QStringList, sources);
    QFETCH(QString, destination);
    QFETCH(QString, expected);
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    if (script) dlg.Batch().m_arrScriptLines = {"te"};
    prompter.openFilesAnswers.push_back(sources);
    dlg.OnBrowseSources();
    dlg.Batch().m_strDestFolder = destination.toStdString();
    if (sources.isEmpty()) dlg.Batch().m_sources.SetLastFolder("");
    DlgItem<QProgressBar>(dlg, IDC_PROGRESS)->setValue(1);

    dlg.OnStartBulkEdit();
    QCOMPARE(prompter.errors, QStringList{expected});
    QVERIFY(!dlg.IsBatchRunning());
    // The progress range was set before the checks.
    auto* progress = DlgItem<QProgressBar>(dlg, IDC_PROGRESS);
    QCOMPARE(progress->value(), 0);
    if (!sources.isEmpty()) QCOMPARE(progress->maximum(), int(sources.size()) * kProgressUnitsPerFile);
}

void TestMainDialog::escapeDoesNothingAndEnterStarts() {
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    ShowAndSettle(dlg);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(dlg.isVisible());
    QVERIFY(prompter.errors.isEmpty());
    // Enter on a check box goes to the default button: a start, refused here.
    QTest::keyClick(DlgItem(dlg, IDC_REMEMBER), Qt::Key_Return);
    QCOMPARE(prompter.errors.size(), 1);
    QVERIFY(prompter.errors[0].startsWith(QStringLiteral("Empty or No Control File")));
    QVERIFY(dlg.isVisible());
}

void TestMainDialog::closingTheWindowIsDone() {
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    ShowAndSettle(dlg);
    SetChecked(dlg, IDC_REMEMBER, true);
    QVERIFY(!dlg.close());  // the close event itself is refused ...
    QVERIFY(!dlg.isVisible());  // ... and "Done" ends the dialog
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QSettings ini(m_home->SettingsFile(), QSettings::IniFormat);
    QCOMPARE(ini.value("Settings/Remember").toInt(), 1);
}

void TestMainDialog::doneWithUnsavedScript_data() {
    QTest::addColumn<bool>("hasPath");
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<bool>("saveChooserAnswers");
    QTest::addColumn<bool>("saved");
    QTest::newRow("No") << true << false << false << false;
    QTest::newRow("Yes, known path") << true << true << false << true;
    QTest::newRow("Yes, new script, chooser cancelled") << false << true << false << false;
    QTest::newRow("Yes, new script, name chosen") << false << true << true << true;
}

void TestMainDialog::doneWithUnsavedScript() {
    QFETCH(bool, hasPath);
    QFETCH(bool, answerYes);
    QFETCH(bool, saveChooserAnswers);
    QFETCH(bool, saved);
    const QString path = m_home->Path(QStringLiteral("script.txt"));
    WriteBytes(path, "te\r\n");
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    SetChecked(dlg, IDC_REMEMBER, true);
    if (hasPath) {
        prompter.openFileAnswers.push_back(path);
        dlg.OnLocateScript();
        prompter.dialogAnswers.push_back([](QDialog& editor) {
            ShowAndSettle(editor);
            auto* edit = DlgItem<QPlainTextEdit>(editor, IDC_SCRIPT_EDIT);
            edit->selectAll();
            edit->insertPlainText(QStringLiteral("tl\nte\n"));
            return ClickAfterShowing(editor, IDOK);
        });
        dlg.OnEditScript();
    } else {
        prompter.dialogAnswers.push_back([](QDialog& editor) {
            ShowAndSettle(editor);
            auto* edit = DlgItem<QPlainTextEdit>(editor, IDC_SCRIPT_EDIT);
            edit->selectAll();
            edit->insertPlainText(QStringLiteral("tl\nte\n"));
            return ClickAfterShowing(editor, IDOK);
        });
        dlg.OnNewScript();
        if (saveChooserAnswers) prompter.saveFileAnswers.push_back(path);
    }
    QVERIFY(dlg.IsScriptChanged());
    prompter.yesNoAnswers.push_back(answerYes);
    dlg.OnOK();
    QCOMPARE(prompter.questions, QStringList{QStringLiteral("Do you wish to save the script ?")});
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(ReadBytes(path), std::string(saved ? "tl\r\nte\r\n" : "te\r\n"));
    QSettings ini(m_home->SettingsFile(), QSettings::IniFormat);
    QCOMPARE(ini.value("Settings/Remember").toInt(), 1);  // written whatever the answer
}

void TestMainDialog::lineEndsChoiceIsKept_data() {
    // Down presses in the drop-down, the style the batch gets, the stored name, the output.
    QTest::addColumn<int>("downs");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QByteArray>("output");
    QTest::newRow("CR LF, the default") << 0 << int(tavisk::LineEndStyle::CrLf) << "crlf" << QByteArray("a\r\nb\r\n");
    QTest::newRow("LF") << 1 << int(tavisk::LineEndStyle::Lf) << "lf" << QByteArray("a\nb\n");
    QTest::newRow("as in the source") << 2 << int(tavisk::LineEndStyle::Keep) << "keep" << QByteArray("a\nb\r\n");
}

void TestMainDialog::lineEndsChoiceIsKept() {
    QFETCH(int, downs);
    QFETCH(int, style);
    QFETCH(QString, stored);
    QFETCH(QByteArray, output);
    {
        FakePrompter prompter;
        CBatchDlg dlg(prompter);
        ShowAndSettle(dlg);
        dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        auto* lineEnds = DlgItem<QComboBox>(dlg, IDC_LINE_ENDS);
        QCOMPARE(lineEnds->currentIndex(), 0);
        // Clicked, then chosen with the keyboard, as a user does.
        ClickControl(dlg, IDC_LINE_ENDS);
        QTRY_VERIFY(QApplication::activePopupWidget());
        for (int i = 0; i < downs; ++i) QTest::keyClick(static_cast<QWidget*>(lineEnds->view()), Qt::Key_Down);
        QTest::keyClick(static_cast<QWidget*>(lineEnds->view()), Qt::Key_Return);
        QCOMPARE(int(dlg.Batch().m_lineEnds), style);
        // The control lies in the Output box beside Folder..., over none of the other controls.
        for (QWidget* other : dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (other != lineEnds && !other->isWindow() && !qobject_cast<QGroupBox*>(other) &&
                other->objectName().toInt() != IDC_LINE_ENDS_LABEL)
                QVERIFY2(!other->geometry().intersects(lineEnds->geometry()),
                         qPrintable(ControlCaption(*other) + other->objectName() + other->metaObject()->className()));
        dlg.OnOK();
    }
    QSettings ini(m_home->SettingsFile(), QSettings::IniFormat);
    QCOMPARE(ini.value("Settings/LineEnds").toString(), stored);

    // The next session starts with it, and its batches write it.
    QDir().mkpath(m_home->Path("in"));
    QDir().mkpath(m_home->Path("out"));
    WriteBytes(m_home->Path("in/s.txt"), "a\nb\r\n");
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    QCOMPARE(DlgItem<QComboBox>(dlg, IDC_LINE_ENDS)->currentIndex(), downs);
    prompter.openFilesAnswers.push_back({m_home->Path("in/s.txt")});
    dlg.OnBrowseSources();
    dlg.Batch().m_arrScriptLines = {"te"};
    dlg.Batch().m_strDestFolder = m_home->Path("out").toStdString();
    QSignalSpy finished(&dlg, &CBatchDlg::BatchFinished);
    dlg.OnStartBulkEdit();
    QVERIFY(finished.wait(20000));
    QCOMPARE(QByteArray::fromStdString(ReadBytes(m_home->Path("out/s.txt"))), output);
}

void TestMainDialog::longPathsShortenedInTheMiddle() {
    // Both ends of a long path stay readable; the tooltip has it whole.
    const QString deep = m_home->Path(QStringLiteral("a-rather-long-folder-name/") + QString(3, QLatin1Char('x')).repeated(40) +
                                      QStringLiteral("/the-end"));
    QDir().mkpath(deep);
    FakePrompter prompter;
    CBatchDlg dlg(prompter);
    ShowAndSettle(dlg);
    prompter.folderAnswers.push_back(deep);
    ClickControl(dlg, IDC_DEST_FOLDER_BUTTON);
    auto* label = DlgItem<QLabel>(dlg, IDC_DEST_FOLDER);
    QCOMPARE(label->toolTip(), deep);
    QVERIFY(label->text() != deep);
    QVERIFY2(label->text().startsWith(deep.left(3)) && label->text().endsWith(QStringLiteral("/the-end")), qPrintable(label->text()));
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width());
    // A short path is shown whole.
    prompter.folderAnswers.push_back(m_home->Path("x"));
    QDir().mkpath(m_home->Path("x"));
    ClickControl(dlg, IDC_DEST_FOLDER_BUTTON);
    QCOMPARE(label->text(), m_home->Path("x"));
}

QTEST_MAIN(TestMainDialog)
#include "tst_main_dialog.moc"
