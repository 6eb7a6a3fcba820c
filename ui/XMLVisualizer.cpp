#include "XMLVisualizer.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "CodePage.h"
#include "DocumentText.h"
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
    return FromDocumentText(text);
}

bool Intersects(const TRect& a, const TRect& b)
{
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

// Items with this many children or more are drawn without them.
constexpr int MaxDrawnChildren = 100;

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
    painter.save();
    painter.setClipRect(shown, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(FFont);
    for (const TPaintStep& step : FSteps) {
        TRect bounds = step.Area;
        if (step.Kind == TStepKind::Line)
            bounds = {std::min(step.Area.Left, step.Area.Right), std::min(step.Area.Top, step.Area.Bottom),
                      std::max(step.Area.Left, step.Area.Right) + 1, std::max(step.Area.Top, step.Area.Bottom) + 1};
        if (Intersects(bounds, view))
            PaintStep(painter, step, view);
    }
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
    // Rasterized here rather than by the painter, whose clipping moves the pixels of a
    // slanting line with the part being painted. Pixel t of n (the longer side) lies at
    // t steps along that side and t/n of the other, rounded; the end point is left out,
    // as it lies on the child box's outline.
    const TRect& a = step.Area;
    const std::int64_t dx = a.Right - a.Left;
    const std::int64_t dy = a.Bottom - a.Top;
    const bool alongX = std::abs(dx) >= std::abs(dy);
    const std::int64_t n = alongX ? std::abs(dx) : std::abs(dy);
    if (n == 0)
        return;
    const std::int64_t major = alongX ? dx : dy;
    const std::int64_t minor = alongX ? dy : dx;
    const std::int64_t majorStart = alongX ? a.Left : a.Top;
    const std::int64_t minorStart = alongX ? a.Top : a.Left;
    const std::int64_t majorLow = alongX ? view.Left : view.Top;
    const std::int64_t majorHigh = alongX ? view.Right : view.Bottom;
    const std::int64_t direction = major > 0 ? 1 : -1;

    // The steps whose major coordinate lies in the view.
    std::int64_t first = direction > 0 ? majorLow - majorStart : majorStart - (majorHigh - 1);
    std::int64_t last = direction > 0 ? majorHigh - 1 - majorStart : majorStart - majorLow;
    first = std::max<std::int64_t>(first, 0);
    last = std::min<std::int64_t>(last, n - 1);
    const auto minorAt = [&](std::int64_t t) {
        const std::int64_t twice = 2 * t * minor + n;
        const std::int64_t q = twice / (2 * n);
        return minorStart + (twice % (2 * n) < 0 ? q - 1 : q);
    };

    const QColor color = ToQColor(step.Pen);
    std::int64_t runStart = first;
    for (std::int64_t t = first; t <= last; ++t) {
        const std::int64_t m = minorAt(t);
        if (t < last && minorAt(t + 1) == m)
            continue;
        // Steps runStart..t share one minor coordinate: one run of pixels.
        const std::int64_t from = majorStart + direction * (direction > 0 ? runStart : t);
        const int length = static_cast<int>(t - runStart + 1);
        if (alongX)
            painter.fillRect(QRect(static_cast<int>(from), static_cast<int>(m), length, 1), color);
        else
            painter.fillRect(QRect(static_cast<int>(m), static_cast<int>(from), 1, length), color);
        runStart = t + 1;
    }
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
