#pragma once

#include <QString>

#include "StyleForm.h"

class QAbstractButton;
class QCheckBox;
class QFrame;
class QPushButton;
class QScrollArea;

// The window that associates the program with file extensions: one check box per
// extension of a filter, checked when the extension is associated with the program;
// Register writes the checked ones and removes the program's association from the
// unchecked ones.
class TFormatAssociateForm : public TStyleForm {
    Q_OBJECT

public:
    // Shows the window modally for `filter`, pairs of a description and a pattern list,
    // each part ended by "|" ("XML (*.xml)|*.xml|"): a check box for every "*.ext" of the
    // descriptions, all checked with `CheckAll`. With one box "&Select all" is hidden;
    // without any the window is not shown. Registrations use `IconIndex`.
    static void Execute(const QString& filter, int IconIndex, bool CheckAll);

    // Checks every box when `sender` is the "&Select all" button, clears them otherwise.
    void SelectButtonClick(QObject* sender);
    // Associates the checked extensions, removes the program's association from the
    // unchecked ones that have it, and closes the window with OK. A registry error is
    // shown in the general error box and the window stays open.
    void AssociateButtonClick();

private:
    TFormatAssociateForm();
    // Creates the check boxes the filter names; returns how many.
    int ReadFilter(QString filter, bool CheckAll);

    int FIconIndex = 0;
    QPushButton* AssociateButton;
    QPushButton* CloseButton;
    QPushButton* AllButton;
    QFrame* Panel;
    QScrollArea* ScrollBox;
};
