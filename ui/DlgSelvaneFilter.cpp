// The filter of the main window's list: Use Filter, the filter box and its list of
// patterns, Add Filter and Delete Filter.

#include "DlgSelvane.h"

#include <QComboBox>

void TfrmXMLDialog::aFilterExecute()
{
    // The command is checkable: triggering it has already toggled the check mark.
    FillParamList();
}

void TfrmXMLDialog::cbfilterChosen(int index)
{
    cbfilter->setEditText(cbfilter->itemText(index));
    if (Command("aFilter")->isChecked())
        FillParamList();
}

void TfrmXMLDialog::aAddFilterExecute()
{
    const QString pattern = cbfilter->currentText();
    for (int i = 0; i < cbfilter->count(); ++i)
        if (cbfilter->itemText(i).compare(pattern, Qt::CaseInsensitive) == 0)
            return;
    cbfilter->addItem(pattern);
    // Adding does not choose the entry: the box keeps what the user typed.
    cbfilter->setEditText(pattern);
}

void TfrmXMLDialog::aDelFilterExecute()
{
    // An entry counts as selected while the box shows it as it was chosen.
    const int index = cbfilter->currentIndex();
    if (index < 0 || cbfilter->itemText(index) != cbfilter->currentText())
        return;
    cbfilter->removeItem(index);
    cbfilter->setCurrentIndex(-1);
}
