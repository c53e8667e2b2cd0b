#include "EditorApp.h"

#include <QCoreApplication>

#include "BatchDlg.h"
#include "Prompter.h"

namespace tavisk::ui {

bool CEditorApp::InitInstance() {
    QCoreApplication::setOrganizationName(QStringLiteral("Kestrine"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavisk"));
    QtPrompter prompter;
    CBatchDlg dlg(prompter);
    dlg.exec();
    return false;
}

}  // namespace tavisk::ui
