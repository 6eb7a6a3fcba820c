#pragma once

#include <QString>

#include "StyleForm.h"

class QPushButton;

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Buttons in their order from left to right; a button set has bit k for button k.
enum TMsgDlgBtn { mbYes, mbNo, mbYesToAll, mbNoToAll, mbAll, mbOK, mbAbort, mbRetry, mbIgnore, mbCancel, mbHelp };
using TMsgDlgButtons = unsigned;
constexpr TMsgDlgButtons Btn(TMsgDlgBtn button) { return 1u << button; }

// Results of the buttons; mrCancel also when the box is closed any other way.
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
                    mrYes = 6, mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10 };

// The message box window. Default button: OK, else Yes, else Retry; Escape presses
// Cancel, else No, else OK. Buttons carry the names "Yes", "No", "OK", "Cancel"...
class TMessageForm : public TStyleForm {
    Q_OBJECT

public:
    TMessageForm(const QString& text, TMsgDlgType kind, TMsgDlgButtons buttons, int helpContext);

    int HelpContext() const { return FHelpContext; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPushButton* FEscapeButton = nullptr;
    int FHelpContext;
};

// Shows a modal message box centred on the screen; the result of the button pressed.
int MessageDialog(const QString& text, TMsgDlgType kind, TMsgDlgButtons buttons, int helpContext = 0);
// A box titled with the application title, with one OK button.
void ShowMessageDialog(const QString& text);
