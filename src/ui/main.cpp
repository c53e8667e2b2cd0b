// tavisk: the desktop program.  It takes no arguments of its own.
#include <QApplication>

#include "EditorApp.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tavisk::ui::CEditorApp editor;
    editor.InitInstance();
    return 0;
}
