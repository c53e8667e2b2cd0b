#include "BatchDlg.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "dialogs/ControlIds.h"
#include "dialogs/DebugDlg.h"
#include "DisplayText.h"
#include "ProgramIcon.h"
#include "help/Help.h"
#include "Prompter.h"
#include "Settings.h"
#include "dialogs/SyntaxErrorDlg.h"

namespace tavisk::ui {

namespace {

constexpr const char* kRememberedScriptContext = "The control file remembered from the last session cannot be read:";

// The line-end choices in the order of the drop-down list.
constexpr LineEndStyle kLineEndChoices[] = {LineEndStyle::CrLf, LineEndStyle::Lf, LineEndStyle::Keep};

LineEndStyle LineEndStyleAt(int index) {
    return index >= 0 && index < int(std::size(kLineEndChoices)) ? kLineEndChoices[index] : LineEndStyle::CrLf;
}

int LineEndStyleIndex(LineEndStyle style) {
    for (int i = 0; i < int(std::size(kLineEndChoices)); ++i)
        if (kLineEndChoices[i] == style) return i;
    return 0;
}

const char* LineEndStyleName(LineEndStyle style) {
    switch (style) {
    case LineEndStyle::Lf: return "lf";
    case LineEndStyle::Keep: return "keep";
    case LineEndStyle::CrLf: break;
    }
    return "crlf";
}

constexpr ControlTemplate kControls[] = {
    {IDOK, ControlKind::PushButton, "Done", 188, 324, 48, 40},
    {-1, ControlKind::GroupBox, "Source", 4, 8, 232, 60},
    {IDC_SOURCE_NAME, ControlKind::Static, "", 12, 24, 216, 16, CS_SUNKEN},
    {IDC_BROWSE_SOURCES, ControlKind::PushButton, "&Browse...", 12, 48, 48, 16},
    {-1, ControlKind::GroupBox, "Control File", 4, 72, 232, 60},
    {IDC_SCRIPT_PATH, ControlKind::Static, "", 12, 88, 216, 16, CS_SUNKEN},
    {-1, ControlKind::GroupBox, "Output", 4, 136, 232, 60},
    {IDC_DEST_FOLDER, ControlKind::Static, "", 12, 152, 216, 16, CS_SUNKEN},
    {IDC_DEST_FOLDER_BUTTON, ControlKind::PushButton, "&Folder...", 12, 176, 48, 16},
    // How the edited copies end their lines; in the free part of the Output box.
    {IDC_LINE_ENDS_LABEL, ControlKind::Static, "Line ends:", 68, 176, 40, 16, CS_VCENTER},
    {IDC_LINE_ENDS, ControlKind::ComboBox, "CR LF|LF|As in the source", 112, 176, 116, 16},
    {IDC_FILE_COUNT, ControlKind::Static, "", 72, 48, 156, 16, CS_VCENTER},
    {IDC_LOCATE_SCRIPT, ControlKind::PushButton, "&Locate...", 12, 112, 48, 16},
    {IDC_NEW_SCRIPT, ControlKind::PushButton, "&New...", 68, 112, 48, 16},
    {IDC_EDIT_SCRIPT, ControlKind::PushButton, "&Edit...", 124, 112, 48, 16},
    {IDC_START, ControlKind::PushButton, "&Start Bulk Edit", 76, 208, 96, 16, CS_DEFAULT},
    {IDC_PROGRESS, ControlKind::ProgressBar, "", 16, 228, 216, 12},
    {IDC_REMEMBER, ControlKind::CheckBox, "Remember last used folders", 4, 324, 116, 12},
    {IDC_DEBUG, ControlKind::PushButton, "Debug", 8, 288, 48, 16, CS_PUSHLIKE},
    {IDC_SAVE_SCRIPT, ControlKind::PushButton, "S&ave...", 180, 112, 48, 16, CS_DISABLED},
    {-1, ControlKind::Static, "Version 1.0.11 1Jan 2012", 8, 344, 112, 16, CS_CENTER},
    {-1, ControlKind::GroupBox, "Processing Errors", 4, 252, 232, 64},
    {IDC_STATUS, ControlKind::Static, "", 8, 264, 160, 16, CS_SUNKEN},
    {IDC_VIEW_RESPONSE, ControlKind::PushButton, "&View...", 176, 264, 48, 16},
    {IDC_SAVE_RESPONSE, ControlKind::CheckBox, "Save Response File", 80, 292, 88, 12},
    {IDC_RESPONSE_FILE_NAME, ControlKind::PushButton, "...", 176, 292, 16, 16},
    {ID_HELP, ControlKind::PushButton, "How To / Help", 128, 324, 48, 40, CS_MULTILINE},
};

constexpr DialogTemplate kTemplate = {"Tavisk", 241, 370, "Tahoma", 8, false, false, kControls};

}  // namespace

CBatchDlg::CBatchDlg(Prompter& prompter, QWidget* parent)
    : CTemplateDialog(kTemplate, parent), m_prompter(prompter), m_window(*this) {
    m_ctlProgress = DlgItem<QProgressBar>(*this, IDC_PROGRESS);
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);
    m_batch.SetWindow(&m_window);
    m_batch.SetSyntaxErrorReport(&m_window);
    connect(&m_worker, &BatchWorker::Finished, this, &CBatchDlg::OnWorkerFinished);
    ConnectHandlers();
    InitDialog();
}

void CBatchDlg::ConnectHandlers() {
    OnClicked(IDOK, [this] { OnOK(); });
    OnClicked(IDC_BROWSE_SOURCES, [this] { OnBrowseSources(); });
    OnClicked(IDC_LOCATE_SCRIPT, [this] { OnLocateScript(); });
    OnClicked(IDC_DEST_FOLDER_BUTTON, [this] { OnDestFolder(); });
    OnClicked(IDC_NEW_SCRIPT, [this] { OnNewScript(); });
    OnClicked(IDC_EDIT_SCRIPT, [this] { OnEditScript(); });
    OnClicked(IDC_START, [this] { OnStartBulkEdit(); });
    OnClicked(IDC_SAVE_SCRIPT, [this] { OnSaveScript(); });
    OnClicked(IDC_VIEW_RESPONSE, [this] { OnViewResponse(); });
    OnClicked(IDC_DEBUG, [this] { OnDebugButton(); });
    OnClicked(IDC_RESPONSE_FILE_NAME, [this] { OnResponseFileName(); });
    auto* lineEnds = DlgItem<QComboBox>(*this, IDC_LINE_ENDS);
    connect(lineEnds, &QComboBox::currentIndexChanged, this, [this](int index) { m_batch.m_lineEnds = LineEndStyleAt(index); });
    SetHelpTopic(kHelpTopicMain);
    OnClicked(ID_HELP, [this] { ShowHelp(); });
}

void CBatchDlg::InitDialog() {
    m_batch.m_nSourceCount = 0;
    m_bScriptChanged = false;
    LoadSettings();
    m_pDebugDlg = new CDebugDlg(this);
}

void CBatchDlg::LoadSettings() {
    const SettingsStore store;
    LineEndStyle lineEnds = LineEndStyle::CrLf;
    ParseLineEndStyle(store.LineEnds().toStdString(), lineEnds);  // a value not understood keeps CR LF
    DlgItem<QComboBox>(*this, IDC_LINE_ENDS)->setCurrentIndex(LineEndStyleIndex(lineEnds));
    m_batch.m_lineEnds = lineEnds;
    m_bPreview = store.Preview();
    m_bPreviewDiff = store.PreviewDiff();
    const RememberedSettings settings = ReadRememberedSettings(store);
    CheckItem(IDC_REMEMBER, settings.remember);
    if (settings.remember) {
        m_batch.m_strSourceFolder = PathBytes(settings.lastSource);
        m_batch.m_strDestFolder = PathBytes(settings.lastDestination);
        m_strScriptPath = settings.lastScript;
        m_batch.m_strResponseFile = PathBytes(settings.responseFile);
        CheckItem(IDC_SAVE_RESPONSE, settings.saveResponse);
        if (!m_strScriptPath.isEmpty()) {
            SetPathItem(IDC_SCRIPT_PATH, m_strScriptPath);
            LoadScriptFile(kRememberedScriptContext);
        }
    }
    if (m_batch.m_strSourceFolder.empty()) m_batch.m_strSourceFolder = PathBytes(GetDocumentsFolder());
    if (m_batch.m_strDestFolder.empty()) m_batch.m_strDestFolder = PathBytes(GetDocumentsFolder());
    SetPathItem(IDC_DEST_FOLDER, PathText(m_batch.m_strDestFolder));
    if (m_batch.m_strResponseFile.empty()) m_batch.m_strResponseFile = kDefaultResponseFile;
}

void CBatchDlg::SaveSettings() {
    RememberedSettings settings;
    settings.remember = IsItemChecked(IDC_REMEMBER);
    settings.lastSource = PathText(m_batch.m_strSourceFolder);
    settings.lastDestination = PathText(m_batch.m_strDestFolder);
    settings.lastScript = m_strScriptPath;
    settings.responseFile = PathText(m_batch.m_strResponseFile);
    settings.saveResponse = IsItemChecked(IDC_SAVE_RESPONSE);
    SettingsStore store;
    WriteRememberedSettings(store, settings);
    // Ways of working, not places: kept whether or not folders are remembered.
    store.SetLineEnds(QString::fromLatin1(LineEndStyleName(m_batch.m_lineEnds)));
    store.SetPreview(m_bPreview);
    store.SetPreviewDiff(m_bPreviewDiff);
}

void CBatchDlg::OnOK() {
    if (m_bClosing) return;
    if (IsBatchRunning()) {
        // The run may end while the question is open: it is then taken
        // back (answered No), since there is nothing left to stop.
        m_bAskingToStop = true;
        const bool stop = m_prompter.AskYesNo(this, QString::fromUtf8(kStopBatchQuestion));
        m_bAskingToStop = false;
        if (!stop) return;
        m_bClosing = true;
        m_worker.StopAndWait();
    }
    m_bClosing = true;
    if (m_bScriptChanged && m_prompter.AskYesNo(this, QString::fromUtf8(kSaveScriptQuestion))) OnSaveScript();
    SaveSettings();
    done(QDialog::Accepted);
}

void CBatchDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    OnOK();
}

void CBatchDlg::OnDebugButton() {
    if (m_batch.IsDebugRun()) ShowDebugWindow(false);
}

void CBatchDlg::EnableStart(bool enable) {
    // The end of the run enables Start once the worker has finished.
    EnableItem(IDC_START, enable && !IsBatchRunning());
}

bool CBatchDlg::IsDebugChecked() const { return IsItemChecked(IDC_DEBUG); }

bool CBatchDlg::IsSaveResponseChecked() const { return IsItemChecked(IDC_SAVE_RESPONSE); }

void CBatchDlg::SetStatusText(const QString& text) { SetItemText(IDC_STATUS, text); }

void CBatchDlg::SetProgressRange(int lower, int upper) {
    // An empty range would show Qt's busy indicator instead of an empty bar.
    if (upper <= lower) upper = lower + 1;
    // Each file is a step of many units, so the bar also moves within a file.
    m_nProgressScale = std::clamp(INT_MAX / std::max({1, std::abs(lower), std::abs(upper)}), 1, kProgressUnitsPerFile);
    m_ctlProgress->setRange(lower * m_nProgressScale, upper * m_nProgressScale);
}

void CBatchDlg::SetProgressPos(int position) {
    // Position n is the n-th file, begun: the bar shows the files before it.
    m_nProgressStep = position;
    m_ctlProgress->setValue(std::max(0, position - 1) * m_nProgressScale);
}

void CBatchDlg::SetFileProgress(uint64_t bytesRead, uint64_t fileSize) {
    if (m_nProgressStep <= 0) return;
    const uint64_t done = fileSize == 0 ? 1 : std::min(bytesRead, fileSize);
    const uint64_t whole = fileSize == 0 ? 1 : fileSize;
    const int within = static_cast<int>(done * static_cast<uint64_t>(m_nProgressScale) / whole);
    m_ctlProgress->setValue((m_nProgressStep - 1) * m_nProgressScale + within);
}

void CBatchDlg::ShowDebugWindow(bool show) {
    if (show)
        m_pDebugDlg->ShowBeside(*this);
    else
        m_pDebugDlg->hide();
}

void CBatchDlg::ClearDebugText() { m_pDebugDlg->ClearText(); }

void CBatchDlg::AppendDebugText(const QString& text) { m_pDebugDlg->AppendText(text); }

void CBatchDlg::ShowErrorMessage(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (lines.endsWith(QLatin1Char('\n'))) lines.chop(1);
    m_prompter.ShowError(this, lines);
}

void CBatchDlg::ShowFileError(const QString& text) { m_prompter.ShowError(this, text); }

void CBatchDlg::ShowSyntaxError(const SyntaxError& error) {
    CSyntaxErrorDlg dlg(this);
    dlg.m_strMessage = DisplayText(error.m_strMessage);
    dlg.m_strCommandLine = DisplayText(error.m_strCommandLine);
    dlg.m_strProcessed = DisplayText(error.m_strProcessed);
    dlg.m_strLineNo = DisplayText(error.m_strLineNo);
    m_prompter.RunDialog(dlg);
}

void CBatchDlg::SetItemText(int id, const QString& text) {
    auto* label = DlgItem<QLabel>(*this, id);
    label->setText(text);
    label->setToolTip(QString());
}

void CBatchDlg::SetPathItem(int id, const QString& path) {
    // Both ends of a path tell most: the middle gives way, the tooltip has it whole.
    auto* label = DlgItem<QLabel>(*this, id);
    const int room = label->contentsRect().width() - 2 * label->margin() - label->fontMetrics().averageCharWidth();
    label->setText(label->fontMetrics().elidedText(path, Qt::ElideMiddle, std::max(room, 0)));
    label->setToolTip(path);
}

void CBatchDlg::EnableItem(int id, bool enable) { DlgItem(*this, id)->setEnabled(enable); }

bool CBatchDlg::IsItemChecked(int id) const { return DlgItem<QAbstractButton>(*this, id)->isChecked(); }

void CBatchDlg::CheckItem(int id, bool check) { DlgItem<QAbstractButton>(*this, id)->setChecked(check); }

}  // namespace tavisk::ui
