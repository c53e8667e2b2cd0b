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

    // The help topic of this dialog, opened by F1 and by its help button; 0: the contents.
    int HelpTopic() const { return m_nHelpTopic; }
    // Opens this dialog's help.
    void ShowHelp();

signals:
    // Help was asked for in this dialog (before the help window opens).
    void HelpRequested(int topic);

protected:
    virtual void OnInitDialog() {}
    void showEvent(QShowEvent* event) override;
    const DialogUnits& Units() const { return m_units; }
    void SetHelpTopic(int topic) { m_nHelpTopic = topic; }

    // Connects the clicks of button `id` to `handler`.
    template <class Handler>
    void OnClicked(int id, Handler handler) {
        if (auto* button = DlgItem<QAbstractButton>(*this, id)) connect(button, &QAbstractButton::clicked, this, handler);
    }

private:
    void OnHelpKey();

    DialogUnits m_units;
    bool m_bInitialised = false;
    int m_nHelpTopic = 0;
};

}  // namespace tavisk::ui
