#include "EntryForm.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

TEntryForm::TEntryForm(QWidget* parent) : TStyleForm(parent)
{
    edName = new QLineEdit(this);
    edName->setObjectName(QStringLiteral("edName"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setEnabled(false);
    // Enter is the window's, so no button may take it as the default.
    btnCancel->setAutoDefault(false);
    btnOk->setAutoDefault(false);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(edName, &QLineEdit::textChanged, this, &TEntryForm::UpdateOk);
}

void TEntryForm::FinishControls(const QList<QWidget*>& tabOrder)
{
    for (QWidget* control : tabOrder)
        control->installEventFilter(this);
    for (qsizetype i = 0; i + 1 < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i], tabOrder[i + 1]);
    FinishCreate();
}

void TEntryForm::UpdateOk()
{
    const QString name = edName->text();
    qsizetype first = 0;
    qsizetype last = name.size();
    while (first < last && name[first].unicode() <= ' ')
        ++first;
    while (last > first && name[last - 1].unicode() <= ' ')
        --last;
    btnOk->setEnabled(last > first);
}

bool TEntryForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return TStyleForm::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        if (watched == edName)
            NameEnter();
        else if (btnOk->isEnabled())
            btnOk->click();
        else
            edName->setFocus();
        return true;
    }
    if (key->key() == Qt::Key_Escape) {
        btnCancel->click();
        return true;
    }
    // Typed characters that would break the name's XML are dropped and a blank becomes
    // "_"; pasted text does not come this way and is taken as it is.
    if (watched == edName && !key->text().isEmpty() && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        QString typed;
        for (QChar c : key->text()) {
            if (c == QLatin1Char(' '))
                typed += QLatin1Char('_');
            else if (c != QLatin1Char('&') && c != QLatin1Char(';') && c != QLatin1Char('<') && c != QLatin1Char('>'))
                typed += c;
        }
        if (typed != key->text()) {
            edName->insert(typed);
            return true;
        }
    }
    return TStyleForm::eventFilter(watched, event);
}

void TEntryForm::showEvent(QShowEvent* event)
{
    TStyleForm::showEvent(event);
    if (QWidget* owner = parentWidget())
        move(owner->window()->geometry().center() - rect().center());
}
