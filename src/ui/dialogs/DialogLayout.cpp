#include "DialogLayout.h"

#include "DialogTemplate.h"

namespace tavisk::ui {

void CDialogLayout::Init(QWidget* dialog) {
    m_pParent = dialog;
    m_cxDesign = dialog->width();
    m_cyDesign = dialog->height();
    RememberSize();
}

bool CDialogLayout::AddControl(int id, unsigned anchor) {
    if (!m_pParent) return false;
    return AddWindow(DlgItem(*m_pParent, id), anchor);
}

bool CDialogLayout::AddWindow(QWidget* control, unsigned anchor) {
    if (!control || !m_pParent) return false;
    m_arrItems.push_back(CLayoutItem{control, anchor});
    return true;
}

void CDialogLayout::Reposition() {
    if (!m_pParent) return;
    const int dx = AnchorDelta(m_pParent->width(), m_cxLast, m_cxDesign);
    const int dy = AnchorDelta(m_pParent->height(), m_cyLast, m_cyDesign);
    for (const CLayoutItem& item : m_arrItems) {
        if (!item.m_pCtrl) continue;
        const QRect geometry = item.m_pCtrl->geometry();
        // QRect's right() is inclusive; the anchors work on exclusive edges.
        const AnchorRect moved = ApplyAnchor({geometry.left(), geometry.top(), geometry.left() + geometry.width(),
                                              geometry.top() + geometry.height()},
                                             item.m_nAnchor, dx, dy);
        item.m_pCtrl->setGeometry(moved.left, moved.top, moved.right - moved.left, moved.bottom - moved.top);
    }
    RememberSize();
}

void CDialogLayout::RememberSize() {
    if (!m_pParent) return;
    m_cxLast = m_pParent->width();
    m_cyLast = m_pParent->height();
}

}  // namespace tavisk::ui
