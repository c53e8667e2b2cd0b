#include "Help.h"

#include <QCoreApplication>
#include <QFile>

#include "HelpResourceViewer.h"
#include "HelpService.h"

namespace tavisk::ui {

namespace {

// One help service per process: the help file is looked for at the first
// request and the outcome kept, so a missing file is not searched again.
HelpService& TheHelpService() {
    static HelpResourceViewer viewer;
    static HelpService service(viewer, QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString());
    return service;
}

}  // namespace

void ShowHelpTopic(int topic) { TheHelpService().ShowTopic(topic); }

void ShowHelpContents() { TheHelpService().ShowContents(); }

}  // namespace tavisk::ui
