#include "PaintBox.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOption>

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {}

void TPaintBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    // A subclass of QWidget gets its style sheet background only when it draws it.
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    if (!OnPaint)
        return;
    FCanvas = &painter;
    FPaintRect = event->rect();
    struct TReset {
        TPaintBox* box;
        ~TReset()
        {
            box->FCanvas = nullptr;
            box->FPaintRect = QRect();
        }
    } reset{this};
    OnPaint(this);
}

void TPaintBox::mousePressEvent(QMouseEvent* event)
{
    if (OnMouseDown) {
        const QPoint at = event->position().toPoint();
        OnMouseDown(this, event->button(), event->modifiers(), at.x(), at.y());
    }
    QWidget::mousePressEvent(event);
}
