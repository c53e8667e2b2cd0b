#include "DialogTemplate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace tavisk::ui {

namespace {

constexpr const char* kCaptionProperty = "caption";

// The average width of the letters, rounded as dialog units have always
// been measured, so layouts keep their proportions with any font.
int AverageCharWidth(const QFontMetrics& metrics) {
    const int width = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return (width / 26 + 1) / 2;
}

int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    return static_cast<int>((product + (product >= 0 ? denominator / 2 : -denominator / 2)) / denominator);
}

// Breaks a caption at spaces so each line fits `width` pixels.
QString WrapCaption(const QString& caption, const QFontMetrics& metrics, int width) {
    const QStringList words = caption.split(QLatin1Char(' '));
    QString wrapped;
    QString line;
    for (const QString& word : words) {
        const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
            wrapped += line + QLatin1Char('\n');
            line = word;
        } else {
            line = candidate;
        }
    }
    return wrapped + line;
}

Qt::Alignment StaticAlignment(unsigned style) {
    Qt::Alignment alignment = (style & CS_CENTER) ? Qt::AlignHCenter : Qt::AlignLeft;
    alignment |= (style & CS_VCENTER) ? Qt::AlignVCenter : Qt::AlignTop;
    return alignment;
}

QWidget* CreatePushButton(QDialog& dialog, const ControlTemplate& control, const QRect& rect) {
    auto* button = new QPushButton(&dialog);
    QString caption = QString::fromUtf8(control.caption);
    if (control.style & CS_MULTILINE) caption = WrapCaption(caption, QFontMetrics(dialog.font()), rect.width() - 8);
    button->setText(caption);
    if (control.style & CS_PUSHLIKE) {
        // A check box: Enter on it goes to the default button.
        button->setCheckable(true);
        button->setAutoDefault(false);
    }
    if (control.style & CS_DEFAULT) button->setDefault(true);
    return button;
}

QWidget* CreateStatic(QDialog& dialog, const ControlTemplate& control) {
    // Plain text always: a script line or a file name is never markup.
    auto* label = new QLabel(&dialog);
    label->setTextFormat(Qt::PlainText);
    label->setText(QString::fromUtf8(control.caption));
    label->setAlignment(StaticAlignment(control.style));
    label->setWordWrap(control.style & CS_WORDWRAP);
    if (control.style & CS_SUNKEN) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return label;
}

QWidget* CreateControl(QDialog& dialog, const ControlTemplate& control, const QRect& rect) {
    switch (control.kind) {
    case ControlKind::PushButton:
        return CreatePushButton(dialog, control, rect);
    case ControlKind::CheckBox:
        return new QCheckBox(QString::fromUtf8(control.caption), &dialog);
    case ControlKind::GroupBox:
        return new QGroupBox(QString::fromUtf8(control.caption), &dialog);
    case ControlKind::Static:
        return CreateStatic(dialog, control);
    case ControlKind::ProgressBar: {
        auto* progress = new QProgressBar(&dialog);
        progress->setTextVisible(false);
        progress->setRange(0, 100);
        progress->setValue(0);
        return progress;
    }
    case ControlKind::MultiLineEdit: {
        auto* edit = new QPlainTextEdit(&dialog);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        return edit;
    }
    case ControlKind::LineEdit:
        return new QLineEdit(&dialog);
    case ControlKind::ComboBox: {
        // A drop-down list: the captions of its choices are "|"-separated.
        auto* combo = new QComboBox(&dialog);
        const QString choices = QString::fromUtf8(control.caption);
        if (!choices.isEmpty()) combo->addItems(choices.split(QLatin1Char('|')));
        return combo;
    }
    case ControlKind::ListBox: {
        auto* list = new QListWidget(&dialog);
        list->setSelectionMode(QAbstractItemView::NoSelection);
        return list;
    }
    }
    return nullptr;
}

void SetWindowFrame(QDialog& dialog, const DialogTemplate& dialogTemplate) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (dialogTemplate.closeBox) flags |= Qt::WindowCloseButtonHint;
    dialog.setWindowFlags(flags);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    m_cxChar = AverageCharWidth(metrics);
    m_cyChar = metrics.height();
}

int DialogUnits::ToPixelsX(int x) const { return MulDiv(x, m_cxChar, 4); }

int DialogUnits::ToPixelsY(int y) const { return MulDiv(y, m_cyChar, 8); }

QRect DialogUnits::ToPixels(int x, int y, int cx, int cy) const {
    const int left = ToPixelsX(x);
    const int top = ToPixelsY(y);
    return QRect(left, top, ToPixelsX(x + cx) - left, ToPixelsY(y + cy) - top);
}

QFont TemplateFont(const char* face, int pointSize) {
    QFont font(QString::fromUtf8(face));
    font.setPointSize(pointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

DialogUnits BuildDialog(QDialog& dialog, const DialogTemplate& dialogTemplate) {
    dialog.setWindowTitle(QString::fromUtf8(dialogTemplate.caption));
    dialog.setFont(TemplateFont(dialogTemplate.fontFace, dialogTemplate.pointSize));
    SetWindowFrame(dialog, dialogTemplate);

    const DialogUnits units(dialog.font());
    const QSize size(units.ToPixelsX(dialogTemplate.cx), units.ToPixelsY(dialogTemplate.cy));
    if (dialogTemplate.resizable)
        dialog.resize(size);
    else
        dialog.setFixedSize(size);

    for (const ControlTemplate& control : dialogTemplate.controls) {
        const QRect rect = units.ToPixels(control.x, control.y, control.cx, control.cy);
        QWidget* widget = CreateControl(dialog, control, rect);
        if (control.id != -1) widget->setObjectName(QString::number(control.id));
        widget->setProperty(kCaptionProperty, QString::fromUtf8(control.caption));
        widget->setGeometry(rect);
        if (control.style & CS_DISABLED) widget->setEnabled(false);
    }
    // A group box is created after some of the controls it frames and would
    // lie on top of them, taking their clicks: group boxes go to the bottom.
    for (QGroupBox* group : dialog.findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly)) group->lower();
    return units;
}

QWidget* DlgItem(const QWidget& dialog, int id) {
    return dialog.findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

QString ControlCaption(const QWidget& control) { return control.property(kCaptionProperty).toString(); }

}  // namespace tavisk::ui
