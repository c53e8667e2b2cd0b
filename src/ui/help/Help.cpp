#include "Help.h"

#include <QCoreApplication>
#include <QFile>
#include <memory>

#include "HelpResourceViewer.h"
#include "HelpService.h"

namespace tavisk::ui {

namespace {

// The program's help: made at the first request and kept, so a missing help
// file is not searched again; deleted with the application, whose widgets
// must all go while it still exists.
struct ProgramHelp {
    HelpResourceViewer viewer;
    HelpService service{viewer, QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString()};
};

std::unique_ptr<ProgramHelp>& TheProgramHelp() {
    static std::unique_ptr<ProgramHelp> help;
    return help;
}

HelpService& TheHelpService() {
    std::unique_ptr<ProgramHelp>& help = TheProgramHelp();
    if (!help) {
        help = std::make_unique<ProgramHelp>();
        qAddPostRoutine([] { TheProgramHelp().reset(); });
    }
    return help->service;
}

}  // namespace

void ShowHelpTopic(int topic) { TheHelpService().ShowTopic(topic); }

void ShowHelpContents() { TheHelpService().ShowContents(); }

}  // namespace tavisk::ui
