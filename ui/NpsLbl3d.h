#pragma once

#include <QColor>
#include <QLabel>

enum TTextStyle { tsPlain, tsRaised, tsLowered, tsShadow };

// A label whose caption is drawn raised, lowered or with a drop shadow: a copy of the
// caption, shifted, goes under the text itself.
class TNpsLbl3d : public QLabel {
    Q_OBJECT

public:
    explicit TNpsLbl3d(QWidget* parent = nullptr);
    TNpsLbl3d(const QString& caption, QWidget* parent);

    // tsLowered unless set: the copy one pixel right and down in the button highlight.
    TTextStyle TextStyle() const { return FTextStyle; }
    void SetTextStyle(TTextStyle style);
    // Shift of the shadow right and down for tsShadow, 2 pixels unless set; 0 hides it
    // under the text.
    int ShadowDepth() const { return FShadowDepth; }
    void SetShadowDepth(int depth);
    // Colour of the shadow for tsShadow, silver unless set.
    QColor ShadowColor() const { return FShadowColor; }
    void SetShadowColor(const QColor& color);
    // A transparent label leaves its parent's background under the text; otherwise the
    // label's own window colour fills it. Off unless set.
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool transparent);
    // On unless set: "&x" shows x underlined and "&&" an ampersand; off shows every "&".
    bool ShowAccelChar() const { return FShowAccelChar; }
    void SetShowAccelChar(bool show);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int TextFlags() const;
    // How far the copy of the caption reaches beyond the text, right and down.
    int CopyExtent() const;
    void Changed();

    TTextStyle FTextStyle = tsLowered;
    int FShadowDepth = 2;
    QColor FShadowColor{192, 192, 192};
    bool FTransparent = false;
    bool FShowAccelChar = true;
};
