// The selection result of the main window: OK, Cancel and Item to Clipboard.

#include "DlgSelvane.h"

#include <QClipboard>
#include <QGuiApplication>

void TfrmXMLDialog::aOKExecute()
{
    FResultItem = ResultText();
    FAccepted = true;
    close();
}

void TfrmXMLDialog::aCancelExecute()
{
    FResultItem.clear();
    FAccepted = false;
    SetResultText(QString());
    close();
}

void TfrmXMLDialog::acopytoclipboardExecute()
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(ResultText());
}
