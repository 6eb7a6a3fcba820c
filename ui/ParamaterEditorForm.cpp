#include "ParamaterEditorForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmEditParam::TfrmEditParam(QWidget* parent) : TEntryForm(parent)
{
    setObjectName(QStringLiteral("TfrmEditParam"));
    setWindowTitle(QStringLiteral("Edit Paramater"));
    setFixedSize(279, 163);
    Label1 = new QLabel(QStringLiteral("Name:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(8, 8);
    edName->setGeometry(8, 24, 263, 21);
    Label1->setBuddy(edName);
    Label2 = new QLabel(QStringLiteral("Value:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(8, 56);
    edValue = new QLineEdit(this);
    edValue->setObjectName(QStringLiteral("edValue"));
    edValue->setGeometry(8, 72, 263, 21);
    Label2->setBuddy(edValue);
    btnCancel->setGeometry(116, 128, 75, 25);
    btnOk->setGeometry(196, 128, 75, 25);
    connect(edValue, &QLineEdit::textChanged, this, &TfrmEditParam::UpdateOk);
    FinishControls({edName, edValue, btnCancel, btnOk});
}

void TfrmEditParam::NameEnter() { edValue->setFocus(); }

bool ExecuteParamDialog(QString& name, QString& value, QWidget* parent)
{
    TfrmEditParam dialog(parent);
    dialog.edName->setText(name);
    dialog.edValue->setText(value);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    name = dialog.edName->text();
    value = dialog.edValue->text();
    return true;
}
