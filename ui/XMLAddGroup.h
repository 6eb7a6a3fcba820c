#pragma once

#include <QString>

#include "EntryForm.h"

class QCheckBox;
class QLabel;

// Asks for the name of a new item.
class TfrmEditItem : public TEntryForm {
    Q_OBJECT

public:
    explicit TfrmEditItem(QWidget* parent = nullptr);

    QLabel* Label1;
    QCheckBox* cbsubitem;
};

// Shows the item dialog with `name` and `checked`; on OK returns true with the texts as
// they stand, otherwise false with both left unchanged.
bool ExecuteItemDialog(QString& name, bool& checked, QWidget* parent = nullptr);
