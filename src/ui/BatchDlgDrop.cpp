// Files dropped from a file manager.  On the "Control File" box a file is
// the control file, on the "Output" box a folder is the destination, and
// anywhere else files are the source list.  A drop that cannot be used
// changes nothing and says why in the status text.  A drop is always
// answered as a copy: a file manager deletes the originals of a drop
// answered as a move.
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

namespace {

// Takes a drag or drop as a copy, the only answer that leaves the user's files alone.
void AcceptAsCopy(QDropEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

}  // namespace

void CBatchDlg::dragEnterEvent(QDragEnterEvent* event) {
    // While a batch runs the run state must not change: the drop is refused.
    if (!IsBatchRunning() && !LocalPaths(event->mimeData()).isEmpty()) AcceptAsCopy(event);
    else event->ignore();
}

void CBatchDlg::dragMoveEvent(QDragMoveEvent* event) {
    if (!IsBatchRunning() && !LocalPaths(event->mimeData()).isEmpty()) AcceptAsCopy(event);
    else event->ignore();
}

void CBatchDlg::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalPaths(event->mimeData());
    if (IsBatchRunning() || paths.isEmpty()) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    AcceptAsCopy(event);
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
            SetDropMessage(QStringLiteral("Two dropped files are named %1").arg(name));
            return;
        }
        names.insert(name);
        files << path;
    }
    if (files.isEmpty()) {
        SetDropMessage(QStringLiteral("Drop files, not folders"));
        return;
    }
    SetDropMessage(QString());
    UseSourceFiles(files);
}

void CBatchDlg::DropScript(const QStringList& paths) {
    if (paths.size() != 1) {
        SetDropMessage(QStringLiteral("Drop one control file only"));
        return;
    }
    if (IsFolder(paths.front())) {
        SetDropMessage(QStringLiteral("A folder is not a control file"));
        return;
    }
    SetDropMessage(QString());
    // The script being replaced may hold edits not saved yet.
    if (m_bScriptChanged && m_prompter.AskYesNo(this, QString::fromUtf8(kSaveScriptQuestion))) OnSaveScript();
    UseScriptFile(paths.front());
}

void CBatchDlg::DropDestination(const QStringList& paths) {
    if (paths.size() != 1) {
        SetDropMessage(QStringLiteral("Drop one output folder only"));
        return;
    }
    if (!IsFolder(paths.front())) {
        SetDropMessage(QStringLiteral("Drop a folder here, not a file"));
        return;
    }
    SetDropMessage(QString());
    const QString folder = QDir::cleanPath(paths.front());
    m_batch.m_strDestFolder = PathBytes(folder);
    SetPathItem(IDC_DEST_FOLDER, folder);
}

void CBatchDlg::SetDropMessage(const QString& text) {
    // The status box is narrow: the whole message is also its tooltip.
    SetStatusText(text);
    DlgItem(*this, IDC_STATUS)->setToolTip(text);
}

}  // namespace tavisk::ui
