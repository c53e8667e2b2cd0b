#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

#include "Prompter.h"

namespace tavisk::ui {

namespace {

const QString kTitle = QStringLiteral("Tavisk");
// "*.*" would hide files without a dot on this platform.
const QString kAllFiles = QStringLiteral("All Files (*)");

}  // namespace

void QtPrompter::ShowError(QWidget* parent, const QString& text) { QMessageBox::critical(parent, kTitle, text); }

bool QtPrompter::AskYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

QStringList QtPrompter::ChooseOpenFiles(QWidget* parent, const QString& startFolder) {
    return QFileDialog::getOpenFileNames(parent, QString(), startFolder, kAllFiles);
}

QString QtPrompter::ChooseOpenFile(QWidget* parent, const QString& start) {
    return QFileDialog::getOpenFileName(parent, QString(), start, kAllFiles);
}

QString QtPrompter::ChooseSaveFile(QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, QString(), QString(), kAllFiles, nullptr, QFileDialog::DontConfirmOverwrite);
}

QString QtPrompter::ChooseFolder(QWidget* parent, const QString& startFolder) {
    return QFileDialog::getExistingDirectory(parent, QStringLiteral("Destination Folder"), startFolder);
}

int QtPrompter::RunDialog(QDialog& dialog) { return dialog.exec(); }

}  // namespace tavisk::ui
