#pragma once
// What the dialog tests share: a prompter that answers every modal dialog,
// a throwaway home with its own settings, screenshots, and small file helpers.
#include <QDialog>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "Prompter.h"

namespace tavisk::ui::test {

class FakePrompter final : public Prompter {
public:
    using DialogAnswer = std::function<int(QDialog&)>;

    void ShowError(QWidget* parent, const QString& text) override;
    bool AskYesNo(QWidget* parent, const QString& text) override;
    void DismissQuestion() override { questionDismissed = true; }
    QStringList ChooseOpenFiles(QWidget* parent, const QString& startFolder) override;
    QString ChooseOpenFile(QWidget* parent, const QString& start) override;
    QString ChooseSaveFile(QWidget* parent) override;
    QString ChooseFolder(QWidget* parent, const QString& startFolder) override;
    int RunDialog(QDialog& dialog) override;

    // Answers, used in order; an empty queue answers No or Cancel.
    std::deque<bool> yesNoAnswers;
    std::deque<QStringList> openFilesAnswers;
    std::deque<QString> openFileAnswers;
    std::deque<QString> saveFileAnswers;
    std::deque<QString> folderAnswers;
    std::deque<DialogAnswer> dialogAnswers;
    // Called inside ShowError, while the caller waits for the box to close.
    std::function<void()> onError;
    // Called inside AskYesNo, while the question is open; a question taken
    // back meanwhile answers No.
    std::function<void()> onQuestion;
    bool questionDismissed = false;

    // What was shown or asked.
    QStringList errors;
    QStringList questions;
    QStringList dialogTitles;
    QStringList startFolders;  // of every chooser, in order
};

// Shows `dialog` (which runs its initialisation), saves its picture, then
// clicks button `id` and returns the dialog's result.
int ClickAfterShowing(QDialog& dialog, int id, const QString& screenshotName = QString());
// Clicks at the centre of control `id` as a user does: the press goes to the
// window, which hands it to whatever lies at that point.  The dialog must be shown.
void ClickControl(QWidget& dialog, int id);
// Drags local files or folders from a file manager and drops them at `at`
// of the dialog; true when the dialog took the drop.
bool DropAt(QWidget& dialog, const QPoint& at, const QStringList& paths);
// As DropAt, offering copy or move with move proposed; the action the dialog
// answered, IgnoreAction when it refused the drop.
Qt::DropAction DropAnswerAt(QWidget& dialog, const QPoint& at, const QStringList& paths);
// Shows a dialog and lets pending events run.
void ShowAndSettle(QWidget& widget);
// Saves a picture of `widget` as screenshots/NAME.png in the build folder.
void SaveScreenshot(QWidget& widget, const QString& name);

// A throwaway home: its own settings store and documents folder.
class TestHome {
public:
    TestHome();
    QString Path(const QString& relative) const;
    QString DocumentsFolder() const { return Path(QStringLiteral("home/Documents")); }
    QString SettingsFile() const;
    // Removes the settings, as on a first start.
    void ClearSettings() const;

private:
    QTemporaryDir m_dir;
};

std::string ReadBytes(const QString& path);
void WriteBytes(const QString& path, const std::string& bytes);
bool Exists(const QString& path);

}  // namespace tavisk::ui::test
