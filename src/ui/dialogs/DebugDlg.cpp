#include "DebugDlg.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTextCursor>

#include "ControlIds.h"
#include "help/Help.h"
#include "WindowPlacement.h"

namespace tavisk::ui {

namespace {

constexpr ControlTemplate kControls[] = {
    {IDC_DEBUG_TEXT, ControlKind::MultiLineEdit, "", 8, 8, 416, 168},
};

constexpr DialogTemplate kTemplate = {"Debug Window", 437, 185, "Tahoma", 8, true, true, kControls};

}  // namespace

CDebugDlg::CDebugDlg(QWidget* parent) : CTemplateDialog(kTemplate, parent), m_editDebug(DlgItem<QPlainTextEdit>(*this, IDC_DEBUG_TEXT)) {
    setWindowModality(Qt::NonModal);
    SetHelpTopic(kHelpTopicDebug);
    // Appended text is not for undoing, and a long debug run must not pile up undo steps.
    m_editDebug->setUndoRedoEnabled(false);
    m_layout.Init(this);
    m_layout.AddControl(IDC_DEBUG_TEXT, LAYOUT_SIZE_X | LAYOUT_SIZE_Y);
}

void CDebugDlg::ClearText() {
    m_editDebug->clear();
    m_nLinesInBlock = 0;
}

QString CDebugDlg::GroupLines(const QString& text) {
    // Each paragraph of the document costs far more to add than its text:
    // all but every kLinesPerBlock-th line end become line separators, which
    // look and edit the same and read back as line ends.
    QString grouped;
    grouped.reserve(text.size());
    const QChar* chars = text.constData();
    const qsizetype size = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (chars[i] != QLatin1Char('\n')) continue;
        const bool crlf = i > start && chars[i - 1] == QLatin1Char('\r');
        grouped.append(chars + start, i - start - (crlf ? 1 : 0));
        if (++m_nLinesInBlock < kLinesPerBlock) {
            grouped.append(QChar(QChar::LineSeparator));
        } else {
            grouped.append(QLatin1Char('\n'));
            m_nLinesInBlock = 0;
        }
        start = i + 1;
    }
    grouped.append(chars + start, size - start);
    return grouped;
}

void CDebugDlg::AppendText(const QString& text) {
    QTextCursor cursor(m_editDebug->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(GroupLines(text));
    m_editDebug->setTextCursor(cursor);
    m_editDebug->ensureCursorVisible();
}

QString CDebugDlg::Text() const { return m_editDebug->toPlainText(); }

void CDebugDlg::resizeEvent(QResizeEvent* event) {
    CTemplateDialog::resizeEvent(event);
    m_layout.Reposition();
}

void CDebugDlg::ShowBeside(const QWidget& owner) {
    if (isVisible()) return;
    const QScreen* screen = owner.screen();
    if (screen) {
        // Before the window is first shown its frame is unknown: the owner's tells its likely size.
        const QSize frameExtra = owner.frameGeometry().size() - owner.size();
        const QSize wanted = QSize(Units().ToPixelsX(437), Units().ToPixelsY(185)) + frameExtra;
        const QRect frame = PlaceBeside(owner.frameGeometry(), wanted, screen->availableGeometry());
        resize(frame.size() - frameExtra);
        move(frame.topLeft());
    }
    show();
}

void CDebugDlg::closeEvent(QCloseEvent* event) {
    // Hidden, not closed: the next debug run shows it again.
    event->ignore();
    hide();
}

}  // namespace tavisk::ui
