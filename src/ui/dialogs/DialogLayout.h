#pragma once
// Resize anchors of a resizable dialog: moves or stretches chosen controls
// when the dialog's client area changes size, never below their design.
#include <QPointer>
#include <QWidget>
#include <vector>

#include "LayoutAnchors.h"

namespace tavisk::ui {

struct CLayoutItem {
    QPointer<QWidget> m_pCtrl;
    unsigned m_nAnchor = 0;
};

class CDialogLayout {
public:
    CDialogLayout() = default;
    virtual ~CDialogLayout() { RemoveAll(); }
    CDialogLayout(const CDialogLayout&) = delete;
    CDialogLayout& operator=(const CDialogLayout&) = delete;

    // Attaches the layout to `dialog` and takes its current client size as the design size.
    void Init(QWidget* dialog);
    // Anchors control `id` of the dialog; false when there is no such control or no dialog.
    bool AddControl(int id, unsigned anchor);
    bool AddWindow(QWidget* control, unsigned anchor);
    // Lays out every anchored control for the dialog's current size; call from its resize event.
    virtual void Reposition();
    virtual void RememberSize();
    void RemoveAll() { m_arrItems.clear(); }

private:
    QWidget* m_pParent = nullptr;
    int m_cxLast = 0;
    int m_cyLast = 0;
    int m_cxDesign = 0;
    int m_cyDesign = 0;
    std::vector<CLayoutItem> m_arrItems;
};

}  // namespace tavisk::ui
