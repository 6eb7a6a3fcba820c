#include "NpsLbl3d.h"

#include <QPainter>

#include <algorithm>

TNpsLbl3d::TNpsLbl3d(QWidget* parent) : TNpsLbl3d(QString(), parent) {}

TNpsLbl3d::TNpsLbl3d(const QString& caption, QWidget* parent) : QLabel(caption, parent) {}

void TNpsLbl3d::SetTextStyle(TTextStyle style)
{
    if (style == FTextStyle)
        return;
    FTextStyle = style;
    Changed();
}

void TNpsLbl3d::SetShadowDepth(int depth)
{
    if (depth == FShadowDepth)
        return;
    FShadowDepth = depth;
    Changed();
}

void TNpsLbl3d::SetShadowColor(const QColor& color)
{
    if (color == FShadowColor)
        return;
    FShadowColor = color;
    Changed();
}

void TNpsLbl3d::SetTransparent(bool transparent)
{
    if (transparent == FTransparent)
        return;
    FTransparent = transparent;
    update();
}

void TNpsLbl3d::SetShowAccelChar(bool show)
{
    if (show == FShowAccelChar)
        return;
    FShowAccelChar = show;
    Changed();
}

void TNpsLbl3d::Changed()
{
    updateGeometry();
    update();
}

int TNpsLbl3d::TextFlags() const
{
    int flags = static_cast<int>(alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignTop | Qt::TextExpandTabs;
    if (wordWrap())
        flags |= Qt::TextWordWrap;
    if (FShowAccelChar)
        flags |= Qt::TextShowMnemonic;
    return flags;
}

int TNpsLbl3d::CopyExtent() const
{
    switch (FTextStyle) {
    case tsLowered:
        return 1;
    case tsShadow:
        return std::max(FShadowDepth, 0);
    case tsPlain:
    case tsRaised:
        break;
    }
    return 0;
}

QSize TNpsLbl3d::sizeHint() const
{
    if (wordWrap())
        return QLabel::sizeHint() + QSize(CopyExtent(), CopyExtent());
    const QRect extent = fontMetrics().boundingRect(QRect(), TextFlags() & ~Qt::AlignHorizontal_Mask, text());
    const QMargins margins = contentsMargins();
    return QSize(extent.width() + margins.left() + margins.right() + CopyExtent(),
                 extent.height() + margins.top() + margins.bottom() + CopyExtent());
}

QSize TNpsLbl3d::minimumSizeHint() const { return wordWrap() ? QLabel::minimumSizeHint() : sizeHint(); }

void TNpsLbl3d::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    if (!FTransparent)
        painter.fillRect(rect(), palette().color(QPalette::Active, QPalette::Window));
    const int flags = TextFlags();
    auto draw = [&](const QColor& color, int dx, int dy) {
        painter.setPen(color);
        painter.drawText(area.translated(dx, dy), flags, text());
    };
    const QColor highlight = palette().color(QPalette::Active, QPalette::Light);
    switch (FTextStyle) {
    case tsRaised:
        draw(highlight, -1, -1);
        break;
    case tsLowered:
        draw(highlight, 1, 1);
        break;
    case tsShadow:
        draw(FShadowColor, FShadowDepth, FShadowDepth);
        break;
    case tsPlain:
        break;
    }
    draw(isEnabled() ? palette().color(QPalette::Active, QPalette::WindowText) : palette().color(QPalette::Disabled, QPalette::WindowText), 0, 0);
}
