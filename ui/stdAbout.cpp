#include "stdAbout.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QUrl>

#include <exception>

#include "ComponentSettings.h"
#include "NpsLbl3d.h"
#include "PaintBox.h"
#include "ProductData.h"
#include "SelvaneApplication.h"
#include "URLLinkLabel.h"
#include "VersionInfo.h"

namespace {

const QColor LinkBlue(0, 0, 255);
const QColor LinkPurple(128, 0, 128);

void SetTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QFont Bold(QFont font)
{
    font.setBold(true);
    return font;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent, const QString& executable) : TStyleForm(parent)
{
    setObjectName(QStringLiteral("TAboutBox"));
    setWindowTitle(QStringLiteral("About ..."));
    setFixedSize(346, 221);
    // The rows stand 24 pixels apart with the values 64 pixels right of the headings,
    // which a small font fills without overlap.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    auto place = [](QWidget* widget, const char* name, int left, int top) {
        widget->setObjectName(QString::fromUtf8(name));
        widget->adjustSize();
        widget->move(left, top);
    };
    auto heading = [&](const char* name, const char* text, int left, int top) {
        auto* label = new TNpsLbl3d(QString::fromUtf8(text), this);
        label->setFont(Bold(label->font()));
        place(label, name, left, top);
        return label;
    };
    auto value = [&](const char* name, const QString& text, int left, int top) {
        auto* label = new QLabel(text, this);
        label->setFont(Bold(label->font()));
        place(label, name, left, top);
        return label;
    };
    auto link = [&](const char* name, tURLLinkType type, const char* address, int left, int top) {
        auto* label = new TURLLinkLabel(this);
        label->setFont(Bold(label->font()));
        label->SetLinkType(type);
        label->SetHyperLink(QString::fromUtf8(address));
        place(label, name, left, top);
        return label;
    };

    IconPaintBox = new TPaintBox(this);
    IconPaintBox->setObjectName(QStringLiteral("IconPaintBox"));
    IconPaintBox->setGeometry(8, 8, 32, 32);
    IconPaintBox->OnPaint = [this](QObject*) { IconPaintBoxPaint(); };
    NpsLbl3d3 = heading("NpsLbl3d3", "Name:", 56, 17);
    ProductNameLabel = value("ProductNameLabel", QStringLiteral("ProductName"), 120, 17);
    NpsLbl3d5 = heading("NpsLbl3d5", "Version:", 56, 41);
    VersionLabel = value("VersionLabel", QStringLiteral("Version"), 120, 41);
    NpsLbl3d4 = heading("NpsLbl3d4", "Company:", 56, 65);
    CompanyLabel = value("CompanyLabel", QStringLiteral("Company"), 120, 65);
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(56, 90, 281, 2);
    NpsLbl3d6 = heading("NpsLbl3d6", "Autor:", 56, 105);
    Label1 = value("Label1", QStringLiteral(SELVANE_AUTHOR), 119, 105);
    NpsLbl3d2 = heading("NpsLbl3d2", "Home:", 56, 129);
    URLLinkLabel1 = link("URLLinkLabel1", lthttp, SELVANE_WEB_ADDRESS, 120, 128);
    NpsLbl3d1 = heading("NpsLbl3d1", "Mail:", 56, 154);
    URLLinkLabel2 = link("URLLinkLabel2", ltmailto, SELVANE_MAIL_ADDRESS, 120, 152);
    OkBtn = new QPushButton(QStringLiteral("OK"), this);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    OkBtn->setGeometry(261, 188, 75, 25);
    OkBtn->setDefault(true);
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);

    FinishCreate();
    FormCreate(executable);
}

void TAboutBox::FormCreate(const QString& executable)
{
    const int iconSize = style()->pixelMetric(QStyle::PM_LargeIconSize, nullptr, this);
    IconPaintBox->resize(iconSize, iconSize);
    try {
        const TVersionInfo record(executable);
        ProductNameLabel->setText(record.Value(QStringLiteral("ProductName")));
        VersionLabel->setText(QStringLiteral("Version: %1").arg(record.Value(QStringLiteral("ProductVersion"))));
        CompanyLabel->setText(record.Value(QStringLiteral("LegalCopyright")));
    } catch (const std::exception& error) {
        // Reported, and the box still opens with the labels as designed.
        ShowException(QString::fromUtf8(error.what()));
    }
    for (QLabel* label : {ProductNameLabel, VersionLabel, CompanyLabel})
        label->adjustSize();
}

void TAboutBox::showEvent(QShowEvent* event)
{
    if (!FShown) {
        FShown = true;
        FormShow();
    }
    TStyleForm::showEvent(event);
}

void TAboutBox::FormShow()
{
    const int growth = static_cast<int>(Links.size()) * LinkSpacing - 20;
    if (growth > 0) {
        setFixedSize(width(), height() + growth);
        // The separator, the rows under it and the button keep their distance from the
        // bottom edge, so the new lines do not cover the author and the links.
        for (QWidget* below : std::initializer_list<QWidget*>{Bevel1, NpsLbl3d6, Label1, NpsLbl3d2, URLLinkLabel1, NpsLbl3d1, URLLinkLabel2, OkBtn})
            below->move(below->x(), below->y() + growth);
    }
    for (qsizetype i = 0; i < Links.size(); ++i) {
        const QString& entry = Links[i];
        const qsizetype separator = entry.indexOf(QLatin1Char(';'));
        auto* line = new QLabel(separator < 0 ? QString() : entry.left(separator), this);
        line->setObjectName(QStringLiteral("Link%1").arg(i + 1));
        line->setToolTip(separator < 0 ? entry : entry.mid(separator + 1));
        line->setCursor(Qt::PointingHandCursor);
        SetTextColor(line, LinkBlue);
        QFont underlined = line->font();
        underlined.setUnderline(true);
        line->setFont(underlined);
        SetTag(line, static_cast<int>(i) + 1);
        line->adjustSize();
        line->move(CompanyLabel->x(), CompanyLabel->y() + 25 + static_cast<int>(i) * LinkSpacing);
        line->show();
    }
    for (QWidget* control : findChildren<QWidget*>())
        control->installEventFilter(this);
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    auto* line = qobject_cast<QLabel*>(watched);
    if (!line || Tag(line) <= 0)
        return TStyleForm::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Enter:
        SetTextColor(line, LinkPurple);
        break;
    case QEvent::Leave:
        SetTextColor(line, LinkBlue);
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && line->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint()))
            OpenLink(line->toolTip());
        break;
    default:
        break;
    }
    return TStyleForm::eventFilter(watched, event);
}

void TAboutBox::OpenLink(const QString& target)
{
    // A target without a scheme is a file, as the desktop's shell takes it.
    QDesktopServices::openUrl(QUrl::fromUserInput(target, QDir::currentPath(), QUrl::AssumeLocalFile));
}

void TAboutBox::IconPaintBoxPaint()
{
    const QPixmap icon = QApplication::windowIcon().pixmap(IconPaintBox->size(), IconPaintBox->devicePixelRatioF());
    IconPaintBox->Canvas()->drawPixmap(0, 0, icon);
}

void ShowAboutBox(const QStringList& links, int spacing, QWidget* parent)
{
    TAboutBox box(parent);
    box.Links = links;
    box.LinkSpacing = spacing;
    box.exec();
}
