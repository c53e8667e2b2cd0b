#pragma once
// The main dialog: chooses what a batch works on, runs it on a worker thread,
// and keeps the settings between runs of the program.
#include <QRect>
#include <QString>
#include <QStringList>

#include "BatchWorker.h"
#include "DialogBatchWindow.h"
#include "dialogs/TemplateDialog.h"
#include "batch/BatchRun.h"

class QProgressBar;

namespace tavisk::ui {

class CDebugDlg;
class Prompter;

inline constexpr const char* kUnsavedScriptCaption = "++ Unsaved Script ++";
inline constexpr const char* kSaveScriptQuestion = "Do you wish to save the script ?";
// The progress bar moves by this many units per file (fewer with very many files).
inline constexpr int kProgressUnitsPerFile = 1000;
inline constexpr const char* kStopBatchQuestion = "A batch is running.\nDo you wish to stop the batch ?";

class CBatchDlg : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CBatchDlg(Prompter& prompter, QWidget* parent = nullptr);
    ~CBatchDlg() override;

    // Button handlers.
    void OnBrowseSources();
    void OnLocateScript();
    void OnDestFolder();
    void OnNewScript();
    void OnEditScript();
    void OnSaveScript();
    void OnStartBulkEdit();
    void OnViewResponse();
    void OnResponseFileName();
    void OnDebugButton();
    void OnOK();      // "Done"
    void OnCancel() {}  // Escape does nothing

    // Loads the control file; an error message starts with `context`, when given.
    bool LoadScriptFile(const char* context = nullptr);
    bool SaveScriptFile();
    void LoadSettings();
    void SaveSettings();
    bool BrowseForFolder(QString& folder);
    // The user's documents folder, or empty when there is none.
    static QString GetDocumentsFolder();

    BatchRun& Batch() { return m_batch; }
    const QString& ScriptPath() const { return m_strScriptPath; }
    bool IsScriptChanged() const { return m_bScriptChanged; }
    CDebugDlg* DebugWindow() const { return m_pDebugDlg; }
    bool IsBatchRunning() const { return m_worker.IsRunning(); }

    // The batch's window operations, on the window thread.
    void EnableStart(bool enable);
    bool IsDebugChecked() const;
    bool IsSaveResponseChecked() const;
    void SetStatusText(const QString& text);
    void SetProgressRange(int lower, int upper);
    void SetProgressPos(int position);
    void SetFileProgress(uint64_t bytesRead, uint64_t fileSize);
    void ShowDebugWindow(bool show);
    void ClearDebugText();
    void AppendDebugText(const QString& text);
    // Complaint lines, each ending in "\r\n", in one error message box.
    void ShowErrorMessage(const QString& text);
    void ShowFileError(const QString& text);
    void ShowSyntaxError(const SyntaxError& error);

signals:
    // A run's worker has ended and the controls are enabled again.
    void BatchFinished();

protected:
    // Files dropped from a file manager: sources, control file or destination.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override { OnCancel(); }

private:
    void ConnectHandlers();
    void InitDialog();
    void OnWorkerFinished();
    // What "&Browse..." and "&Locate..." do with the names chosen.
    void UseSourceFiles(const QStringList& paths);
    void UseScriptFile(const QString& path);
    void DropSources(const QStringList& paths);
    void DropScript(const QStringList& paths);
    void DropDestination(const QStringList& paths);
    // The frame of group box `caption`, in this dialog's coordinates.
    QRect GroupBoxRect(const char* caption) const;
    void SetRunning(bool running);
    void SetItemText(int id, const QString& text);
    // A path, shortened in the middle to fit its box and whole in the tooltip.
    void SetPathItem(int id, const QString& path);
    // A message about a drop, in the status box; empty clears it.
    void SetDropMessage(const QString& text);
    void EnableItem(int id, bool enable);
    bool IsItemChecked(int id) const;
    void CheckItem(int id, bool check);

    Prompter& m_prompter;
    BatchRun m_batch;
    DialogBatchWindow m_window;
    QString m_strScriptPath;
    bool m_bScriptChanged = false;
    CDebugDlg* m_pDebugDlg = nullptr;
    QProgressBar* m_ctlProgress = nullptr;
    int m_nProgressScale = 1;  // bar units per file
    int m_nProgressStep = 0;   // the file being read, counted from 1
    bool m_bClosing = false;
    bool m_bAskingToStop = false;  // Done's stop question is open
    // The script editor's preview: shown, and as changes rather than text.
    bool m_bPreview = false;
    bool m_bPreviewDiff = false;
    // Last of the members: it stops a running worker before the members it uses go.
    BatchWorker m_worker;
};

}  // namespace tavisk::ui
