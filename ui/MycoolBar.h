#pragma once

#include <QRect>
#include <QWidget>

#include <functional>
#include <vector>

// A tool band bar: bands in rows, each holding one control behind a grip. The user
// drags a band's grip to change the width of the band left of it; the bands return to
// the widths they had at the bar's first resize on every click on the bar and every
// change of its size. A band's remembered width lives in its control's tag.
class TMycoolBar : public QWidget {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(QObject* Sender)>;

    // Installs RestoreBandWidths as the click handler, and RememberBandWidths followed
    // by RestoreBandWidths as the resize handler.
    explicit TMycoolBar(QWidget* parent = nullptr);

    // Adds a band holding `control`, as wide as its grip and the control's preferred
    // width, which is also the least width it can be given. `breakBefore` starts a new
    // row; a band also goes to the next row when its least width does not fit.
    void AddBand(QWidget* control, bool breakBefore = false);
    int BandCount() const { return static_cast<int>(FBands.size()); }
    QWidget* BandControl(int index) const { return FBands.at(static_cast<std::size_t>(index)).Control; }
    // The width a band asks for; the last band of a row takes the rest of the row.
    int BandWidth(int index) const { return FBands.at(static_cast<std::size_t>(index)).Width; }
    void SetBandWidth(int index, int width);
    // Where a band stands in the bar, grip included.
    QRect BandRect(int index) const { return FBands.at(static_cast<std::size_t>(index)).Place; }

    // Once per bar: each band's control keeps the band's width in its tag.
    void RememberBandWidths();
    // Gives each band the width its control's tag holds.
    void RestoreBandWidths();

    // Raised for a press and release on the bar that moved no grip.
    TNotifyEvent OnClick;
    // Raised for every change of the bar's size, before the bands are placed.
    TNotifyEvent OnResize;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct TBand {
        QWidget* Control;
        bool Break;
        int Width;
        QRect Place;
    };

    int GripWidth() const;
    int LeastWidth(const TBand& band) const;
    // The bands of each row for a bar `width` pixels wide, as indexes.
    std::vector<std::vector<std::size_t>> Rows(int width) const;
    int RowHeight(const std::vector<std::size_t>& row) const;
    // Places every band and its control for the bar's present width.
    void PlaceBands();
    // The band whose grip is at `at` and which has a band left of it in its row; -1 if none.
    int GripAt(const QPoint& at) const;

    std::vector<TBand> FBands;
    bool FWidthsRemembered = false;
    // While a grip is pressed: the band being widened, where the press began and its
    // width then; whether the mouse has moved far enough to make it a drag.
    int FDragBand = -1;
    int FDragStart = 0;
    int FDragWidth = 0;
    bool FDragging = false;
    bool FPressed = false;
};
