#include "URLLinkLabel.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

QString LinkPrefix(tURLLinkType type)
{
    switch (type) {
    case ltfile:
        return QStringLiteral("file://");
    case ltftp:
        return QStringLiteral("ftp://");
    case ltgopher:
        return QStringLiteral("gopher://");
    case lthttp:
        return QStringLiteral("http://");
    case lthttps:
        return QStringLiteral("https://");
    case ltmailto:
        return QStringLiteral("mailto:");
    case ltnews:
        return QStringLiteral("news:");
    case lttelnet:
        return QStringLiteral("telnet:");
    case ltwais:
        return QStringLiteral("wais:");
    }
    return QString();
}

TURLLinkLabel::TURLLinkLabel(QWidget* owner) : QLabel(owner)
{
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(blue);
    setCursor(Qt::PointingHandCursor);
}

void TURLLinkLabel::SetHyperLink(const QString& link)
{
    FHyperLink = link;
    if (text().isEmpty())
        setText(link);
}

void TURLLinkLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    // The press is the label's whole answer: it goes to no parent, and a link the desktop
    // cannot open is not reported.
    event->accept();
    QDesktopServices::openUrl(QUrl(Link()));
}
