// tavisk: the desktop program.  It takes no arguments of its own.
#include <QApplication>
#include <QIcon>

#include "EditorApp.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The icon comes with the installed desktop entry; a build tree has none.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("tavisk")));
    QGuiApplication::setDesktopFileName(QStringLiteral("tavisk"));
    tavisk::ui::CEditorApp editor;
    editor.InitInstance();
    return 0;
}
