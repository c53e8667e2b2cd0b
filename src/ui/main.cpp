// tavisk: the desktop program.  It takes no arguments of its own.
#include <QApplication>

#include "EditorApp.h"
#include "engine/StandardDescriptors.h"
#include "ProgramIcon.h"

int main(int argc, char** argv) {
    if (!tavisk::ReopenClosedStandardDescriptors()) return 1;
    QApplication app(argc, argv);
    QApplication::setWindowIcon(tavisk::ui::ProgramIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("tavisk"));
    tavisk::ui::CEditorApp editor;
    editor.InitInstance();
    return 0;
}
