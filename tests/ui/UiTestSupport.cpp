#include "UiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QSettings>
#include <QTest>
#include <QUrl>

#include "dialogs/DialogTemplate.h"

namespace tavisk::ui::test {

namespace {

template <class T>
T PopOr(std::deque<T>& queue, T fallback) {
    if (queue.empty()) return fallback;
    T value = std::move(queue.front());
    queue.pop_front();
    return value;
}

}  // namespace

void FakePrompter::ShowError(QWidget*, const QString& text) {
    errors << text;
    if (onError) onError();
}

bool FakePrompter::AskYesNo(QWidget*, const QString& text) {
    questions << text;
    questionDismissed = false;
    if (onQuestion) onQuestion();
    const bool answer = PopOr(yesNoAnswers, false);
    return answer && !questionDismissed;
}

QStringList FakePrompter::ChooseOpenFiles(QWidget*, const QString& startFolder) {
    startFolders << startFolder;
    return PopOr(openFilesAnswers, QStringList());
}

QString FakePrompter::ChooseOpenFile(QWidget*, const QString& start) {
    startFolders << start;
    return PopOr(openFileAnswers, QString());
}

QString FakePrompter::ChooseSaveFile(QWidget*) { return PopOr(saveFileAnswers, QString()); }

QString FakePrompter::ChooseFolder(QWidget*, const QString& startFolder) {
    startFolders << startFolder;
    return PopOr(folderAnswers, QString());
}

int FakePrompter::RunDialog(QDialog& dialog) {
    dialogTitles << dialog.windowTitle();
    DialogAnswer answer = PopOr(dialogAnswers, DialogAnswer());
    if (!answer) return ClickAfterShowing(dialog, 2 /* Cancel */);
    return answer(dialog);
}

void ClickControl(QWidget& dialog, int id) {
    QWidget* control = DlgItem(dialog, id);
    QVERIFY2(control, qPrintable(QStringLiteral("no control %1").arg(id)));
    QWidget* window = dialog.window();
    QVERIFY2(window->windowHandle() && window->isVisible(), "the dialog is not shown");
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, control->mapTo(window, control->rect().center()));
}

Qt::DropAction DropAnswerAt(QWidget& dialog, const QPoint& at, const QStringList& paths) {
    // As a file manager drags: copy or move allowed, move proposed.
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(&dialog, &enter);
    if (!enter.isAccepted()) return Qt::IgnoreAction;
    QDragMoveEvent move(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    move.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(&dialog, &move);
    if (!move.isAccepted()) return Qt::IgnoreAction;
    QDropEvent drop(QPointF(at), offered, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(&dialog, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

bool DropAt(QWidget& dialog, const QPoint& at, const QStringList& paths) {
    return DropAnswerAt(dialog, at, paths) != Qt::IgnoreAction;
}

void ShowAndSettle(QWidget& widget) {
    widget.show();
    QApplication::processEvents();
}

void SaveScreenshot(QWidget& widget, const QString& name) {
    QDir().mkpath(QStringLiteral(TAVISK_SCREENSHOT_DIR));
    widget.grab().save(QStringLiteral(TAVISK_SCREENSHOT_DIR "/") + name + QStringLiteral(".png"));
}

int ClickAfterShowing(QDialog& dialog, int id, const QString& screenshotName) {
    ShowAndSettle(dialog);
    if (!screenshotName.isEmpty()) SaveScreenshot(dialog, screenshotName);
    if (DlgItem(dialog, id)) ClickControl(dialog, id);
    if (dialog.isVisible()) dialog.reject();  // a refused click: give up as Cancel would
    return dialog.result();
}

TestHome::TestHome() {
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("home/Documents"));
    root.mkpath(QStringLiteral("config"));
    qputenv("HOME", Path(QStringLiteral("home")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", Path(QStringLiteral("config")).toLocal8Bit());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Path(QStringLiteral("settings")));
}

QString TestHome::Path(const QString& relative) const { return m_dir.path() + QLatin1Char('/') + relative; }

QString TestHome::SettingsFile() const { return Path(QStringLiteral("settings/Kestrine/Tavisk.ini")); }

void TestHome::ClearSettings() const { QFile::remove(SettingsFile()); }

std::string ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "<missing>";
    return file.readAll().toStdString();
}

void WriteBytes(const QString& path, const std::string& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

bool Exists(const QString& path) { return QFile::exists(path); }

}  // namespace tavisk::ui::test
