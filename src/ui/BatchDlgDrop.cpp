// Files dropped from a file manager.  On the "Control File" box a file is
// the control file, on the "Output" box a folder is the destination, and
// anywhere else files are the source list.  A drop that cannot be used
// changes nothing and says why in the status text.
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QMimeData>
#include <QSet>
#include <QUrl>

#include "BatchDlg.h"
#include "DisplayText.h"
#include "Prompter.h"
#include "dialogs/ControlIds.h"
#include "dialogs/DialogTemplate.h"

namespace tavisk::ui {

namespace {

constexpr const char* kControlFileBox = "Control File";
constexpr const char* kOutputBox = "Output";

QStringList LocalPaths(const QMimeData* data) {
    QStringList paths;
    if (!data) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

bool IsFolder(const QString& path) { return QFileInfo(path).isDir(); }

}  // namespace

QRect CBatchDlg::GroupBoxRect(const char* caption) const {
    for (const QGroupBox* group : findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly))
        if (ControlCaption(*group) == QString::fromUtf8(caption)) return group->geometry();
    return {};
}

void CBatchDlg::dragEnterEvent(QDragEnterEvent* event) {
    // While a batch runs the run state must not change: the drop is refused.
    if (!IsBatchRunning() && !LocalPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CBatchDlg::dragMoveEvent(QDragMoveEvent* event) {
    if (!IsBatchRunning()) event->acceptProposedAction();
    else event->ignore();
}

void CBatchDlg::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalPaths(event->mimeData());
    if (IsBatchRunning() || paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    const QPoint at = event->position().toPoint();
    if (GroupBoxRect(kControlFileBox).contains(at))
        DropScript(paths);
    else if (GroupBoxRect(kOutputBox).contains(at))
        DropDestination(paths);
    else
        DropSources(paths);
}

void CBatchDlg::DropSources(const QStringList& paths) {
    QStringList files;
    QSet<QString> names;
    for (const QString& path : paths) {
        if (IsFolder(path)) continue;
        const QString name = QFileInfo(path).fileName();
        // Every edited copy goes into one folder under its own name.
        if (names.contains(name)) {
            SetStatusText(QStringLiteral("Two dropped files are named %1: sources need different names").arg(name));
            return;
        }
        names.insert(name);
        files << path;
    }
    if (files.isEmpty()) {
        SetStatusText(QStringLiteral("Folders cannot be source files: drop the files themselves"));
        return;
    }
    UseSourceFiles(files);
}

void CBatchDlg::DropScript(const QStringList& paths) {
    if (paths.size() != 1) {
        SetStatusText(QStringLiteral("Drop one control file at a time"));
        return;
    }
    if (IsFolder(paths.front())) {
        SetStatusText(QStringLiteral("A folder cannot be the control file"));
        return;
    }
    // The script being replaced may hold edits not saved yet.
    if (m_bScriptChanged && m_prompter.AskYesNo(this, QString::fromUtf8(kSaveScriptQuestion))) OnSaveScript();
    UseScriptFile(paths.front());
}

void CBatchDlg::DropDestination(const QStringList& paths) {
    if (paths.size() != 1 || !IsFolder(paths.front())) {
        SetStatusText(QStringLiteral("Only one folder can be the destination"));
        return;
    }
    const QString folder = QDir::cleanPath(paths.front());
    m_batch.m_strDestFolder = PathBytes(folder);
    SetItemText(IDC_DEST_FOLDER, folder);
}

}  // namespace tavisk::ui
