#pragma once
// A dialog built from a template.  Its initialisation runs when it opens,
// after the caller has set its inputs, as with any modal dialog of ours.
#include <QAbstractButton>
#include <QDialog>

#include "DialogTemplate.h"

namespace tavisk::ui {

class CTemplateDialog : public QDialog {
    Q_OBJECT
public:
    CTemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent);

protected:
    virtual void OnInitDialog() {}
    void showEvent(QShowEvent* event) override;
    const DialogUnits& Units() const { return m_units; }

    // Connects the clicks of button `id` to `handler`.
    template <class Handler>
    void OnClicked(int id, Handler handler) {
        if (auto* button = DlgItem<QAbstractButton>(*this, id)) connect(button, &QAbstractButton::clicked, this, handler);
    }

private:
    void OnHelpKey();

    DialogUnits m_units;
    bool m_bInitialised = false;
};

}  // namespace tavisk::ui
