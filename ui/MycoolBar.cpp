#include "MycoolBar.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>
#include <numeric>

#include "ComponentSettings.h"

namespace {

// Pixels between two rows, taken by an etched line, and above and below each control.
constexpr int RowGap = 2;
constexpr int RowPadding = 1;

void DrawEtchedLine(QPainter& painter, const QPalette& palette, QPoint from, QPoint to, QPoint shift)
{
    painter.setPen(palette.color(QPalette::Mid));
    painter.drawLine(from, to);
    painter.setPen(palette.color(QPalette::Light));
    painter.drawLine(from + shift, to + shift);
}

} // namespace

TMycoolBar::TMycoolBar(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    OnClick = [this](QObject*) { RestoreBandWidths(); };
    OnResize = [this](QObject*) {
        RememberBandWidths();
        RestoreBandWidths();
    };
}

void TMycoolBar::AddBand(QWidget* control, bool breakBefore)
{
    if (control->parentWidget() != this)
        control->setParent(this);
    FBands.push_back({control, breakBefore, 0, QRect()});
    FBands.back().Width = LeastWidth(FBands.back());
    updateGeometry();
    PlaceBands();
}

void TMycoolBar::SetBandWidth(int index, int width)
{
    TBand& band = FBands.at(static_cast<std::size_t>(index));
    band.Width = std::max(width, LeastWidth(band));
    PlaceBands();
    update();
}

void TMycoolBar::RememberBandWidths()
{
    if (FWidthsRemembered)
        return;
    FWidthsRemembered = true;
    for (const TBand& band : FBands)
        SetTag(band.Control, band.Width);
}

void TMycoolBar::RestoreBandWidths()
{
    for (TBand& band : FBands)
        band.Width = std::max(Tag(band.Control), LeastWidth(band));
    PlaceBands();
    update();
}

int TMycoolBar::GripWidth() const { return style()->pixelMetric(QStyle::PM_ToolBarHandleExtent, nullptr, this) + 2; }

int TMycoolBar::LeastWidth(const TBand& band) const
{
    const QWidget* control = band.Control;
    return GripWidth() + std::max(control->minimumWidth(), std::min(control->sizeHint().width(), control->maximumWidth()));
}

std::vector<std::vector<std::size_t>> TMycoolBar::Rows(int width) const
{
    std::vector<std::vector<std::size_t>> rows;
    int x = 0;
    for (std::size_t i = 0; i < FBands.size(); ++i) {
        const int least = LeastWidth(FBands[i]);
        if (rows.empty() || FBands[i].Break || x + least > width) {
            rows.emplace_back();
            x = 0;
        }
        rows.back().push_back(i);
        x += least;
    }
    return rows;
}

int TMycoolBar::RowHeight(const std::vector<std::size_t>& row) const
{
    int height = 0;
    for (std::size_t i : row)
        height = std::max(height, FBands[i].Control->sizeHint().height());
    return height + 2 * RowPadding;
}

int TMycoolBar::heightForWidth(int width) const
{
    const auto rows = Rows(width);
    int height = 0;
    for (const auto& row : rows)
        height += RowHeight(row);
    return height + RowGap * static_cast<int>(rows.size());
}

QSize TMycoolBar::sizeHint() const
{
    const int width = std::accumulate(FBands.begin(), FBands.end(), 0, [this](int sum, const TBand& band) { return sum + LeastWidth(band); });
    return {width, heightForWidth(width)};
}

QSize TMycoolBar::minimumSizeHint() const
{
    int width = 0;
    for (const TBand& band : FBands)
        width = std::max(width, LeastWidth(band));
    return {width, heightForWidth(width)};
}

void TMycoolBar::PlaceBands()
{
    const int barWidth = width();
    int y = 0;
    for (const auto& row : Rows(barWidth)) {
        const int height = RowHeight(row);
        // What the bands after the one being placed need at least.
        int rest = 0;
        for (std::size_t i : row)
            rest += LeastWidth(FBands[i]);
        int x = 0;
        for (std::size_t k = 0; k < row.size(); ++k) {
            TBand& band = FBands[row[k]];
            const int least = LeastWidth(band);
            rest -= least;
            const int width = k + 1 == row.size() ? std::max(barWidth - x, least) : std::clamp(band.Width, least, std::max(least, barWidth - x - rest));
            band.Place = QRect(x, y, width, height);
            band.Control->setGeometry(x + GripWidth(), y + RowPadding, width - GripWidth(), height - 2 * RowPadding);
            x += width;
        }
        y += height + RowGap;
    }
}

int TMycoolBar::GripAt(const QPoint& at) const
{
    for (std::size_t i = 1; i < FBands.size(); ++i) {
        const QRect& place = FBands[i].Place;
        // The first band of a row has no band left of it to widen.
        if (place.left() > 0 && place.top() == FBands[i - 1].Place.top() && QRect(place.topLeft(), QSize(GripWidth(), place.height())).contains(at))
            return static_cast<int>(i) - 1;
    }
    return -1;
}

bool TMycoolBar::event(QEvent* event)
{
    // A band's control asks for another size: the rows may change.
    if (event->type() == QEvent::LayoutRequest) {
        updateGeometry();
        PlaceBands();
        update();
    }
    return QWidget::event(event);
}

void TMycoolBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (OnResize)
        OnResize(this);
    PlaceBands();
}

void TMycoolBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    for (const TBand& band : FBands) {
        const QRect& place = band.Place;
        if (place.left() > 0)
            DrawEtchedLine(painter, palette(), place.topLeft(), place.bottomLeft(), QPoint(1, 0));
        QStyleOption grip;
        grip.initFrom(this);
        grip.rect = QRect(place.left() + 2, place.top() + 2, GripWidth() - 3, place.height() - 4);
        grip.state |= QStyle::State_Horizontal;
        style()->drawPrimitive(QStyle::PE_IndicatorToolBarHandle, &grip, &painter, this);
        if (place.left() == 0 && place.bottom() + RowGap < height())
            DrawEtchedLine(painter, palette(), QPoint(0, place.bottom() + 1), QPoint(width() - 1, place.bottom() + 1), QPoint(0, 1));
    }
}

void TMycoolBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    FPressed = true;
    FDragging = false;
    FDragBand = GripAt(event->position().toPoint());
    FDragStart = event->position().toPoint().x();
    if (FDragBand >= 0)
        FDragWidth = FBands[static_cast<std::size_t>(FDragBand)].Place.width();
}

void TMycoolBar::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (!FPressed) {
        if (GripAt(at) >= 0)
            setCursor(Qt::SizeHorCursor);
        else
            unsetCursor();
        return;
    }
    if (FDragBand < 0)
        return;
    const int moved = at.x() - FDragStart;
    if (std::abs(moved) >= QApplication::startDragDistance())
        FDragging = true;
    if (FDragging)
        SetBandWidth(FDragBand, FDragWidth + moved);
}

void TMycoolBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !FPressed) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const bool click = !FDragging && rect().contains(event->position().toPoint());
    FPressed = FDragging = false;
    FDragBand = -1;
    if (click && OnClick)
        OnClick(this);
}
