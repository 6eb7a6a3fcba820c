#include "DlgXMLSetup.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QPushButton>

#include "FormatAssociation.h"
#include "ProgramSetup.h"
#include "SelvaneApplication.h"

TfrmXMLPluginSetup::TfrmXMLPluginSetup(QWidget* parent) : TStyleForm(parent)
{
    setObjectName(QStringLiteral("TfrmXMLPluginSetup"));
    setWindowTitle(QStringLiteral("XML Setup"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(342, 279);

    auto group = [this](const char* name, const char* caption, const QRect& geometry) {
        auto* box = new QGroupBox(QString::fromUtf8(caption), this);
        box->setObjectName(QString::fromUtf8(name));
        box->setGeometry(geometry);
        return box;
    };
    auto check = [](QGroupBox* group, const char* name, const char* caption, int top) {
        auto* box = new QCheckBox(QString::fromUtf8(caption), group);
        box->setObjectName(QString::fromUtf8(name));
        box->setGeometry(12, top, 302, 22);
        return box;
    };
    GroupBox2 = group("GroupBox2", "General Settings", {8, 8, 326, 126});
    cbaskdelete = check(GroupBox2, "cbaskdelete", "Ask before before deleting a entry", 24);
    cbaskchange = check(GroupBox2, "cbaskchange", "Ask before change a value", 48);
    cbctrasstring = check(GroupBox2, "cbctrasstring", "Handle line feed as string", 72);
    cbcopyfullitemname = check(GroupBox2, "cbcopyfullitemname", "Use full item name [Item.Parameter]", 96);
    GroupBox1 = group("GroupBox1", "Plugin Setup", {8, 142, 326, 78});
    aReadEver = check(GroupBox1, "aReadEver", "Reload the file when reading a value", 24);
    aWriteEver = check(GroupBox1, "aWriteEver", "Write XML file after changing a value", 48);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 232, 342, 47);
    auto button = [this](const char* name, const char* caption, const QRect& geometry) {
        auto* pushButton = new QPushButton(QString::fromUtf8(caption), Panel1);
        pushButton->setObjectName(QString::fromUtf8(name));
        pushButton->setGeometry(geometry);
        return pushButton;
    };
    bOk = button("bOk", "&OK", {8, 11, 75, 25});
    bcancel = button("bcancel", "&Cancel", {91, 11, 75, 25});
    bregisterfileformats = button("bregisterfileformats", "Register File Formats...", {174, 11, 160, 25});
    bOk->setDefault(true);

    QWidget* const order[] = {cbaskdelete, cbaskchange, cbctrasstring, cbcopyfullitemname, aReadEver, aWriteEver, bOk, bcancel, bregisterfileformats};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    connect(bOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(bcancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(bregisterfileformats, &QPushButton::clicked, this, [this] { Guarded([this] { bregisterfileformatsClick(); }); });
    FinishCreate();
}

void TfrmXMLPluginSetup::showEvent(QShowEvent* event)
{
    TStyleForm::showEvent(event);
    if (QWidget* owner = parentWidget())
        move(owner->window()->geometry().center() - rect().center());
}

void TfrmXMLPluginSetup::bregisterfileformatsClick()
{
    TFormatAssociateForm::Execute(QStringLiteral("XML (*.xml)|*.xml") + QLatin1Char('|'), 0, false);
}

bool ExecuteSetupDialog(TSetupFlags& flags, QWidget* mainWindow)
{
    TfrmXMLPluginSetup dialog(mainWindow);
    TProgramSetup setup("Software\\Velmarco\\XML");
    bool flag = false;
    setup.ReadBool("READEVER", flag);
    dialog.aReadEver->setChecked(flag);
    flag = false;
    setup.ReadBool("WRITEEVER", flag);
    dialog.aWriteEver->setChecked(flag);
    dialog.cbaskchange->setChecked(flags.AskChange);
    dialog.cbaskdelete->setChecked(flags.AskDelete);
    dialog.cbctrasstring->setChecked(flags.UseLfString);
    dialog.cbcopyfullitemname->setChecked(flags.UseFullItem);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    setup.WriteBool("READEVER", dialog.aReadEver->isChecked());
    setup.WriteBool("WRITEEVER", dialog.aWriteEver->isChecked());
    flags.AskChange = dialog.cbaskchange->isChecked();
    flags.AskDelete = dialog.cbaskdelete->isChecked();
    flags.UseLfString = dialog.cbctrasstring->isChecked();
    flags.UseFullItem = dialog.cbcopyfullitemname->isChecked();
    return true;
}
