#pragma once
// Every modal dialog the program shows goes through this one interface, so
// that tests can answer them.
#include <QString>
#include <QStringList>

class QDialog;
class QMessageBox;
class QWidget;

namespace tavisk::ui {

class Prompter {
public:
    virtual ~Prompter() = default;

    // An error message box titled "Tavisk" with an OK button.
    virtual void ShowError(QWidget* parent, const QString& text) = 0;
    // A Yes/No question titled "Tavisk"; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& text) = 0;
    // Takes back the open Yes/No question, if any, as if answered No: what
    // it asked about has gone.
    virtual void DismissQuestion() = 0;
    // Full paths of the chosen files, in the chooser's order; empty when cancelled.
    virtual QStringList ChooseOpenFiles(QWidget* parent, const QString& startFolder) = 0;
    // One full path; empty when cancelled.  `start` may be a folder or a file.
    virtual QString ChooseOpenFile(QWidget* parent, const QString& start) = 0;
    // A full path to save to, an existing file replaced without a question; empty when cancelled.
    virtual QString ChooseSaveFile(QWidget* parent) = 0;
    // The folder browser titled "Destination Folder"; empty when cancelled.
    virtual QString ChooseFolder(QWidget* parent, const QString& startFolder) = 0;
    // Runs one of the program's own dialogs modally; returns its result code.
    virtual int RunDialog(QDialog& dialog) = 0;
};

// The real dialogs.
class QtPrompter final : public Prompter {
public:
    void ShowError(QWidget* parent, const QString& text) override;
    bool AskYesNo(QWidget* parent, const QString& text) override;
    void DismissQuestion() override;
    QStringList ChooseOpenFiles(QWidget* parent, const QString& startFolder) override;
    QString ChooseOpenFile(QWidget* parent, const QString& start) override;
    QString ChooseSaveFile(QWidget* parent) override;
    QString ChooseFolder(QWidget* parent, const QString& startFolder) override;
    int RunDialog(QDialog& dialog) override;

private:
    QMessageBox* m_pOpenQuestion = nullptr;
};

}  // namespace tavisk::ui
