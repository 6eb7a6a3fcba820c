#pragma once

#include <QString>

#include "EntryForm.h"

class QLabel;

// Asks for a parameter's name and value.
class TfrmEditParam : public TEntryForm {
    Q_OBJECT

public:
    explicit TfrmEditParam(QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* edValue;

protected:
    // Enter in the name field goes on to the value.
    void NameEnter() override;
};

// Shows the parameter dialog with `name` and `value`; on OK returns true with the texts
// as they stand, otherwise false with both left unchanged.
bool ExecuteParamDialog(QString& name, QString& value, QWidget* parent = nullptr);
