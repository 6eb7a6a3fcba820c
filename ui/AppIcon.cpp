#include "AppIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

QIcon SelvaneIcon()
{
    // The picture is compiled into a static library, whose resources register only when
    // asked to.
    Q_INIT_RESOURCE(icons);
    // Rendered here rather than left to an icon engine plugin, which a desktop may lack.
    QSvgRenderer picture(QStringLiteral(":/icons/selvane.svg"));
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        picture.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
