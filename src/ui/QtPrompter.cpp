#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

#include "Prompter.h"

namespace tavisk::ui {

namespace {

const QString kTitle = QStringLiteral("Tavisk");
// "*.*" would hide files without a dot on this platform.
const QString kAllFiles = QStringLiteral("All Files (*)");

// A box is centred on its parent only once the parent is on screen.  While
// the main dialog starts up it is not shown yet, and it will open centred on
// the screen: a box without a parent opens there too, so on top of it.
QWidget* ShownParent(QWidget* parent) { return parent && parent->window()->isVisible() ? parent : nullptr; }

}  // namespace

void QtPrompter::ShowError(QWidget* parent, const QString& text) {
    QMessageBox::critical(ShownParent(parent), kTitle, text);
}

bool QtPrompter::AskYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Yes | QMessageBox::No, ShownParent(parent));
    QMessageBox* const outer = m_pOpenQuestion;
    m_pOpenQuestion = &box;
    const int answer = box.exec();
    m_pOpenQuestion = outer;
    return answer == QMessageBox::Yes;
}

void QtPrompter::DismissQuestion() {
    if (m_pOpenQuestion) m_pOpenQuestion->done(QMessageBox::No);
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
