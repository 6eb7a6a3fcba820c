#pragma once

#include <QFont>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "PaintBox.h"
#include "XMLColorHelpers.h"
#include "XMLItem.h"

class QImage;
class QPainter;
class TECXMLParser;
class TXMLVisualizer;

// A box in diagram pixels: the outline runs from Left to Right - 1 and from Top to
// Bottom - 1.
struct TRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;

    friend bool operator==(const TRect&, const TRect&) = default;
};

// Where an item's box stands in the diagram. Made the first time the item is placed and
// owned by the item (its LayoutRecord), so it goes with the item; the records form a tree
// beside the item tree.
class TXMLVisualItemData : public TXMLLayoutRecord {
public:
    // The item's record, made and handed to the item when it has none yet. The parent
    // item's record must exist already.
    static TXMLVisualItemData* Of(TXMLItem* item);
    // The item's record, or none when it was never placed.
    static TXMLVisualItemData* Find(const TXMLItem* item);

    // Leaves the parent record's ChildRecords. The records below die with their items.
    ~TXMLVisualItemData() override;
    TXMLVisualItemData(const TXMLVisualItemData&) = delete;
    TXMLVisualItemData& operator=(const TXMLVisualItemData&) = delete;

    // The records of the children, in the order they were made.
    const std::vector<TXMLVisualItemData*>& ChildRecords() const { return FChildRecords; }
    TXMLItem* XMLItem() const { return FXMLItem; }
    // The record of the item's parent; none for the root item.
    TXMLVisualItemData* ParentRecord() const { return FParentRecord; }
    // True from the start; the children are drawn and hit only while it is.
    bool ShowChildren() const { return FShowChildren; }
    void SetShowChildren(bool value) { FShowChildren = value; }
    // The box as the last pass that placed the item left it.
    const TRect& BoxRect() const { return FBoxRect; }
    void SetBoxRect(const TRect& rect) { FBoxRect = rect; }

    // 0 for the root item, else one more than the parent record's.
    int Depth() const { return FDepth; }
    // The middle of the box, rounded toward its top-left corner.
    QPoint Center() const;
    // The record, searched at this one and below, whose box holds (X, Y) strictly inside:
    // later children before earlier ones, each child's subtree before the record itself,
    // and only records whose parent shows its children. None when no box holds it.
    TXMLVisualItemData* FindAt(int X, int Y);

private:
    friend class TXMLVisualizer;

    TXMLVisualItemData(TXMLItem* item, TXMLVisualItemData* parentRecord);
    TXMLVisualItemData* FindAt(int X, int Y, const TXMLVisualItemData* searched);

    std::vector<TXMLVisualItemData*> FChildRecords;
    TXMLItem* FXMLItem;
    TXMLVisualItemData* FParentRecord;
    int FDepth;
    bool FShowChildren = true;
    TRect FBoxRect;
};

// Clearing DrawItem leaves the item and its whole subtree out of the pass.
using TCheckDrawItemEvent = std::function<void(TXMLItem* XMLItem, bool& DrawItem)>;
using TOnSelectionChange = std::function<void(TXMLVisualizer* Sender, TXMLItem* OldSelection, TXMLItem* NewSelection)>;
using TBeforeDrawItemEvent = std::function<void(TXMLItem* XMLItem, TXMLVisualItemData* XMLItemPositionInfo, std::string& ColorSet)>;
using TXMLVisualizerNotifyEvent = std::function<void(TXMLVisualizer* Sender)>;

// The diagram of a document's item tree: one box per item, holding its name, in rows by
// depth, each row filling from the left in depth-first order, with a line from each
// parent's box to each child's. Colours come from colour sets, the children of the colour
// document's root. The diagram is shown on a paint box, whose pixels are the diagram's.
//
// A pass records its drawing steps instead of keeping the picture's pixels, and a repaint
// replays those that show in the repainted part, giving the pixels the whole picture
// would have there: a diagram a million pixels wide costs its steps, not its area.
class TXMLVisualizer : public QObject {
    Q_OBJECT

public:
    // Nothing is drawn before the first Redraw.
    explicit TXMLVisualizer(QObject* owner = nullptr);
    // Gives the paint box back its own paint handler.
    ~TXMLVisualizer() override;

    // The document drawn; Redraw with none only clears the picture.
    TECXMLParser* XMLParser() const { return FXMLParser; }
    void SetXMLParser(TECXMLParser* document) { FXMLParser = document; }
    // The document holding the colour sets; none: every set falls back.
    TECXMLParser* XMLColors() const { return FXMLColors; }
    void SetXMLColors(TECXMLParser* document) { FXMLColors = document; }
    TPaintBox* PaintBox() const { return FPaintBox; }
    // Takes over the box's OnPaint (the previous handler runs after the diagram is
    // shown) and takes its font for the names, once. The box handed over before gets its
    // own handler back.
    void SetPaintBox(TPaintBox* paintBox);

    // Pixels per row; 70.
    int RowHeight() const { return FRowHeight; }
    void SetRowHeight(int value) { FRowHeight = value; }
    // Pixels per column; 100.
    int ColWidth() const { return FColWidth; }
    void SetColWidth(int value) { FColWidth = value; }
    // The set of items that name none of their own; "Default".
    const std::string& DefaultColorName() const { return FDefaultColorName; }
    void SetDefaultColorName(std::string value) { FDefaultColorName = std::move(value); }
    // Fallback outline of boxes and lines; green.
    TColor DefaultBorder() const { return FDefaultBorder; }
    void SetDefaultBorder(TColor value) { FDefaultBorder = value; }
    // Fallback interior of boxes; yellow.
    TColor DefaultBackground() const { return FDefaultBackground; }
    void SetDefaultBackground(TColor value) { FDefaultBackground = value; }
    // Fallback text colour; black.
    TColor DefaultFont() const { return FDefaultFont; }
    void SetDefaultFont(TColor value) { FDefaultFont = value; }
    // Fallback of the diagram's background; white.
    TColor BackgroundColor() const { return FBackgroundColor; }
    void SetBackgroundColor(TColor value) { FBackgroundColor = value; }
    // Name of a set's outline entry; "Border".
    const std::string& BorderColorName() const { return FBorderColorName; }
    void SetBorderColorName(std::string value) { FBorderColorName = std::move(value); }
    // Name of a set's interior entry; "Background".
    const std::string& BackgroundColorName() const { return FBackgroundColorName; }
    void SetBackgroundColorName(std::string value) { FBackgroundColorName = std::move(value); }
    // Name of a set's text entry; "Font".
    const std::string& FontColorName() const { return FFontColorName; }
    void SetFontColorName(std::string value) { FFontColorName = std::move(value); }
    // Name of the child through which an item names its set; "ColorCode".
    const std::string& ItemColorName() const { return FItemColorName; }
    void SetItemColorName(std::string value) { FItemColorName = std::move(value); }
    // The set of the lines; "ConnectionLine".
    const std::string& ConnectionLineName() const { return FConnectionLineName; }
    void SetConnectionLineName(std::string value) { FConnectionLineName = std::move(value); }
    // The set of the selected item's box when not empty; empty. The box is red inside
    // whatever the set.
    const std::string& SelectedColorSet() const { return FSelectedColorSet; }
    void SetSelectedColorSet(std::string value) { FSelectedColorSet = std::move(value); }
    // Whether SelectItem redraws at once; true.
    bool RedrawOnSelectChanged() const { return FRedrawOnSelectChanged; }
    void SetRedrawOnSelectChanged(bool value) { FRedrawOnSelectChanged = value; }

    // Raised for every item the pass reaches, before it is placed.
    TCheckDrawItemEvent CheckCanDrawItem;
    // Raised before the selection changes, SelectedItem still the old one.
    TOnSelectionChange OnSelectionChange;
    // Raised after the selection has changed.
    TOnSelectionChange AfterSelectionChange;
    // Kept for the host; the pass does not raise it.
    TBeforeDrawItemEvent BeforeDrawItem;
    // Raised at the end of every Redraw, after the paint box has its new size.
    TXMLVisualizerNotifyEvent OnSwap;
    // Raised first thing in every Redraw.
    TXMLVisualizerNotifyEvent OnStartDraw;

    // Lays out and draws the whole diagram afresh and shows it. The picture takes the
    // extent of the placed boxes; when nothing is placed it keeps its size.
    void Redraw();

    // Makes `item` (or none) the selected item, without testing whether it already is;
    // redraws when RedrawOnSelectChanged.
    void SelectItem(TXMLItem* item);
    // Never dereferenced but to find its record: the host replaces a destroyed selection.
    TXMLItem* SelectedItem() const { return FSelectedItem; }
    // The item whose box, as last placed, holds (X, Y) strictly inside; a box in the
    // selected item's subtree wins, then its parent's, up to the root's. None when no box
    // holds the point or the selected item (or without one the root) was never placed.
    TXMLItem* ItemAt(int X, int Y);

    // The picture's size: the diagram's extent after the last pass that placed a box.
    int PictureWidth() const { return FPictureWidth; }
    int PictureHeight() const { return FPictureHeight; }
    // The font the names are measured and written in.
    const QFont& PictureFont() const { return FFont; }
    // Paints the part `area` of the picture (in picture pixels) with `painter`, whose
    // origin stands at the picture's top-left corner. Leaves what lies outside the
    // picture untouched.
    void PaintPicture(QPainter& painter, const QRect& area) const;
    // The part `area` of the picture as an image, `area`'s top-left corner at (0, 0);
    // transparent where it lies outside the picture.
    QImage PictureImage(const QRect& area) const;
    // The whole picture as an image.
    QImage PictureImage() const;

    // Sets pen, fill and text colour from the named set. A set that lacks one of its three
    // entries gains it empty (read as black); a set that is not there is never added, and
    // the fallback colours apply.
    void ApplyColorSet(std::string_view name);
    // The set for an item's box: SelectedColorSet for the selected item when not empty,
    // else the value of the item's ItemColorName child, else DefaultColorName.
    std::string GetItemColorSet(TXMLItem* item);
    // Draws a box with its text written inside a 5-pixel margin; the selected item's box
    // is red inside.
    void DrawBox(TXMLItem* item, std::string_view setName, const TRect& rect, std::string_view text);
    // Draws the line from the middle of the parent's box's lower edge to the middle of the
    // item's box's upper edge; nothing for an item without a parent.
    void DrawConnection(TXMLItem* item);
    // Gives the paint box the picture's size and repaints it, then raises OnSwap.
    void Present();
    // The paint box's paint handler: shows the picture's part that is being repainted,
    // then runs the box's own handler.
    void PaintBoxPaint(QObject* Sender);

private:
    enum class TStepKind : std::uint8_t { Rectangle, Text, Line };

    // One drawing step of the pass with the colours it was drawn in. A line runs from
    // (Left, Top) to (Right, Bottom); a text stands in Area and is clipped to it.
    struct TPaintStep {
        TRect Area;
        TColor Pen;
        TColor Fill;
        TColor Font;
        std::int32_t Text;
        TStepKind Kind;
    };

    void DrawItem(TXMLItem* root);
    bool PlaceAndPaint(TXMLItem* item);
    void PlaceItem(TXMLItem* item, QPoint centre);
    void Rectangle(const TRect& rect);
    void PaintStep(QPainter& painter, const TPaintStep& step, const TRect& view) const;
    void PaintLine(QPainter& painter, const TPaintStep& step, const TRect& view) const;

    TECXMLParser* FXMLParser = nullptr;
    TECXMLParser* FXMLColors = nullptr;
    QPointer<TPaintBox> FPaintBox;
    TPaintBox::TPaintEvent FSavedOnPaint;
    int FRowHeight = 70;
    int FColWidth = 100;
    std::string FDefaultColorName = "Default";
    TColor FDefaultBorder = clGreen;
    TColor FDefaultBackground = clYellow;
    TColor FDefaultFont = clBlack;
    TColor FBackgroundColor = clWhite;
    std::string FBorderColorName = "Border";
    std::string FBackgroundColorName = "Background";
    std::string FFontColorName = "Font";
    std::string FItemColorName = "ColorCode";
    std::string FConnectionLineName = "ConnectionLine";
    std::string FSelectedColorSet;
    bool FRedrawOnSelectChanged = true;

    // The picture: its size, drawing state and the steps that paint it.
    int FPictureWidth = 0;
    int FPictureHeight = 0;
    QFont FFont;
    TColor FPen = clBlack;
    TColor FFill = clWhite;
    TColor FFontColor = clBlack;
    std::vector<TPaintStep> FSteps;
    std::vector<std::string> FTexts;

    std::vector<int> FRowCounts;
    int FDrawnWidth = 0;
    int FDrawnHeight = 0;
    TXMLItem* FSelectedItem = nullptr;
};
