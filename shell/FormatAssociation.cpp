#include "FormatAssociation.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>

#include "FileTypeRegistration.h"
#include "SelvaneApplication.h"

namespace {

// The end of an extension that starts at `text`'s first character: the first blank, ")",
// "," or ";" from its second character on, or the text's end.
qsizetype ExtensionEnd(const QString& text)
{
    qsizetype end = 1;
    while (end < text.size() && !QStringLiteral(" ),;").contains(text[end]))
        ++end;
    return end;
}

QString ApplicationTitle() { return QGuiApplication::applicationDisplayName(); }

} // namespace

TFormatAssociateForm::TFormatAssociateForm() : TStyleForm(nullptr)
{
    setObjectName(QStringLiteral("TFormatAssociateForm"));
    setWindowTitle(QStringLiteral("Register File Formats"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(308, 188);

    AssociateButton = new QPushButton(QStringLiteral("&Register"), this);
    AssociateButton->setObjectName(QStringLiteral("AssociateButton"));
    AssociateButton->setGeometry(9, 158, 75, 25);
    AssociateButton->setToolTip(QStringLiteral("Associate program with selected file formats"));
    AssociateButton->setStatusTip(AssociateButton->toolTip());
    CloseButton = new QPushButton(QStringLiteral("&Cancel"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setGeometry(89, 157, 75, 25);
    AllButton = new QPushButton(QStringLiteral("&Select all"), this);
    AllButton->setObjectName(QStringLiteral("AllButton"));
    AllButton->setGeometry(223, 157, 75, 25);

    Panel = new QFrame(this);
    Panel->setObjectName(QStringLiteral("Panel"));
    Panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel->setLineWidth(1);
    Panel->setGeometry(4, 8, 293, 141);
    ScrollBox = new QScrollArea(Panel);
    ScrollBox->setObjectName(QStringLiteral("ScrollBox"));
    ScrollBox->setFrameShape(QFrame::NoFrame);
    ScrollBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox->setGeometry(Panel->contentsRect());
    ScrollBox->setWidget(new QWidget);
    ScrollBox->widget()->setObjectName(QStringLiteral("ScrollBoxContents"));
    ScrollBox->widget()->setAutoFillBackground(false);

    connect(AssociateButton, &QPushButton::clicked, this, [this] { Guarded([this] { AssociateButtonClick(); }); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(AllButton, &QPushButton::clicked, this, [this] { SelectButtonClick(AllButton); });
    FinishCreate();
}

void TFormatAssociateForm::Execute(const QString& filter, int IconIndex, bool CheckAll)
{
    TFormatAssociateForm form;
    form.setWindowTitle(form.windowTitle() + QLatin1Char(' ') + ApplicationTitle());
    const int count = form.ReadFilter(filter, CheckAll);
    if (count == 1)
        form.AllButton->hide();
    form.FIconIndex = IconIndex;
    if (count == 0)
        return;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        form.move(screen->availableGeometry().center() - form.rect().center());
    form.exec();
}

int TFormatAssociateForm::ReadFilter(QString filter, bool CheckAll)
{
    QWidget* contents = ScrollBox->widget();
    const int clientWidth = ScrollBox->contentsRect().width();
    const QString title = ApplicationTitle();
    int count = 0;
    int Y = 4;
    while (!filter.isEmpty()) {
        qsizetype p = filter.indexOf(QLatin1Char('|'));
        if (p < 0)
            p = filter.size();
        QString description = filter.left(p);
        filter.remove(0, p + 1);
        qsizetype q = description.indexOf(QStringLiteral("*."));
        // The label is what stands before the blank and "(" in front of the first pattern.
        const QString prefix = description.left(std::max<qsizetype>(0, q - 1));
        while (q >= 0) {
            description.remove(0, q + 1);
            const QString extension = description.left(ExtensionEnd(description));
            auto* box = new QCheckBox(prefix + QStringLiteral("(*") + extension + QLatin1Char(')'), contents);
            box->setObjectName(QStringLiteral("CheckBox%1").arg(++count));
            box->setGeometry(6, Y, clientWidth, box->sizeHint().height());
            box->setChecked(CheckAll || IsAssociated(extension, title));
            Y += box->height() + 4;
            q = description.indexOf(QStringLiteral("*."));
        }
        if (const qsizetype patterns = filter.indexOf(QLatin1Char('|')); patterns >= 0)
            filter.remove(0, patterns + 1);
    }
    contents->resize(clientWidth, Y);
    return count;
}

void TFormatAssociateForm::SelectButtonClick(QObject* sender)
{
    for (QCheckBox* box : ScrollBox->widget()->findChildren<QCheckBox*>(Qt::FindDirectChildrenOnly))
        box->setChecked(sender == AllButton);
}

void TFormatAssociateForm::AssociateButtonClick()
{
    const QString title = ApplicationTitle();
    for (QCheckBox* box : ScrollBox->widget()->findChildren<QCheckBox*>(Qt::FindDirectChildrenOnly)) {
        QString extension = box->text();
        extension.remove(0, extension.indexOf(QLatin1Char('*')) + 1);
        extension.truncate(ExtensionEnd(extension));
        if (box->isChecked())
            RegisterFileType(extension, title, QString(), QString(), FIconIndex);
        else if (IsAssociated(extension, title))
            RegisterFileType(extension, QString(), QString(), QString(), 0);
    }
    accept();
}
