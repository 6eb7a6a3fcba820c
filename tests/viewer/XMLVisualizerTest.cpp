#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ECXMLParser.h"
#include "PaintBox.h"
#include "XMLColorHelpers.h"
#include "XMLItemPath.h"
#include "XMLVisualizer.h"

namespace {

// The worked example: placed R, A, A1, A2, B, B1.
constexpr const char* Example = "<R><A><A1/><A2/></A><B><B1/></B></R>";

void LoadText(TECXMLParser& document, const std::string& text)
{
    std::istringstream stream(text);
    document.LoadFromStream(stream);
}

QRgb Rgb(TColor color)
{
    return ToQColor(color).rgb();
}

QRgb PixelAt(const QImage& image, int x, int y)
{
    return image.pixel(x, y) | 0xFF000000u;
}

// Whether some pixel inside `rect` is within `tolerance` of `color` in every channel.
bool HasPixelNear(const QImage& image, const TRect& rect, QRgb color, int tolerance)
{
    for (int y = rect.Top; y < rect.Bottom; ++y)
        for (int x = rect.Left; x < rect.Right; ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - qRed(color)) <= tolerance && std::abs(qGreen(p) - qGreen(color)) <= tolerance
                && std::abs(qBlue(p) - qBlue(color)) <= tolerance)
                return true;
        }
    return false;
}

TRect Inner(const TRect& box)
{
    return {box.Left + 5, box.Top + 5, box.Right - 5, box.Bottom - 5};
}

// Every pixel of `image` equals the pixel of `whole` at the same place shifted by `origin`.
void ExpectSamePixels(const QImage& image, const QImage& whole, QPoint origin)
{
    int differences = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (PixelAt(image, x, y) != PixelAt(whole, origin.x() + x, origin.y() + y) && ++differences <= 3)
                ADD_FAILURE() << "pixel " << origin.x() + x << "," << origin.y() + y;
    EXPECT_EQ(differences, 0);
}

// `children` empty elements under the root "R", each under its own name.
std::string RootWithChildren(int children)
{
    std::string text = "<R>";
    for (int i = 0; i < children; ++i)
        text += "<c" + std::to_string(i) + "/>\n";
    return text + "</R>";
}

class XMLVisualizerTest : public ::testing::Test {
protected:
    // The settings the main window gives its viewer.
    void UseMainWindowSettings()
    {
        Vis.SetXMLParser(&XML);
        Vis.SetXMLColors(&XML);
        Vis.SetRowHeight(70);
        Vis.SetColWidth(100);
        Vis.SetDefaultColorName("BorderColor");
        Vis.SetDefaultBorder(clBlack);
        Vis.SetDefaultBackground(clAqua);
        Vis.SetDefaultFont(clBlack);
        Vis.SetBackgroundColor(clWhite);
        Vis.SetBorderColorName("BorderColor");
        Vis.SetBackgroundColorName("BackgroundColor");
        Vis.SetFontColorName("FontColor");
        Vis.SetItemColorName("ColorCode");
        Vis.SetConnectionLineName("ConnectionLine");
        Vis.SetSelectedColorSet("BorderColor");
        Vis.SetRedrawOnSelectChanged(true);
    }

    TXMLItem* Item(const char* path) { return FindItemByPath(&XML, path); }
    TXMLVisualItemData* Record(const char* path) { return TXMLVisualItemData::Find(Item(path)); }
    TRect Box(const char* path)
    {
        const TXMLVisualItemData* record = Record(path);
        EXPECT_NE(record, nullptr) << path;
        return record ? record->BoxRect() : TRect{};
    }
    QPoint Center(const char* path)
    {
        const TXMLVisualItemData* record = Record(path);
        EXPECT_NE(record, nullptr) << path;
        return record ? record->Center() : QPoint(-1, -1);
    }
    int TextWidth(const char* text) { return QFontMetrics(Vis.PictureFont()).horizontalAdvance(QString::fromLatin1(text)); }

    TECXMLParser XML;
    TECXMLParser Colors;
    TXMLVisualizer Vis;
};

// --- Layout -----------------------------------------------------------------------------

TEST_F(XMLVisualizerTest, NewComponentHasItsDefaults)
{
    EXPECT_EQ(Vis.XMLParser(), nullptr);
    EXPECT_EQ(Vis.XMLColors(), nullptr);
    EXPECT_EQ(Vis.PaintBox(), nullptr);
    EXPECT_EQ(Vis.RowHeight(), 70);
    EXPECT_EQ(Vis.ColWidth(), 100);
    EXPECT_EQ(Vis.DefaultColorName(), "Default");
    EXPECT_EQ(Vis.DefaultBorder(), RGBToColor(0, 128, 0));
    EXPECT_EQ(Vis.DefaultBackground(), RGBToColor(255, 255, 0));
    EXPECT_EQ(Vis.DefaultFont(), RGBToColor(0, 0, 0));
    EXPECT_EQ(Vis.BackgroundColor(), RGBToColor(255, 255, 255));
    EXPECT_EQ(Vis.BorderColorName(), "Border");
    EXPECT_EQ(Vis.BackgroundColorName(), "Background");
    EXPECT_EQ(Vis.FontColorName(), "Font");
    EXPECT_EQ(Vis.ItemColorName(), "ColorCode");
    EXPECT_EQ(Vis.ConnectionLineName(), "ConnectionLine");
    EXPECT_EQ(Vis.SelectedColorSet(), "");
    EXPECT_TRUE(Vis.RedrawOnSelectChanged());
    EXPECT_EQ(Vis.SelectedItem(), nullptr);
    EXPECT_EQ(Vis.PictureWidth(), 0);
    EXPECT_EQ(Vis.PictureHeight(), 0);
}

TEST_F(XMLVisualizerTest, WorkedExamplePlacesBoxesRowByRowInPreOrder)
{
    LoadText(XML, Example);
    UseMainWindowSettings();
    Vis.Redraw();

    EXPECT_EQ(Center("R"), QPoint(50, 35));
    EXPECT_EQ(Center("R.A"), QPoint(50, 105));
    EXPECT_EQ(Center("R.A.A1"), QPoint(50, 175));
    EXPECT_EQ(Center("R.A.A2"), QPoint(150, 175));
    EXPECT_EQ(Center("R.B"), QPoint(150, 105));
    EXPECT_EQ(Center("R.B.B1"), QPoint(250, 175));
    EXPECT_EQ(Vis.PictureWidth(), 300);
    EXPECT_EQ(Vis.PictureHeight(), 210);

    // A box is its name with 5 pixels all round.
    const TRect a2 = Box("R.A.A2");
    EXPECT_EQ(a2.Right - a2.Left, TextWidth("A2") + 10);
    EXPECT_EQ(a2.Bottom - a2.Top, QFontMetrics(Vis.PictureFont()).height() + 10);

    // Outline from Left to Right - 1, aqua inside, white around.
    const QImage picture = Vis.PictureImage();
    ASSERT_EQ(picture.size(), QSize(300, 210));
    EXPECT_EQ(PixelAt(picture, a2.Left, a2.Top), Rgb(clBlack));
    EXPECT_EQ(PixelAt(picture, a2.Right - 1, a2.Bottom - 1), Rgb(clBlack));
    EXPECT_EQ(PixelAt(picture, a2.Left + 1, a2.Top + 1), Rgb(clAqua));
    EXPECT_EQ(PixelAt(picture, a2.Right - 2, a2.Bottom - 2), Rgb(clAqua));
    EXPECT_EQ(PixelAt(picture, a2.Right, a2.Bottom - 1), Rgb(clWhite));
    EXPECT_EQ(PixelAt(picture, a2.Left - 1, a2.Top), Rgb(clWhite));
    EXPECT_EQ(PixelAt(picture, a2.Left, a2.Bottom), Rgb(clWhite));
    EXPECT_TRUE(HasPixelNear(picture, Inner(a2), Rgb(clBlack), 60)) << "the name is written in the box";
}

TEST_F(XMLVisualizerTest, WorkedExampleLinesRunFromLowerEdgeToUpperEdge)
{
    LoadText(XML, Example);
    LoadText(Colors, "<Colors><ConnectionLine><BorderColor>808080</BorderColor></ConnectionLine></Colors>");
    UseMainWindowSettings();
    Vis.SetXMLColors(&Colors);
    Vis.Redraw();
    const QImage picture = Vis.PictureImage();
    const QRgb grey = qRgb(128, 128, 128);

    // R-A and A-A1 are vertical at x = 50; the line stops short of the child's outline.
    for (const auto& [parent, child] : {std::pair{"R", "R.A"}, std::pair{"R.A", "R.A.A1"}}) {
        for (int y = Box(parent).Bottom; y < Box(child).Top; ++y)
            EXPECT_EQ(PixelAt(picture, 50, y), grey) << parent << " to " << child << " at y " << y;
        EXPECT_EQ(PixelAt(picture, 50, Box(child).Top), Rgb(clBlack));
        EXPECT_EQ(PixelAt(picture, 50, Box(parent).Bottom - 1), Rgb(clBlack));
    }

    // R-B, A-A2 and B-B1 slant to the right: every row between the boxes holds the line
    // near the straight course, and nothing grey lies far off it.
    for (const auto& [parent, child] : {std::pair{"R", "R.B"}, std::pair{"R.A", "R.A.A2"}, std::pair{"R.B", "R.B.B1"}}) {
        const QPoint from(Center(parent).x(), Box(parent).Bottom);
        const QPoint to(Center(child).x(), Box(child).Top);
        EXPECT_EQ(to.x() - from.x(), 100);
        for (int y = from.y(); y < to.y(); ++y) {
            const int x = from.x() + (y - from.y()) * (to.x() - from.x()) / (to.y() - from.y());
            EXPECT_TRUE(HasPixelNear(picture, {x - 3, y, x + 4, y + 1}, grey, 0)) << parent << " to " << child << " at y " << y;
            EXPECT_EQ(PixelAt(picture, x + 20, y), Rgb(clWhite));
        }
    }
    // No line into the root.
    EXPECT_EQ(PixelAt(picture, 50, Box("R").Top - 1), Rgb(clWhite));
}

TEST_F(XMLVisualizerTest, RootWithoutChildrenFillsOneCell)
{
    LoadText(XML, "<Lonely></Lonely>");
    UseMainWindowSettings();
    Vis.Redraw();
    EXPECT_EQ(Center("Lonely"), QPoint(50, 35));
    EXPECT_EQ(Vis.PictureWidth(), 100);
    EXPECT_EQ(Vis.PictureHeight(), 70);
}

TEST_F(XMLVisualizerTest, CheckCanDrawItemLeavesSubtreesOut)
{
    LoadText(XML, Example);
    UseMainWindowSettings();
    Vis.Redraw();

    std::vector<std::string> asked;
    Vis.CheckCanDrawItem = [&](TXMLItem* item, bool& drawItem) {
        EXPECT_TRUE(drawItem);
        asked.push_back(item->Name());
        drawItem = item->Name() != "A";
    };
    Vis.Redraw();
    EXPECT_EQ(asked, (std::vector<std::string>{"R", "A", "B", "B1"}));
    EXPECT_EQ(Center("R.B"), QPoint(50, 105)) << "the later sibling takes the refused one's column";
    EXPECT_EQ(Center("R.B.B1"), QPoint(50, 175));
    EXPECT_EQ(Center("R.A.A2"), QPoint(150, 175)) << "a refused item keeps its last box";
    EXPECT_EQ(Vis.PictureWidth(), 100);
    EXPECT_EQ(Vis.PictureHeight(), 210);

    // Without the root nothing is placed; the picture keeps its size, all background.
    Vis.CheckCanDrawItem = [](TXMLItem*, bool& drawItem) { drawItem = false; };
    Vis.Redraw();
    EXPECT_EQ(Vis.PictureWidth(), 100);
    EXPECT_EQ(Vis.PictureHeight(), 210);
    const QImage picture = Vis.PictureImage();
    EXPECT_FALSE(HasPixelNear(picture, {0, 0, 100, 210}, Rgb(clAqua), 0));
    EXPECT_FALSE(HasPixelNear(picture, {0, 0, 100, 210}, Rgb(clBlack), 0));
}

TEST_F(XMLVisualizerTest, ItemWithHundredChildrenIsDrawnWithoutThem)
{
    UseMainWindowSettings();
    LoadText(XML, RootWithChildren(99));
    Vis.Redraw();
    EXPECT_EQ(Vis.PictureWidth(), 9900);
    EXPECT_EQ(Vis.PictureHeight(), 140);
    EXPECT_EQ(Center("R.c98"), QPoint(9850, 105));
    EXPECT_EQ(Record("R")->ChildRecords().size(), 99u);

    LoadText(XML, RootWithChildren(100));
    Vis.Redraw();
    EXPECT_EQ(Vis.PictureWidth(), 100);
    EXPECT_EQ(Vis.PictureHeight(), 70);
    EXPECT_EQ(Record("R.c0"), nullptr);
    EXPECT_TRUE(Record("R")->ChildRecords().empty());
}

TEST_F(XMLVisualizerTest, PictureShrinksAfterASmallerPass)
{
    LoadText(XML, Example);
    UseMainWindowSettings();
    TPaintBox paintBox;
    Vis.SetPaintBox(&paintBox);
    Vis.Redraw();
    EXPECT_EQ(paintBox.size(), QSize(300, 210));

    XML.Root()->Delete(1);
    Vis.Redraw();
    EXPECT_EQ(Vis.PictureWidth(), 200);
    EXPECT_EQ(Vis.PictureHeight(), 210);
    XML.Root()->Delete(0);
    Vis.Redraw();
    EXPECT_EQ(Vis.PictureWidth(), 100);
    EXPECT_EQ(Vis.PictureHeight(), 70);
    EXPECT_EQ(paintBox.size(), QSize(100, 70));
}

TEST_F(XMLVisualizerTest, GrowthStripCoversTheOverhangOfEarlierBoxes)
{
    // Wide is drawn while the picture is 100 wide; c2 then widens it, and the new strip
    // is painted over Wide's overhang.
    LoadText(XML, "<R><AVeryWideNameForOneBox><c1/><c2/></AVeryWideNameForOneBox></R>");
    UseMainWindowSettings();
    Vis.Redraw();
    const TRect wide = Box("R.AVeryWideNameForOneBox");
    ASSERT_GT(wide.Right, 110);
    EXPECT_EQ(Vis.PictureWidth(), 200);

    const QImage picture = Vis.PictureImage();
    EXPECT_EQ(PixelAt(picture, 99, wide.Top), Rgb(clBlack));
    EXPECT_EQ(PixelAt(picture, 99, wide.Top + 1), Rgb(clAqua));
    for (int x = 100; x < wide.Right; ++x) {
        EXPECT_EQ(PixelAt(picture, x, wide.Top), Rgb(clWhite)) << x;
        EXPECT_EQ(PixelAt(picture, x, wide.Top + 1), Rgb(clWhite)) << x;
    }
}

TEST_F(XMLVisualizerTest, RenamingChangesOnlyTheBoxWidth)
{
    LoadText(XML, Example);
    UseMainWindowSettings();
    Vis.Redraw();
    Item("R.A")->SetName("AMuchLongerName");
    Vis.Redraw();
    EXPECT_EQ(Center("R.AMuchLongerName"), QPoint(50, 105));
    EXPECT_EQ(Center("R.B"), QPoint(150, 105));
    EXPECT_EQ(Box("R.AMuchLongerName").Right - Box("R.AMuchLongerName").Left, TextWidth("AMuchLongerName") + 10);
}

// --- Colours ----------------------------------------------------------------------------

TEST_F(XMLVisualizerTest, WithoutColourDocumentTheFallbackColoursApply)
{
    LoadText(XML, Example);
    Vis.SetXMLParser(&XML);
    Vis.Redraw();
    const QImage picture = Vis.PictureImage();
    const TRect a = Box("R.A");
    EXPECT_EQ(PixelAt(picture, 0, 0), Rgb(clWhite));
    EXPECT_EQ(PixelAt(picture, 299, 209), Rgb(clWhite));
    EXPECT_EQ(PixelAt(picture, a.Left, a.Top), Rgb(clGreen));
    EXPECT_EQ(PixelAt(picture, a.Left + 1, a.Top + 1), Rgb(clYellow));
    EXPECT_EQ(PixelAt(picture, 50, a.Top - 1), Rgb(clGreen)) << "lines in the default border colour";
    EXPECT_TRUE(HasPixelNear(picture, Inner(a), Rgb(clBlack), 60));
}

TEST_F(XMLVisualizerTest, ColourSetsOfTheDisplayedDocument)
{
    LoadText(XML, "<Plant>"
                  "<Background><BorderColor>FFFFFF</BorderColor><BackgroundColor>FFFFFF</BackgroundColor><FontColor>000000</FontColor></Background>"
                  "<ConnectionLine><BorderColor>808080</BorderColor></ConnectionLine>"
                  "<Warn><BorderColor>FF0000</BorderColor><BackgroundColor>FFFF00</BackgroundColor><FontColor>000000</FontColor></Warn>"
                  "<Pump><ColorCode>Warn</ColorCode></Pump>"
                  "</Plant>");
    UseMainWindowSettings();
    Vis.Redraw();
    const QImage picture = Vis.PictureImage();

    const TRect pump = Box("Plant.Pump");
    EXPECT_EQ(PixelAt(picture, pump.Left, pump.Top), qRgb(255, 0, 0));
    EXPECT_EQ(PixelAt(picture, pump.Left + 1, pump.Top + 1), qRgb(255, 255, 0));
    EXPECT_TRUE(HasPixelNear(picture, Inner(pump), qRgb(0, 0, 0), 60));
    // No set named as DefaultColorName: the other items in the fallback colours.
    const TRect plant = Box("Plant");
    EXPECT_EQ(PixelAt(picture, plant.Left, plant.Top), Rgb(clBlack));
    EXPECT_EQ(PixelAt(picture, plant.Left + 1, plant.Top + 1), Rgb(clAqua));
    EXPECT_EQ(PixelAt(picture, 50, plant.Bottom), qRgb(128, 128, 128)) << "grey lines";
    EXPECT_EQ(PixelAt(picture, 0, 0), Rgb(clWhite));

    // Drawing a line added the entries that ConnectionLine lacked, empty.
    TXMLItem* line = Item("Plant.ConnectionLine");
    ASSERT_EQ(line->Count(), 3);
    EXPECT_EQ(line->Items(1)->Name(), "BackgroundColor");
    EXPECT_EQ(line->Items(1)->Value(), "");
    EXPECT_EQ(line->Items(2)->Name(), "FontColor");
    EXPECT_EQ(Item("Plant.Background")->Count(), 3);
    EXPECT_EQ(Item("Plant.Warn")->Count(), 3);
}

TEST_F(XMLVisualizerTest, BackgroundSetOutlinesThePictureAndEveryStrip)
{
    LoadText(XML, Example);
    LoadText(Colors, "<C><background><BorderColor>0000FF</BorderColor><BackgroundColor>FFFFFF</BackgroundColor></background></C>");
    UseMainWindowSettings();
    Vis.SetXMLColors(&Colors);
    Vis.Redraw();
    const QImage picture = Vis.PictureImage();
    const QRgb blue = qRgb(0, 0, 255);
    EXPECT_EQ(PixelAt(picture, 0, 0), blue);
    EXPECT_EQ(PixelAt(picture, 299, 209), blue);
    EXPECT_EQ(PixelAt(picture, 1, 1), Rgb(clWhite));
    // The strips of the second and third column: outlined on both sides.
    EXPECT_EQ(PixelAt(picture, 99, 1), blue);
    EXPECT_EQ(PixelAt(picture, 100, 1), blue);
    EXPECT_EQ(PixelAt(picture, 150, 1), Rgb(clWhite));
    EXPECT_EQ(PixelAt(picture, 200, 1), blue);
    EXPECT_EQ(PixelAt(picture, 250, 1), Rgb(clWhite));
    EXPECT_EQ(Colors.Root()->Items(0)->Count(), 3) << "the set gained its text entry";
}

TEST_F(XMLVisualizerTest, SetWithoutTextEntryWritesBlackAndGainsTheEntry)
{
    LoadText(XML, "<R><Pump><ColorCode>Warn</ColorCode></Pump><Valve><ColorCode>info</ColorCode></Valve></R>");
    LoadText(Colors, "<C><Warn><BorderColor>FF0000</BorderColor><BackgroundColor>FFFF00</BackgroundColor></Warn>"
                     "<Info><BorderColor>FF0000</BorderColor><BackgroundColor>FFFF00</BackgroundColor><FontColor>0000FF</FontColor></Info></C>");
    UseMainWindowSettings();
    Vis.SetXMLColors(&Colors);
    Vis.Redraw();
    const QImage picture = Vis.PictureImage();

    const TRect pump = Box("R.Pump");
    EXPECT_TRUE(HasPixelNear(picture, Inner(pump), qRgb(0, 0, 0), 60));
    EXPECT_FALSE(HasPixelNear(picture, Inner(pump), qRgb(0, 0, 255), 60));
    const TRect valve = Box("R.Valve");
    EXPECT_EQ(PixelAt(picture, valve.Left + 1, valve.Top + 1), qRgb(255, 255, 0)) << "set names match in any letter case";
    EXPECT_TRUE(HasPixelNear(picture, Inner(valve), qRgb(0, 0, 255), 60));
    EXPECT_FALSE(HasPixelNear(picture, Inner(valve), qRgb(0, 0, 0), 60));

    TXMLItem* warn = Colors.Root()->Items(0);
    ASSERT_EQ(warn->Count(), 3);
    EXPECT_EQ(warn->Items(2)->Name(), "FontColor");
    EXPECT_EQ(warn->Items(2)->Value(), "");
    EXPECT_EQ(Colors.Root()->Items(1)->Count(), 3);
    EXPECT_EQ(Colors.Root()->Count(), 2) << "missing sets are never added";
}

TEST_F(XMLVisualizerTest, ColorCodeNamingNoSetFallsBack)
{
    LoadText(XML, "<R><Odd><ColorCode>Nowhere</ColorCode></Odd><Ghost><ColorCode>background</ColorCode></Ghost></R>");
    LoadText(Colors, "<C><Default><Border>0000FF</Border><Background>00FF00</Background><Font>000000</Font></Default></C>");
    Vis.SetXMLParser(&XML);
    Vis.SetXMLColors(&Colors);
    Vis.Redraw();
    const QImage picture = Vis.PictureImage();

    const TRect root = Box("R");
    EXPECT_EQ(PixelAt(picture, root.Left, root.Top), qRgb(0, 0, 255)) << "the Default set";
    EXPECT_EQ(PixelAt(picture, root.Left + 1, root.Top + 1), qRgb(0, 255, 0));
    const TRect odd = Box("R.Odd");
    EXPECT_EQ(PixelAt(picture, odd.Left, odd.Top), Rgb(clGreen)) << "the item fallback, not the Default set";
    EXPECT_EQ(PixelAt(picture, odd.Left + 1, odd.Top + 1), Rgb(clYellow));
    const TRect ghost = Box("R.Ghost");
    EXPECT_EQ(PixelAt(picture, ghost.Left, ghost.Top), Rgb(clWhite)) << "the background fallback";
    EXPECT_EQ(PixelAt(picture, ghost.Left + 1, ghost.Top + 1), Rgb(clWhite));
    EXPECT_TRUE(HasPixelNear(picture, Inner(ghost), Rgb(clBlack), 60));
}

TEST_F(XMLVisualizerTest, SelectedBoxIsFilledRedWhateverItsSet)
{
    LoadText(XML, Example);
    LoadText(Colors, "<C><BorderColor><BorderColor>0000FF</BorderColor><BackgroundColor>00FF00</BackgroundColor>"
                     "<FontColor>000000</FontColor></BorderColor></C>");
    UseMainWindowSettings();
    Vis.SetXMLColors(&Colors);
    Vis.SelectItem(Item("R.A"));
    const QImage picture = Vis.PictureImage();
    const TRect a = Box("R.A");
    EXPECT_EQ(PixelAt(picture, a.Left, a.Top), qRgb(0, 0, 255));
    EXPECT_EQ(PixelAt(picture, a.Left + 1, a.Top + 1), qRgb(255, 0, 0));
    EXPECT_EQ(PixelAt(picture, a.Right - 6, a.Bottom - 6), qRgb(255, 0, 0));
    const TRect b = Box("R.B");
    EXPECT_EQ(PixelAt(picture, b.Left + 1, b.Top + 1), qRgb(0, 255, 0));

    // Without a selected set the item's own set still gives the outline.
    Vis.SetSelectedColorSet("");
    Vis.SetXMLColors(nullptr);
    Vis.Redraw();
    const QImage plain = Vis.PictureImage();
    EXPECT_EQ(PixelAt(plain, a.Left, a.Top), Rgb(clBlack));
    EXPECT_EQ(PixelAt(plain, a.Left + 1, a.Top + 1), qRgb(255, 0, 0));
}

TEST(HexToColor, ReadsRedGreenBlueText)
{
    EXPECT_EQ(HexToColor("FF0000"), clRed);
    EXPECT_EQ(HexToColor("00FF00"), RGBToColor(0, 255, 0));
    EXPECT_EQ(HexToColor("#00ff00"), RGBToColor(0, 255, 0));
    EXPECT_EQ(HexToColor("12 34 56"), RGBToColor(0x12, 0x34, 0x56));
    EXPECT_EQ(HexToColor("808080"), RGBToColor(128, 128, 128));
}

TEST(HexToColor, ShortAndLongTexts)
{
    EXPECT_EQ(HexToColor("FF"), RGBToColor(0, 0, 255)) << "read as 0000FF";
    EXPECT_EQ(HexToColor("abc"), RGBToColor(0, 10, 188));
    EXPECT_EQ(HexToColor(""), clBlack);
    EXPECT_EQ(HexToColor("#zz12"), RGBToColor(0, 0, 0x12)) << "read as 000012";
    EXPECT_EQ(HexToColor("xyz"), clBlack);
    EXPECT_EQ(HexToColor("123456789"), clBlack) << "nine significant digits";
    EXPECT_EQ(HexToColor("12345678"), 0x56347812u);
    EXPECT_EQ(HexToColor("00000000FF"), 0x0000FF00u) << "leading zeros are not significant";
}

// --- Hit testing --------------------------------------------------------------------------

TEST_F(XMLVisualizerTest, HitsStrictlyInsideABox)
{
    LoadText(XML, Example);
    UseMainWindowSettings();
    EXPECT_EQ(Vis.ItemAt(50, 35), nullptr) << "nothing placed yet";
    Vis.Redraw();
    TXMLItem* root = Item("R");
    const TRect r = Box("R");
    EXPECT_EQ(Vis.ItemAt(r.Left, 35), nullptr);
    EXPECT_EQ(Vis.ItemAt(r.Left + 1, 35), root);
    EXPECT_EQ(Vis.ItemAt(50, r.Top), nullptr);
    EXPECT_EQ(Vis.ItemAt(50, r.Top + 1), root);
    EXPECT_EQ(Vis.ItemAt(r.Right - 1, r.Bottom - 1), root);
    EXPECT_EQ(Vis.ItemAt(r.Right, 35), nullptr);
    EXPECT_EQ(Vis.ItemAt(50, r.Bottom), nullptr);

    EXPECT_EQ(Vis.ItemAt(100, 70), nullptr) << "between boxes";
    EXPECT_EQ(Vis.ItemAt(250, 175), Item("R.B.B1"));
    EXPECT_EQ(Vis.ItemAt(150, 175), Item("R.A.A2"));
    EXPECT_EQ(Vis.SelectedItem(), nullptr) << "hit testing selects nothing";

    // From a selected leaf the search climbs up to the root's subtree.
    Vis.SelectItem(Item("R.A.A1"));
    EXPECT_EQ(Vis.ItemAt(250, 175), Item("R.B.B1"));
    EXPECT_EQ(Vis.ItemAt(50, 35), root);
}

TEST_F(XMLVisualizerTest, OverlappingSiblingsGiveTheLaterOne)
{
    LoadText(XML, "<R><FirstSiblingWithLongName/><SecondSiblingWithLongName/></R>");
    UseMainWindowSettings();
    Vis.Redraw();
    ASSERT_GT(Box("R.FirstSiblingWithLongName").Right, 101);
    ASSERT_LT(Box("R.SecondSiblingWithLongName").Left, 99);
    EXPECT_EQ(Vis.ItemAt(100, 105), Item("R.SecondSiblingWithLongName"));
    EXPECT_EQ(Vis.ItemAt(20, 105), Item("R.FirstSiblingWithLongName"));
}

TEST_F(XMLVisualizerTest, SelectedSubtreeWinsOverBoxesDrawnLater)
{
    LoadText(XML, "<R><A><LongNameUnderTheFirst/></A><B><LongNameUnderTheSecond/></B></R>");
    UseMainWindowSettings();
    Vis.Redraw();
    ASSERT_GT(Box("R.A.LongNameUnderTheFirst").Right, 101);
    ASSERT_LT(Box("R.B.LongNameUnderTheSecond").Left, 99);
    EXPECT_EQ(Vis.ItemAt(100, 175), Item("R.B.LongNameUnderTheSecond"));
    Vis.SelectItem(Item("R.A"));
    EXPECT_EQ(Vis.ItemAt(100, 175), Item("R.A.LongNameUnderTheFirst"));
    Vis.SelectItem(Item("R.A.LongNameUnderTheFirst"));
    EXPECT_EQ(Vis.ItemAt(100, 175), Item("R.A.LongNameUnderTheFirst"));
    Vis.SelectItem(Item("R.B"));
    EXPECT_EQ(Vis.ItemAt(100, 175), Item("R.B.LongNameUnderTheSecond"));
}

TEST_F(XMLVisualizerTest, OldBoxesStayHitUntilTheirItemsGo)
{
    LoadText(XML, Example);
    UseMainWindowSettings();
    Vis.Redraw();
    Vis.CheckCanDrawItem = [](TXMLItem* item, bool& drawItem) { drawItem = item->Name() != "B"; };
    Vis.Redraw();
    EXPECT_EQ(Vis.ItemAt(150, 105), Item("R.B")) << "refused in the last pass, hit at its old place";

    XML.Root()->Delete(1);
    EXPECT_EQ(Vis.ItemAt(150, 105), nullptr);
    EXPECT_EQ(Vis.ItemAt(250, 175), nullptr);
    EXPECT_EQ(Vis.ItemAt(150, 175), Item("R.A.A2"));
}

TEST_F(XMLVisualizerTest, SelectedItemNeverPlacedFindsNothing)
{
    LoadText(XML, Example);
    UseMainWindowSettings();
    Vis.CheckCanDrawItem = [](TXMLItem* item, bool& drawItem) { drawItem = item->Name() != "B"; };
    Vis.SelectItem(Item("R.B"));
    EXPECT_EQ(Vis.ItemAt(50, 35), nullptr);
    EXPECT_EQ(Vis.ItemAt(50, 105), nullptr);
}

// --- Layout records -----------------------------------------------------------------------

TEST_F(XMLVisualizerTest, RecordsGoWithTheirItems)
{
    LoadText(XML, Example);
    UseMainWindowSettings();
    Vis.Redraw();
    TXMLVisualItemData* root = Record("R");
    TXMLVisualItemData* b = Record("R.B");
    ASSERT_EQ(root->ChildRecords().size(), 2u);
    EXPECT_EQ(root->ChildRecords()[1], b);
    EXPECT_EQ(b->ParentRecord(), root);
    EXPECT_EQ(b->XMLItem(), Item("R.B"));
    EXPECT_EQ(Record("R.B.B1")->Depth(), 2);
    EXPECT_TRUE(b->ShowChildren());

    XML.Root()->Delete(0);
    EXPECT_EQ(root->ChildRecords(), std::vector<TXMLVisualItemData*>{b});

    // A new child's record comes after the older ones, whatever the child's place.
    XML.Root()->New()->SetName("C");
    XML.Root()->Move(Item("R.C"), 0);
    Vis.Redraw();
    EXPECT_EQ(root->ChildRecords(), (std::vector<TXMLVisualItemData*>{b, Record("R.C")}));

    // The root item is only cleared: its record survives a reload.
    LoadText(XML, Example);
    EXPECT_EQ(Record("R"), root);
    EXPECT_TRUE(root->ChildRecords().empty());
    Vis.Redraw();
    EXPECT_EQ(root->ChildRecords().size(), 2u);
}

// --- Selection ----------------------------------------------------------------------------

TEST_F(XMLVisualizerTest, SelectItemRaisesBothEventsThenRedraws)
{
    LoadText(XML, Example);
    UseMainWindowSettings();
    std::vector<std::string> events;
    const auto name = [](TXMLItem* item) { return item ? item->Name() : std::string("none"); };
    Vis.OnSelectionChange = [&](TXMLVisualizer* sender, TXMLItem* oldSelection, TXMLItem* newSelection) {
        EXPECT_EQ(sender, &Vis);
        events.push_back("change " + name(oldSelection) + ">" + name(newSelection) + " selected " + name(Vis.SelectedItem()));
    };
    Vis.AfterSelectionChange = [&](TXMLVisualizer*, TXMLItem* oldSelection, TXMLItem* newSelection) {
        events.push_back("after " + name(oldSelection) + ">" + name(newSelection) + " selected " + name(Vis.SelectedItem()));
    };
    Vis.OnStartDraw = [&](TXMLVisualizer* sender) {
        EXPECT_EQ(sender, &Vis);
        events.push_back("start");
    };
    Vis.OnSwap = [&](TXMLVisualizer*) { events.push_back("swap"); };

    Vis.SelectItem(Item("R.A"));
    Vis.SelectItem(Item("R.A"));
    Vis.SelectItem(nullptr);
    EXPECT_EQ(events, (std::vector<std::string>{
                          "change none>A selected none", "after none>A selected A", "start", "swap",
                          "change A>A selected A", "after A>A selected A", "start", "swap",
                          "change A>none selected A", "after A>none selected none", "start", "swap"}));
}

TEST_F(XMLVisualizerTest, WithoutRedrawOnSelectTheMarkMovesAtTheNextRedraw)
{
    LoadText(XML, Example);
    UseMainWindowSettings();
    Vis.SetRedrawOnSelectChanged(false);
    Vis.Redraw();
    int passes = 0;
    Vis.OnStartDraw = [&](TXMLVisualizer*) { ++passes; };
    Vis.SelectItem(Item("R.B"));
    EXPECT_EQ(passes, 0);
    EXPECT_EQ(Vis.SelectedItem(), Item("R.B"));
    const TRect b = Box("R.B");
    EXPECT_EQ(PixelAt(Vis.PictureImage(), b.Left + 1, b.Top + 1), Rgb(clAqua));
    Vis.Redraw();
    EXPECT_EQ(PixelAt(Vis.PictureImage(), b.Left + 1, b.Top + 1), Rgb(clRed));
}

// --- Paint box ----------------------------------------------------------------------------

TEST_F(XMLVisualizerTest, PaintBoxShowsThePictureUnderItsOwnPainting)
{
    LoadText(XML, Example);
    UseMainWindowSettings();
    TPaintBox paintBox;
    paintBox.resize(176, 150);
    const QRgb magenta = qRgb(255, 0, 255);
    paintBox.OnPaint = [&](QObject* sender) {
        EXPECT_EQ(sender, &paintBox);
        paintBox.Canvas()->fillRect(QRect(1, 1, 2, 2), QColor(magenta));
    };
    Vis.SetPaintBox(&paintBox);
    EXPECT_EQ(Vis.PaintBox(), &paintBox);
    bool sized = false;
    Vis.OnSwap = [&](TXMLVisualizer*) { sized = paintBox.size() == QSize(300, 210); };
    Vis.Redraw();
    EXPECT_TRUE(sized) << "the paint box has the picture's size when OnSwap comes";

    QImage shown = paintBox.grab().toImage();
    ASSERT_EQ(shown.size(), QSize(300, 210));
    EXPECT_EQ(PixelAt(shown, 1, 1), magenta) << "the host's handler draws over the diagram";
    shown.setPixel(1, 1, PixelAt(Vis.PictureImage(), 1, 1));
    shown.setPixel(2, 2, PixelAt(Vis.PictureImage(), 2, 2));
    shown.setPixel(1, 2, PixelAt(Vis.PictureImage(), 1, 2));
    shown.setPixel(2, 1, PixelAt(Vis.PictureImage(), 2, 1));
    ExpectSamePixels(shown, Vis.PictureImage(), {0, 0});

    // Unhooked, the box paints only its own.
    Vis.SetPaintBox(nullptr);
    const QImage own = paintBox.grab().toImage();
    EXPECT_EQ(PixelAt(own, 1, 1), magenta);
    EXPECT_NE(PixelAt(own, Box("R").Left, Box("R").Top), Rgb(clBlack));

    // A component that goes gives the box its handler back.
    {
        TXMLVisualizer other;
        other.SetXMLParser(&XML);
        other.SetPaintBox(&paintBox);
        other.Redraw();
        EXPECT_EQ(PixelAt(paintBox.grab().toImage(), Box("R").Left, Box("R").Top), Rgb(clGreen));
    }
    EXPECT_NE(PixelAt(paintBox.grab().toImage(), Box("R").Left, Box("R").Top), Rgb(clGreen));
    EXPECT_EQ(PixelAt(paintBox.grab().toImage(), 1, 1), magenta);
}

TEST_F(XMLVisualizerTest, PaintBoxTakesItsFontForTheNames)
{
    LoadText(XML, "<R><SomeName/></R>");
    UseMainWindowSettings();
    TPaintBox paintBox;
    QFont font = paintBox.font();
    font.setPixelSize(30);
    paintBox.setFont(font);
    Vis.SetPaintBox(&paintBox);
    Vis.Redraw();
    EXPECT_EQ(Box("R.SomeName").Bottom - Box("R.SomeName").Top, QFontMetrics(font).height() + 10);

    // Later changes of the box's font are not followed.
    font.setPixelSize(10);
    paintBox.setFont(font);
    Vis.Redraw();
    EXPECT_GT(Box("R.SomeName").Bottom - Box("R.SomeName").Top, QFontMetrics(font).height() + 10);
}

// The picture is never held whole: what a part shows must be what the whole shows there.
TEST_F(XMLVisualizerTest, PartsOfThePictureMatchTheWhole)
{
    // Three groups of 99 items, some with long names overlapping their neighbours, every
    // fifth one coloured through a child.
    std::string text = "<Plant><ConnectionLine><BorderColor>808080</BorderColor></ConnectionLine>";
    for (int group = 0; group < 3; ++group) {
        text += "<Group>";
        for (int i = 0; i < 99; ++i) {
            const std::string name = (i % 7 == 3 ? "AnUnusuallyLongItemName" : "item") + std::to_string(i);
            text += i % 5 == 0 ? "<" + name + "><ColorCode>Warn</ColorCode></" + name + ">\n" : "<" + name + "/>\n";
        }
        text += "</Group>";
    }
    text += "<Warn><BorderColor>FF0000</BorderColor><BackgroundColor>FFFF00</BackgroundColor></Warn></Plant>";
    LoadText(XML, text);
    UseMainWindowSettings();
    Vis.Redraw();
    const int width = Vis.PictureWidth();
    const int height = Vis.PictureHeight();
    ASSERT_GT(width, 29700);
    ASSERT_EQ(height, 280);
    const QImage whole = Vis.PictureImage();

    for (const QRect part : {QRect(0, 0, 97, 61), QRect(4321, 17, 333, 180), QRect(width - 50, 100, 50, 180), QRect(12345, 0, 1000, 280)})
        ExpectSamePixels(Vis.PictureImage(part), whole, part.topLeft());

    // And so does the paint box scrolled in its scroll area.
    QScrollArea scrollBox;
    scrollBox.setObjectName(QStringLiteral("sbXML"));
    auto* paintBox = new TPaintBox;
    paintBox->setObjectName(QStringLiteral("pbXML"));
    scrollBox.setWidget(paintBox);
    scrollBox.resize(640, 400);
    Vis.SetPaintBox(paintBox);
    Vis.Redraw();
    scrollBox.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scrollBox));
    EXPECT_EQ(paintBox->size(), QSize(width, height));
    scrollBox.horizontalScrollBar()->setValue(20011);
    const QImage view = scrollBox.viewport()->grab().toImage();
    ASSERT_GT(view.height(), height);
    ExpectSamePixels(view.copy(0, 0, view.width(), height), whole, {20011, 0});
}

TEST_F(XMLVisualizerTest, RowOfTenThousandItemsKeepsItsLogicalWidth)
{
    // 2 x 51 x 99 items on the last row.
    std::string text = "<R>";
    for (int half = 0; half < 2; ++half) {
        text += "<h>";
        for (int group = 0; group < 51; ++group) {
            text += "<g>";
            for (int i = 0; i < 99; ++i)
                text += "<i/>\n";
            text += "</g>";
        }
        text += "</h>";
    }
    LoadText(XML, text + "</R>");
    UseMainWindowSettings();
    TPaintBox paintBox;
    Vis.SetPaintBox(&paintBox);
    Vis.Redraw();
    EXPECT_EQ(Vis.PictureWidth(), 10098 * 100);
    EXPECT_EQ(Vis.PictureHeight(), 280);
    EXPECT_EQ(paintBox.size(), QSize(10098 * 100, 280));
    TXMLItem* last = XML.Root()->Items(1)->Items(50)->Items(98);
    const TXMLVisualItemData* record = TXMLVisualItemData::Find(last);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->Center(), QPoint(1009750, 245));
    EXPECT_EQ(Vis.ItemAt(1009750, 245), last);
    const QImage end = Vis.PictureImage(QRect(1009700, 210, 100, 70));
    EXPECT_EQ(PixelAt(end, 50, record->BoxRect().Top - 210), Rgb(clBlack));
    EXPECT_EQ(PixelAt(end, 50, record->BoxRect().Top + 1 - 210), Rgb(clAqua));
}

} // namespace
