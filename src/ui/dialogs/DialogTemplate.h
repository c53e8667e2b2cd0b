#pragma once
// Dialogs are built from templates: controls in tab order, placed in dialog
// units that follow the dialog font (x: average character width / 4,
// y: character height / 8), each named by its id so code and tests find it.
#include <QFont>
#include <QRect>
#include <QWidget>
#include <span>

class QDialog;

namespace tavisk::ui {

enum class ControlKind { PushButton, CheckBox, GroupBox, Static, ProgressBar, MultiLineEdit, LineEdit, ListBox, ComboBox };

// Control styles.
inline constexpr unsigned CS_DEFAULT = 1u << 0;    // the default push button
inline constexpr unsigned CS_DISABLED = 1u << 1;
inline constexpr unsigned CS_SUNKEN = 1u << 2;
inline constexpr unsigned CS_CENTER = 1u << 3;     // text centred across
inline constexpr unsigned CS_VCENTER = 1u << 4;    // text centred top to bottom
inline constexpr unsigned CS_WORDWRAP = 1u << 5;   // static text broken at spaces
inline constexpr unsigned CS_PUSHLIKE = 1u << 6;   // a check box drawn as a push button
inline constexpr unsigned CS_MULTILINE = 1u << 7;  // a button caption that may take several lines

struct ControlTemplate {
    int id;  // -1: never addressed by the code
    ControlKind kind;
    const char* caption;
    int x, y, cx, cy;  // dialog units
    unsigned style = 0;
};

struct DialogTemplate {
    const char* caption;
    int cx, cy;  // client size in dialog units
    const char* fontFace;
    int pointSize;
    bool resizable;
    bool closeBox;
    std::span<const ControlTemplate> controls;
};

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    int ToPixelsX(int x) const;
    int ToPixelsY(int y) const;
    QRect ToPixels(int x, int y, int cx, int cy) const;

private:
    int m_cxChar;
    int m_cyChar;
};

// A font by face and point size; Qt picks the nearest face installed.
QFont TemplateFont(const char* face, int pointSize);

// Gives `dialog` the template's caption, font, frame and client size and
// creates its controls in template order, which is also the tab order.
DialogUnits BuildDialog(QDialog& dialog, const DialogTemplate& dialogTemplate);

// The control `id` of a dialog, or null.
QWidget* DlgItem(const QWidget& dialog, int id);
template <class T>
T* DlgItem(const QWidget& dialog, int id) {
    return qobject_cast<T*>(DlgItem(dialog, id));
}

// The caption of a template control as the program gave it; a wrapped button
// caption reads back whole.
QString ControlCaption(const QWidget& control);

}  // namespace tavisk::ui
