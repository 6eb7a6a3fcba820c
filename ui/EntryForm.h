#pragma once

#include "StyleForm.h"

class QLineEdit;
class QPushButton;

// What the item and the parameter dialog share: the name field's typed-character rules,
// the OK rule, and Enter and Escape seen by the window before its controls.
class TEntryForm : public TStyleForm {
    Q_OBJECT

public:
    explicit TEntryForm(QWidget* parent = nullptr);

    QLineEdit* edName;
    QPushButton* btnCancel;
    QPushButton* btnOk;

protected:
    // Call once every control exists: watches their keys and sets the tab order.
    void FinishControls(const QList<QWidget*>& tabOrder);
    // Enter while the name field has the focus.
    virtual void NameEnter() {}
    // Enables OK exactly when the name holds more than blanks and control characters.
    void UpdateOk();

    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
};
