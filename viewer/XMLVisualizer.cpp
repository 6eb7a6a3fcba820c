#include "XMLVisualizer.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "CodePage.h"
#include "ECXMLParser.h"

namespace {

// Names are measured and written in pixels, so that the picture looks the same on the
// paint box and in an image of any resolution.
QFont PixelFont(const QFont& font)
{
    QFont pixelFont(font);
    if (font.pixelSize() <= 0)
        pixelFont.setPixelSize(QFontInfo(font).pixelSize());
    return pixelFont;
}

QString NameText(std::string_view text)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii)
        return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    const std::u16string wide = Cp1252ToUtf16(text);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

bool Intersects(const TRect& a, const TRect& b)
{
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

// Items with this many children or more are drawn without them.
constexpr int MaxDrawnChildren = 100;

// The pixels of a line inside a view. Rasterized here rather than by the painter, whose
// clipping moves the pixels of a slanting line with the part being painted. Pixel t of n
// (the longer side) lies t steps along that side and t/n of the other, rounded; the end
// point is left out, as it lies on the child box's outline.
class TLineRaster {
public:
    TLineRaster(const TRect& line, const TRect& view)
    {
        const std::int64_t dx = line.Right - line.Left;
        const std::int64_t dy = line.Bottom - line.Top;
        FAlongX = std::abs(dx) >= std::abs(dy);
        FSteps = FAlongX ? std::abs(dx) : std::abs(dy);
        const std::int64_t major = FAlongX ? dx : dy;
        FMinor = FAlongX ? dy : dx;
        FMajorStart = FAlongX ? line.Left : line.Top;
        FMinorStart = FAlongX ? line.Top : line.Left;
        FDirection = major > 0 ? 1 : -1;
        const std::int64_t low = FAlongX ? view.Left : view.Top;
        const std::int64_t high = FAlongX ? view.Right : view.Bottom;
        // Only the steps whose major coordinate lies in the view.
        FFirst = std::max<std::int64_t>(FDirection > 0 ? low - FMajorStart : FMajorStart - (high - 1), 0);
        FLast = std::min<std::int64_t>(FDirection > 0 ? high - 1 - FMajorStart : FMajorStart - low, FSteps - 1);
    }

    bool Empty() const { return FFirst > FLast; }

    // The rows the visible pixels lie on, bottom excluded.
    std::pair<std::int64_t, std::int64_t> Rows() const
    {
        if (!FAlongX)
            return FDirection > 0 ? std::pair{FMajorStart + FFirst, FMajorStart + FLast + 1} : std::pair{FMajorStart - FLast, FMajorStart - FFirst + 1};
        const std::int64_t a = MinorAt(FFirst);
        const std::int64_t b = MinorAt(FLast);
        return {std::min(a, b), std::max(a, b) + 1};
    }

    // Calls `run` with each horizontal or vertical run of the visible pixels. The minor
    // coordinate never falls back, so each run's end is found by bisection: a long flat
    // line costs its runs in the view, not its pixels.
    template <class TRun>
    void Runs(TRun&& run) const
    {
        for (std::int64_t runStart = FFirst; runStart <= FLast;) {
            const std::int64_t m = MinorAt(runStart);
            std::int64_t low = runStart;
            std::int64_t high = FLast;
            while (low < high) {
                const std::int64_t middle = low + (high - low + 1) / 2;
                if (MinorAt(middle) == m)
                    low = middle;
                else
                    high = middle - 1;
            }
            const auto from = static_cast<std::int32_t>(FMajorStart + FDirection * (FDirection > 0 ? runStart : low));
            const auto to = static_cast<std::int32_t>(from + (low - runStart + 1));
            const auto at = static_cast<std::int32_t>(m);
            run(FAlongX ? TRect{from, at, to, at + 1} : TRect{at, from, at + 1, to});
            runStart = low + 1;
        }
    }

private:
    std::int64_t MinorAt(std::int64_t t) const
    {
        const std::int64_t twice = 2 * t * FMinor + FSteps;
        const std::int64_t q = twice / (2 * FSteps);
        return FMinorStart + (twice % (2 * FSteps) < 0 ? q - 1 : q);
    }

    bool FAlongX = true;
    std::int64_t FSteps = 0;
    std::int64_t FMinor = 0;
    std::int64_t FMajorStart = 0;
    std::int64_t FMinorStart = 0;
    std::int64_t FDirection = 1;
    std::int64_t FFirst = 0;
    std::int64_t FLast = -1;
};

// The pixels of a part of the picture that later steps have covered, for the painting
// order walked backwards.
class TCoverage {
public:
    explicit TCoverage(const TRect& view)
        : FView(view), FWidth(view.Right - view.Left), FMask(static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(view.Bottom - view.Top)),
          FRowUncovered(static_cast<std::size_t>(view.Bottom - view.Top), FWidth), FUncovered(static_cast<std::int64_t>(FMask.size()))
    {
    }

    bool Complete() const { return FUncovered == 0; }

    // Whether every pixel of the view's rows from `top` to `bottom` is covered.
    bool RowsCovered(std::int64_t top, std::int64_t bottom) const
    {
        for (std::int64_t y = std::max<std::int64_t>(top, FView.Top); y < std::min<std::int64_t>(bottom, FView.Bottom); ++y)
            if (FRowUncovered[static_cast<std::size_t>(y - FView.Top)] != 0)
                return false;
        return true;
    }

    // Whether a pixel of `rect` in the view is not covered yet; with `cover`, covers them.
    bool Reach(const TRect& rect, bool cover)
    {
        const int left = std::max(rect.Left, FView.Left) - FView.Left;
        const int right = std::min(rect.Right, FView.Right) - FView.Left;
        const int top = std::max(rect.Top, FView.Top) - FView.Top;
        const int bottom = std::min(rect.Bottom, FView.Bottom) - FView.Top;
        if (left >= right || top >= bottom)
            return false;
        bool reached = false;
        for (int y = top; y < bottom; ++y) {
            int& rowUncovered = FRowUncovered[static_cast<std::size_t>(y)];
            if (rowUncovered == 0)
                continue;
            std::uint8_t* row = FMask.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(FWidth);
            for (int x = left; x < right; ++x) {
                if (row[x])
                    continue;
                if (!cover)
                    return true;
                reached = true;
                row[x] = 1;
                --rowUncovered;
                --FUncovered;
            }
        }
        return reached;
    }

private:
    TRect FView;
    int FWidth;
    std::vector<std::uint8_t> FMask;
    std::vector<int> FRowUncovered;
    std::int64_t FUncovered;
};

} // namespace

// --- TXMLVisualItemData ---------------------------------------------------------------

TXMLVisualItemData::TXMLVisualItemData(TXMLItem* item, TXMLVisualItemData* parentRecord)
    : FXMLItem(item), FParentRecord(parentRecord), FDepth(parentRecord ? parentRecord->FDepth + 1 : 0)
{
}

TXMLVisualItemData::~TXMLVisualItemData()
{
    // When a subtree goes, a parent item (and its record) is destroyed before its
    // children; their records must not reach back to this one.
    for (TXMLVisualItemData* child : FChildRecords)
        child->FParentRecord = nullptr;
    if (FParentRecord) {
        // Items are destroyed last child first, so the search from the end is short.
        auto& siblings = FParentRecord->FChildRecords;
        const auto it = std::find(siblings.rbegin(), siblings.rend(), this);
        if (it != siblings.rend())
            siblings.erase(std::next(it).base());
    }
}

TXMLVisualItemData* TXMLVisualItemData::Find(const TXMLItem* item)
{
    return item ? dynamic_cast<TXMLVisualItemData*>(item->LayoutRecord()) : nullptr;
}

TXMLVisualItemData* TXMLVisualItemData::Of(TXMLItem* item)
{
    if (TXMLVisualItemData* record = Find(item))
        return record;
    TXMLVisualItemData* parentRecord = Find(item->Parent());
    auto* record = new TXMLVisualItemData(item, parentRecord);
    item->SetLayoutRecord(std::unique_ptr<TXMLLayoutRecord>(record));
    if (parentRecord)
        parentRecord->FChildRecords.push_back(record);
    return record;
}

QPoint TXMLVisualItemData::Center() const
{
    return QPoint(FBoxRect.Left + (FBoxRect.Right - FBoxRect.Left) / 2, FBoxRect.Top + (FBoxRect.Bottom - FBoxRect.Top) / 2);
}

TXMLVisualItemData* TXMLVisualItemData::FindAt(int X, int Y)
{
    return FindAt(X, Y, nullptr);
}

TXMLVisualItemData* TXMLVisualItemData::FindAt(int X, int Y, const TXMLVisualItemData* searched)
{
    // Children last to first, each subtree before its own record; `searched` is a child
    // whose subtree is known to hold nothing.
    struct TFrame {
        TXMLVisualItemData* record;
        std::size_t remaining;
    };
    std::vector<TFrame> pending{{this, FChildRecords.size()}};
    while (!pending.empty()) {
        TFrame& frame = pending.back();
        if (frame.remaining > 0) {
            TXMLVisualItemData* child = frame.record->FChildRecords[--frame.remaining];
            if (child != searched)
                pending.push_back({child, child->FChildRecords.size()});
            continue;
        }
        TXMLVisualItemData* record = frame.record;
        pending.pop_back();
        const TRect& box = record->FBoxRect;
        if (box.Left < X && X < box.Right && box.Top < Y && Y < box.Bottom
            && (!record->FParentRecord || record->FParentRecord->FShowChildren))
            return record;
    }
    return nullptr;
}

// --- TXMLVisualizer -------------------------------------------------------------------

TXMLVisualizer::TXMLVisualizer(QObject* owner) : QObject(owner), FFont(PixelFont(QGuiApplication::font())) {}

TXMLVisualizer::~TXMLVisualizer()
{
    SetPaintBox(nullptr);
}

void TXMLVisualizer::SetPaintBox(TPaintBox* paintBox)
{
    if (FPaintBox)
        FPaintBox->OnPaint = std::move(FSavedOnPaint);
    FSavedOnPaint = nullptr;
    FPaintBox = paintBox;
    if (!paintBox)
        return;
    FSavedOnPaint = std::move(paintBox->OnPaint);
    FFont = PixelFont(paintBox->font());
    paintBox->OnPaint = [this](QObject* Sender) { PaintBoxPaint(Sender); };
}

void TXMLVisualizer::Redraw()
{
    if (OnStartDraw)
        OnStartDraw(this);
    FDrawnWidth = 0;
    FDrawnHeight = 0;
    FRowCounts.assign(1, 0);
    // The rectangle below covers the whole picture, so nothing drawn before can show.
    FSteps.clear();
    FTexts.clear();
    ApplyColorSet("Background");
    Rectangle({0, 0, FPictureWidth, FPictureHeight});
    if (FXMLParser)
        DrawItem(FXMLParser->Root());
    Present();
}

void TXMLVisualizer::DrawItem(TXMLItem* root)
{
    // Depth first, without recursion. The number of children is taken when an item's
    // turn comes: entries that drawing adds to a colour set wait for the next pass.
    struct TFrame {
        TXMLItem* item;
        int next;
        int count;
    };
    const auto drawnChildren = [](TXMLItem* item) {
        const int count = item->Count();
        return TXMLVisualItemData::Find(item)->ShowChildren() && count < MaxDrawnChildren ? count : 0;
    };
    if (!PlaceAndPaint(root))
        return;
    std::vector<TFrame> pending{{root, 0, drawnChildren(root)}};
    while (!pending.empty()) {
        TFrame& frame = pending.back();
        if (frame.next >= frame.count) {
            pending.pop_back();
            continue;
        }
        TXMLItem* child = frame.item->Items(frame.next++);
        if (PlaceAndPaint(child))
            pending.push_back({child, 0, drawnChildren(child)});
    }
}

bool TXMLVisualizer::PlaceAndPaint(TXMLItem* item)
{
    bool drawItem = true;
    if (CheckCanDrawItem)
        CheckCanDrawItem(item, drawItem);
    if (!drawItem)
        return false;

    TXMLVisualItemData* record = TXMLVisualItemData::Of(item);
    const auto depth = static_cast<std::size_t>(record->Depth());
    if (FRowCounts.size() < depth + 1)
        FRowCounts.resize(depth + 1, 0);
    const int column = ++FRowCounts[depth];

    const int needWidth = column * FColWidth;
    const int needHeight = static_cast<int>(FRowCounts.size()) * FRowHeight;
    if (needWidth > FDrawnWidth) {
        FPictureWidth = needWidth;
        ApplyColorSet("Background");
        Rectangle({FDrawnWidth, 0, needWidth, FPictureHeight});
        FDrawnWidth = needWidth;
    }
    if (needHeight > FDrawnHeight) {
        FPictureHeight = needHeight;
        ApplyColorSet("Background");
        Rectangle({0, FDrawnHeight, FPictureWidth, needHeight});
        FDrawnHeight = needHeight;
    }

    const QPoint centre(column * FColWidth - FColWidth / 2, static_cast<int>(depth + 1) * FRowHeight - FRowHeight / 2);
    PlaceItem(item, centre);
    const std::string setName = GetItemColorSet(item);
    DrawBox(item, setName, record->BoxRect(), item->Name());
    DrawConnection(item);
    return true;
}

void TXMLVisualizer::PlaceItem(TXMLItem* item, QPoint centre)
{
    const QFontMetrics metrics(FFont);
    const int w = metrics.horizontalAdvance(NameText(item->Name()));
    const int h = metrics.height();
    TRect box;
    box.Left = centre.x() - w / 2 - 5;
    box.Top = centre.y() - h / 2 - 5;
    box.Right = box.Left + w + 10;
    box.Bottom = box.Top + h + 10;
    TXMLVisualItemData::Of(item)->SetBoxRect(box);
}

void TXMLVisualizer::ApplyColorSet(std::string_view name)
{
    TXMLItem* set = nullptr;
    if (FXMLColors) {
        TXMLItem* sets = FXMLColors->Root();
        const int index = sets->IndexOfName(name);
        if (index >= 0)
            set = sets->Items(index);
    }
    if (set) {
        FPen = HexToColor(set->FindOrAddItem(FBorderColorName)->Value());
        FFill = HexToColor(set->FindOrAddItem(FBackgroundColorName)->Value());
        FFontColor = HexToColor(set->FindOrAddItem(FFontColorName)->Value());
    } else if (SameText(name, "Background")) {
        FPen = FBackgroundColor;
        FFill = FBackgroundColor;
        FFontColor = FDefaultFont;
    } else {
        FPen = FDefaultBorder;
        FFill = FDefaultBackground;
        FFontColor = FDefaultFont;
    }
}

std::string TXMLVisualizer::GetItemColorSet(TXMLItem* item)
{
    if (item == FSelectedItem && !FSelectedColorSet.empty())
        return FSelectedColorSet;
    const int index = item->IndexOfName(FItemColorName);
    if (index >= 0)
        return item->Items(index)->Value();
    return FDefaultColorName;
}

void TXMLVisualizer::Rectangle(const TRect& rect)
{
    if (rect.Right > rect.Left && rect.Bottom > rect.Top)
        FSteps.push_back({rect, FPen, FFill, FFontColor, -1, TStepKind::Rectangle});
}

void TXMLVisualizer::DrawBox(TXMLItem* item, std::string_view setName, const TRect& rect, std::string_view text)
{
    ApplyColorSet(setName);
    if (item && item == FSelectedItem)
        FFill = clRed;
    Rectangle(rect);
    const TRect inner{rect.Left + 5, rect.Top + 5, rect.Right - 5, rect.Bottom - 5};
    if (inner.Right > inner.Left && inner.Bottom > inner.Top && !text.empty()) {
        FTexts.emplace_back(text);
        FSteps.push_back({inner, FPen, FFill, FFontColor, static_cast<std::int32_t>(FTexts.size() - 1), TStepKind::Text});
    }
}

void TXMLVisualizer::DrawConnection(TXMLItem* item)
{
    const TXMLVisualItemData* record = TXMLVisualItemData::Find(item);
    const TXMLVisualItemData* parentRecord = TXMLVisualItemData::Find(item->Parent());
    if (!record || !parentRecord)
        return;
    ApplyColorSet(FConnectionLineName);
    const TRect line{parentRecord->Center().x(), parentRecord->BoxRect().Bottom, record->Center().x(), record->BoxRect().Top};
    FSteps.push_back({line, FPen, FFill, FFontColor, -1, TStepKind::Line});
}

void TXMLVisualizer::Present()
{
    if (FPaintBox) {
        FPaintBox->resize(std::min(FPictureWidth, QWIDGETSIZE_MAX), std::min(FPictureHeight, QWIDGETSIZE_MAX));
        FPaintBox->update();
    }
    if (OnSwap)
        OnSwap(this);
}

void TXMLVisualizer::PaintBoxPaint(QObject* Sender)
{
    auto* paintBox = qobject_cast<TPaintBox*>(Sender);
    if (paintBox && paintBox->Canvas())
        PaintPicture(*paintBox->Canvas(), paintBox->PaintRect());
    if (FSavedOnPaint)
        FSavedOnPaint(Sender);
}

void TXMLVisualizer::PaintPicture(QPainter& painter, const QRect& area) const
{
    const QRect shown = area.intersected(QRect(0, 0, FPictureWidth, FPictureHeight));
    if (shown.isEmpty())
        return;
    const TRect view{shown.left(), shown.top(), shown.left() + shown.width(), shown.top() + shown.height()};
    // Walking the steps backwards finds those of which some pixel stays visible; the
    // others are left out, so that a spot where thousands of long lines cross, or a part
    // of a large diagram, costs about its own area. Texts are not opaque and cover nothing.
    std::vector<const TPaintStep*> shownSteps;
    TCoverage coverage(view);
    for (auto it = FSteps.rbegin(); it != FSteps.rend() && !coverage.Complete(); ++it) {
        const TPaintStep& step = *it;
        bool reached = false;
        switch (step.Kind) {
        case TStepKind::Rectangle:
            reached = coverage.Reach(step.Area, true);
            break;
        case TStepKind::Text:
            reached = coverage.Reach(step.Area, false);
            break;
        case TStepKind::Line: {
            const TRect& a = step.Area;
            const TRect bounds{std::min(a.Left, a.Right), std::min(a.Top, a.Bottom), std::max(a.Left, a.Right) + 1, std::max(a.Top, a.Bottom) + 1};
            if (!Intersects(bounds, view))
                break;
            const TLineRaster raster(a, view);
            if (raster.Empty())
                break;
            const auto [top, bottom] = raster.Rows();
            if (!coverage.RowsCovered(top, bottom))
                raster.Runs([&](const TRect& run) { reached = coverage.Reach(run, true) || reached; });
            break;
        }
        }
        if (reached)
            shownSteps.push_back(&step);
    }

    painter.save();
    painter.setClipRect(shown, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(FFont);
    for (auto it = shownSteps.rbegin(); it != shownSteps.rend(); ++it)
        PaintStep(painter, **it, view);
    painter.restore();
}

void TXMLVisualizer::PaintStep(QPainter& painter, const TPaintStep& step, const TRect& view) const
{
    const TRect& a = step.Area;
    switch (step.Kind) {
    case TStepKind::Rectangle: {
        const int width = a.Right - a.Left;
        const int height = a.Bottom - a.Top;
        painter.fillRect(QRect(a.Left, a.Top, width, height), ToQColor(step.Pen));
        if (width > 2 && height > 2)
            painter.fillRect(QRect(a.Left + 1, a.Top + 1, width - 2, height - 2), ToQColor(step.Fill));
        break;
    }
    case TStepKind::Text:
        // The text's own background would be the fill colour, which the box's interior
        // under it already has.
        painter.setPen(ToQColor(step.Font));
        painter.drawText(QRect(a.Left, a.Top, a.Right - a.Left, a.Bottom - a.Top), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         NameText(FTexts[static_cast<std::size_t>(step.Text)]));
        break;
    case TStepKind::Line:
        PaintLine(painter, step, view);
        break;
    }
}

void TXMLVisualizer::PaintLine(QPainter& painter, const TPaintStep& step, const TRect& view) const
{
    const QColor color = ToQColor(step.Pen);
    TLineRaster(step.Area, view).Runs([&](const TRect& run) {
        painter.fillRect(QRect(run.Left, run.Top, run.Right - run.Left, run.Bottom - run.Top), color);
    });
}

QImage TXMLVisualizer::PictureImage(const QRect& area) const
{
    QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.translate(-area.topLeft());
    PaintPicture(painter, area);
    return image;
}

QImage TXMLVisualizer::PictureImage() const
{
    return PictureImage(QRect(0, 0, FPictureWidth, FPictureHeight));
}

void TXMLVisualizer::SelectItem(TXMLItem* item)
{
    TXMLItem* old = FSelectedItem;
    if (OnSelectionChange)
        OnSelectionChange(this, old, item);
    FSelectedItem = item;
    if (AfterSelectionChange)
        AfterSelectionChange(this, old, item);
    if (FRedrawOnSelectChanged)
        Redraw();
}

TXMLItem* TXMLVisualizer::ItemAt(int X, int Y)
{
    TXMLVisualItemData* start = nullptr;
    if (FSelectedItem)
        start = TXMLVisualItemData::Find(FSelectedItem);
    else if (FXMLParser)
        start = TXMLVisualItemData::Find(FXMLParser->Root());
    if (!start)
        return nullptr;
    TXMLVisualItemData* found = start->FindAt(X, Y);
    while (!found && start->ParentRecord()) {
        const TXMLVisualItemData* searched = start;
        start = start->ParentRecord();
        found = start->FindAt(X, Y, searched);
    }
    return found ? found->XMLItem() : nullptr;
}
