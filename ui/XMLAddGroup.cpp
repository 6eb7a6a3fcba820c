#include "XMLAddGroup.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmEditItem::TfrmEditItem(QWidget* parent) : TEntryForm(parent)
{
    setObjectName(QStringLiteral("TfrmEditItem"));
    setWindowTitle(QStringLiteral("Edit Item"));
    setFixedSize(227, 120);
    Label1 = new QLabel(QStringLiteral("Name:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(8, 8);
    edName->setGeometry(8, 24, 211, 21);
    Label1->setBuddy(edName);
    cbsubitem = new QCheckBox(QStringLiteral("Add as new Subitem"), this);
    cbsubitem->setObjectName(QStringLiteral("cbsubitem"));
    cbsubitem->setGeometry(8, 54, 211, 19);
    btnCancel->setGeometry(64, 88, 75, 25);
    btnOk->setGeometry(144, 88, 75, 25);
    FinishControls({edName, btnCancel, btnOk, cbsubitem});
}

bool ExecuteItemDialog(QString& name, bool& checked, QWidget* parent)
{
    TfrmEditItem dialog(parent);
    dialog.edName->setText(name);
    dialog.cbsubitem->setChecked(checked);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    name = dialog.edName->text();
    checked = dialog.cbsubitem->isChecked();
    return true;
}
