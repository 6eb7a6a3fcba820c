#pragma once

#include <QWidget>

#include <functional>

class QPainter;

// A drawing area painted by whoever sets its OnPaint handler, as a window's paint box:
// the host draws the diagram there, and the box reports mouse presses in its own pixels.
class TPaintBox : public QWidget {
    Q_OBJECT

public:
    using TPaintEvent = std::function<void(QObject* Sender)>;
    using TMouseEvent = std::function<void(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)>;

    explicit TPaintBox(QWidget* parent = nullptr);

    // The painter on the box while OnPaint runs, clipped to the part being repainted;
    // none at any other time.
    QPainter* Canvas() const { return FCanvas; }
    // The part being repainted while OnPaint runs, in the box's pixels.
    const QRect& PaintRect() const { return FPaintRect; }

    // Raised for every repaint, after the box's style sheet background is drawn.
    TPaintEvent OnPaint;
    // Raised for a press of any mouse button.
    TMouseEvent OnMouseDown;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPainter* FCanvas = nullptr;
    QRect FPaintRect;
};
