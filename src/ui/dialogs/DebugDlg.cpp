#include "DebugDlg.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

#include "ControlIds.h"

namespace tavisk::ui {

namespace {

constexpr ControlTemplate kControls[] = {
    {IDC_DEBUG_TEXT, ControlKind::MultiLineEdit, "", 8, 8, 416, 168},
};

constexpr DialogTemplate kTemplate = {"Debug Window", 437, 185, "Tahoma", 8, true, false, kControls};

}  // namespace

CDebugDlg::CDebugDlg(QWidget* parent) : CTemplateDialog(kTemplate, parent), m_editDebug(DlgItem<QPlainTextEdit>(*this, IDC_DEBUG_TEXT)) {
    setWindowModality(Qt::NonModal);
    move(Units().ToPixelsX(10), Units().ToPixelsY(10));
    // Appended text is not for undoing, and a long debug run must not pile up undo steps.
    m_editDebug->setUndoRedoEnabled(false);
    m_layout.Init(this);
    m_layout.AddControl(IDC_DEBUG_TEXT, LAYOUT_SIZE_X | LAYOUT_SIZE_Y);
}

void CDebugDlg::ClearText() { m_editDebug->clear(); }

void CDebugDlg::AppendText(const QString& text) {
    QTextCursor cursor(m_editDebug->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    m_editDebug->setTextCursor(cursor);
    m_editDebug->ensureCursorVisible();
}

QString CDebugDlg::Text() const { return m_editDebug->toPlainText(); }

void CDebugDlg::resizeEvent(QResizeEvent* event) {
    CTemplateDialog::resizeEvent(event);
    m_layout.Reposition();
}

void CDebugDlg::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace tavisk::ui
