// Choosing the source files, the control file and the destination folder.
#include <QFileInfo>
#include <QStandardPaths>

#include "BatchDlg.h"
#include "dialogs/ControlIds.h"
#include "DisplayText.h"
#include "Prompter.h"

namespace tavisk::ui {

void CBatchDlg::OnBrowseSources() {
    const QStringList paths = m_prompter.ChooseOpenFiles(this, PathText(m_batch.m_strSourceFolder));
    if (paths.isEmpty()) return;
    UseSourceFiles(paths);
}

void CBatchDlg::UseSourceFiles(const QStringList& paths) {
    std::vector<std::string> sources;
    sources.reserve(static_cast<size_t>(paths.size()));
    for (const QString& path : paths) sources.push_back(PathBytes(path));
    m_batch.SetSourcePaths(sources);
    SetItemText(IDC_FILE_COUNT, QStringLiteral("%1 File(s) selected").arg(m_batch.m_nSourceCount));
    SetPathItem(IDC_SOURCE_NAME, PathText(m_batch.m_arrSourceFiles.front()));
}

void CBatchDlg::OnLocateScript() {
    const QString path = m_prompter.ChooseOpenFile(this, m_strScriptPath);
    if (path.isEmpty()) return;
    UseScriptFile(path);
}

void CBatchDlg::UseScriptFile(const QString& path) {
    m_strScriptPath = path;
    SetPathItem(IDC_SCRIPT_PATH, m_strScriptPath);
    LoadScriptFile();
}

void CBatchDlg::OnDestFolder() {
    QString folder = PathText(m_batch.m_strDestFolder);
    if (BrowseForFolder(folder)) m_batch.m_strDestFolder = PathBytes(folder);
    SetPathItem(IDC_DEST_FOLDER, PathText(m_batch.m_strDestFolder));
}

bool CBatchDlg::BrowseForFolder(QString& folder) {
    const QString chosen = m_prompter.ChooseFolder(this, folder);
    if (chosen.isEmpty()) return false;
    folder = chosen;
    return true;
}

QString CBatchDlg::GetDocumentsFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

}  // namespace tavisk::ui
