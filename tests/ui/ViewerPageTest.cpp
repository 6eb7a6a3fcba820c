#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QTabBar>
#include <QTabWidget>

#include <optional>
#include <string>

#include "MainWindowFixture.h"
#include "PaintBox.h"
#include "XMLVisualizer.h"

namespace {

// A, with B and C on the row below: boxes centred at (50, 35), (50, 105) and (150, 105).
constexpr std::string_view Family =
    "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n"
    "<A>\r\n"
    "  <B width=\"10\" height=\"5\"/>\r\n"
    "  <C/>\r\n"
    "</A>\r\n";

// Items of the default set: a "BorderColor" set with only its outline entry.
constexpr std::string_view IncompleteSet =
    "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n"
    "<A>\r\n"
    "  <BorderColor>\r\n"
    "    <BorderColor>0000FF</BorderColor>\r\n"
    "  </BorderColor>\r\n"
    "  <B/>\r\n"
    "</A>\r\n";

// B names the set Warn, which comes before it and lacks its fill and text entries.
constexpr std::string_view LateSet = "<A><Warn><BorderColor>FF0000</BorderColor></Warn><B><ColorCode>Warn</ColorCode></B></A>";

const QRgb White = qRgb(255, 255, 255);
const QRgb Aqua = qRgb(0, 255, 255);
const QRgb Red = qRgb(255, 0, 0);

class ViewerPage : public MainWindow {
protected:
    void SetUp() override
    {
        Folder.Write("doc.xml", Family);
        Open({FileName});
    }

    TXMLVisualizer* Vis() const { return Window->findChild<TXMLVisualizer*>(QStringLiteral("Vis")); }
    TPaintBox* PaintBox() const { return Window->findChild<TPaintBox*>(QStringLiteral("pbXML")); }
    QTabWidget* Pages() const { return Window->findChild<QTabWidget*>(QStringLiteral("PageControl1")); }
    TXMLItem* Item(std::initializer_list<int> path) const
    {
        TXMLItem* item = Window->XML.Root();
        for (int i : path)
            item = item->Items(i);
        return item;
    }

    void ClickPage(int index)
    {
        QTabBar* bar = Pages()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
        ASSERT_EQ(Pages()->currentIndex(), index);
    }
    void ShowViewer()
    {
        ClickPage(1);
        ASSERT_TRUE(WaitFor([this] { return PaintBox()->isVisible(); }));
    }

    // The box of `item` as the last pass placed it; an empty one when never placed.
    TRect Box(const TXMLItem* item) const
    {
        const TXMLVisualItemData* record = TXMLVisualItemData::Find(item);
        return record ? record->BoxRect() : TRect{};
    }
    static QPoint Centre(const TRect& box) { return QPoint(box.Left + (box.Right - box.Left) / 2, box.Top + (box.Bottom - box.Top) / 2); }
    // A pixel of the paint box as it shows on the screen.
    QRgb Pixel(QPoint at) const { return PaintBox()->grab().toImage().pixel(at) | 0xFF000000u; }
    // A pixel of a box's interior, clear of its outline and its text.
    static QPoint Inside(const TRect& box) { return QPoint(box.Left + 2, box.Top + 2); }
    void Press(QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mousePress(PaintBox(), button, {}, at);
        QTest::mouseRelease(PaintBox(), button, {}, at);
    }
};

TEST_F(ViewerPage, ShowingTheViewerSelectsAndDrawsTheCurrentItem)
{
    ClickNode(Node({1}));
    ASSERT_EQ(CurrentNodeText(), QStringLiteral("C"));
    ShowViewer();
    EXPECT_EQ(Vis()->SelectedItem(), Item({1}));
    EXPECT_EQ(PaintBox()->size(), QSize(200, 140)) << "two columns, two rows";
    EXPECT_EQ(Centre(Box(Item({}))), QPoint(50, 35));
    EXPECT_EQ(Centre(Box(Item({0}))), QPoint(50, 105));
    EXPECT_EQ(Centre(Box(Item({1}))), QPoint(150, 105));
    EXPECT_EQ(Pixel(Inside(Box(Item({1})))), Red) << "the selected box";
    EXPECT_EQ(Pixel(Inside(Box(Item({0})))), Aqua);
    EXPECT_EQ(Pixel(QPoint(150, 20)), White) << "the background";
    EXPECT_FALSE(Command("asave")->isEnabled()) << "a document without colour sets is not changed by drawing it";
}

TEST_F(ViewerPage, TreeSelectionMovesTheMarkWhileTheViewerShows)
{
    ShowViewer();
    ClickNode(Node({0}));
    EXPECT_EQ(Vis()->SelectedItem(), Item({0}));
    EXPECT_EQ(Pixel(Inside(Box(Item({0})))), Red);
    EXPECT_EQ(Pixel(Inside(Box(Item({})))), Aqua);
}

TEST_F(ViewerPage, PressOnABoxSelectsItsNodeInTheTree)
{
    ShowViewer();
    Press(Centre(Box(Item({1}))));
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("C"));
    EXPECT_EQ(Vis()->SelectedItem(), Item({1}));
    EXPECT_EQ(Result(), QStringLiteral("A.C"));
    EXPECT_EQ(Pixel(Inside(Box(Item({1})))), Red);

    // Any button; one pixel inside the outline is inside the box.
    const TRect b = Box(Item({0}));
    Press(QPoint(b.Left + 1, b.Top + 1), Qt::RightButton);
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("B"));
    EXPECT_EQ(List()->model()->rowCount(), 2) << "B's parameters";
    EXPECT_EQ(Pixel(Inside(Box(Item({1})))), Aqua);
    EXPECT_FALSE(Command("asave")->isEnabled());
}

TEST_F(ViewerPage, PressBetweenBoxesChangesNothing)
{
    ClickNode(Node({0}));
    ShowViewer();
    const QImage before = PaintBox()->grab().toImage();
    const TRect b = Box(Item({0}));
    for (QPoint at : {QPoint(150, 35), QPoint(b.Left, b.Top + 5), QPoint(100, 130)})
        Press(at);
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("B"));
    EXPECT_EQ(Vis()->SelectedItem(), Item({0}));
    EXPECT_EQ(Result(), QStringLiteral("A.B"));
    EXPECT_FALSE(Command("asave")->isEnabled());
    EXPECT_EQ(PaintBox()->grab().toImage(), before);
}

TEST_F(ViewerPage, RenamingANodeWhileTheViewerShowsWidensItsBox)
{
    ShowViewer();
    const TRect before = Box(Item({1}));
    const QImage shown = PaintBox()->grab().toImage();
    FocusTree({1});
    TModalAnswer rename = InputAnswer(QStringLiteral("C_with_a_long_name"));
    TModalAnswer yes(QStringLiteral("Yes"));
    Command("aEditEntry")->trigger();
    ASSERT_TRUE(yes.Answered());
    ASSERT_EQ(Item({1})->Name(), "C_with_a_long_name");
    const TRect after = Box(Item({1}));
    EXPECT_GT(after.Right - after.Left, before.Right - before.Left + 40);
    EXPECT_EQ(Centre(after).y(), 105) << "the same place on its row";
    ASSERT_LT(after.Left + 2, before.Left);
    EXPECT_EQ(shown.pixel(Inside(after)) | 0xFF000000u, White);
    EXPECT_EQ(Pixel(Inside(after)), Red) << "the wider box as drawn, selected, where the background was";
}

TEST_F(ViewerPage, RenamingANodeInPlaceWhileTheViewerShowsRedraws)
{
    ShowViewer();
    FocusTree({0});
    QTest::keyClick(Tree(), Qt::Key_F2);
    auto* editor = Tree()->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Broad_name"));
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([this] { return Item({0})->Name() == "Broad_name"; }));
    const TRect box = Box(Item({0}));
    EXPECT_GT(box.Right - box.Left, 60);
    EXPECT_EQ(Pixel(QPoint(box.Left + 2, box.Bottom - 3)), Red);
}

TEST_F(ViewerPage, MoveDownWhileTheViewerShowsRedrawsInTheNewOrder)
{
    ShowViewer();
    ClickNode(Node({0}));
    Command("aMoveDown")->trigger();
    ASSERT_EQ(Item({1})->Name(), "B");
    EXPECT_EQ(Centre(Box(Item({1}))), QPoint(150, 105));
    EXPECT_EQ(Centre(Box(Item({0}))), QPoint(50, 105));
    EXPECT_EQ(Pixel(Inside(Box(Item({1})))), Red) << "B, still selected, in the second column";
    EXPECT_EQ(Pixel(Inside(Box(Item({0})))), Aqua);
}

TEST_F(ViewerPage, EditEntryCancelledOnARowStillRedraws)
{
    // The list, hidden behind the diagram, keeps its selected row.
    ClickNode(Node({0}));
    ClickRow(0);
    ShowViewer();
    ASSERT_FALSE(Tree()->hasFocus());
    int passes = 0;
    Vis()->OnStartDraw = [&](TXMLVisualizer*) { ++passes; };
    TModalAnswer cancel(QStringLiteral("btnCancel"));
    Command("aEditEntry")->trigger();
    EXPECT_TRUE(cancel.Answered());
    EXPECT_EQ(passes, 1);
    EXPECT_FALSE(Command("asave")->isEnabled());
    Vis()->OnStartDraw = nullptr;
}

TEST_F(ViewerPage, DeletingWhileTheViewerShowsRemovesTheBox)
{
    ShowViewer();
    const QPoint c = Centre(Box(Item({1})));
    FocusTree({1});
    TModalAnswer yes(QStringLiteral("Yes"));
    Command("aDelete")->trigger();
    ASSERT_TRUE(yes.Answered());
    ASSERT_EQ(Item({})->Count(), 1);
    EXPECT_EQ(PaintBox()->size(), QSize(100, 140)) << "one column left";
    EXPECT_EQ(Vis()->SelectedItem(), Item({0})) << "the previous sibling, selected in place of the deleted item";
    EXPECT_EQ(Pixel(Inside(Box(Item({0})))), Red);
    EXPECT_EQ(Vis()->ItemAt(c.x(), c.y()), nullptr);
}

TEST_F(ViewerPage, PressWhereTheDeletedSelectedItemWasHitsNothing)
{
    ShowViewer();
    const QPoint c = Centre(Box(Item({1})));
    Press(c);
    ASSERT_EQ(Vis()->SelectedItem(), Item({1}));
    FocusTree({1});
    TModalAnswer yes(QStringLiteral("Yes"));
    Command("aDelete")->trigger();
    ASSERT_EQ(Item({})->Count(), 1);
    ASSERT_EQ(CurrentNodeText(), QStringLiteral("B"));
    Press(c);
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("B"));
    Press(Centre(Box(Item({}))));
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("A"));
}

TEST_F(ViewerPage, PressAfterTheDiagramsSelectionWasDeletedOnTheOtherPage)
{
    ShowViewer();
    Press(Centre(Box(Item({1}))));
    ASSERT_EQ(Vis()->SelectedItem(), Item({1}));
    ClickPage(0);
    FocusTree({1});
    TModalAnswer yes(QStringLiteral("Yes"));
    Command("aDelete")->trigger();
    ASSERT_EQ(Item({})->Count(), 1);
    ShowViewer();
    EXPECT_EQ(PaintBox()->size(), QSize(100, 140));
    Press(Centre(Box(Item({0}))));
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("B"));
}

TEST_F(ViewerPage, PressAfterARefreshHitsTheItemsReadAgain)
{
    ShowViewer();
    const QPoint b = Centre(Box(Item({0})));
    const QPoint c = Centre(Box(Item({1})));
    Press(c);
    ASSERT_EQ(Vis()->SelectedItem(), Item({1}));
    // The file is read again: every item the diagram knows is destroyed, its selection
    // too, and the tree's selection follows by path.
    Command("aRefresh")->trigger();
    ASSERT_EQ(CurrentNodeText(), QStringLiteral("C"));
    const TXMLItem* kept = Vis()->SelectedItem();
    EXPECT_TRUE(!kept || kept == Item({}) || kept == Item({0}) || kept == Item({1}));
    Press(b);
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("B"));
    EXPECT_EQ(Vis()->SelectedItem(), Item({0}));
    Press(c);
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("C"));
    EXPECT_EQ(Vis()->SelectedItem(), Item({1}));
}

TEST_F(ViewerPage, ARefreshThatDropsTheSelectedItemLeavesTheDiagramNoneOfItsOld)
{
    ShowViewer();
    Press(Centre(Box(Item({1}))));
    ASSERT_EQ(Vis()->SelectedItem(), Item({1}));
    // Another program leaves only the document element: no item of the file read again
    // can stand where the selected one was.
    Folder.Write("doc.xml", "<A>\r\n</A>\r\n");
    Command("aRefresh")->trigger();
    EXPECT_EQ(CurrentNodeText(), QString()) << "the path names no item any more";
    const TXMLItem* kept = Vis()->SelectedItem();
    EXPECT_TRUE(!kept || kept == Item({}));
    Press(Centre(Box(Item({}))));
    EXPECT_EQ(Vis()->SelectedItem(), Item({}));
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("A"));
}

TEST_F(ViewerPage, ReloadWhileTheViewerShowsSelectsTheRootAndStaysHittable)
{
    ShowViewer();
    Press(QPoint(150, 105));
    ASSERT_EQ(CurrentNodeText(), QStringLiteral("C"));
    Folder.Write("doc.xml", "<A><B/><C/><D/></A>");
    Window->LoadDocument();
    EXPECT_EQ(Vis()->SelectedItem(), Item({})) << "a load selects the root in the diagram";
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("C")) << "and the current item in the tree";
    EXPECT_EQ(PaintBox()->size(), QSize(300, 140));
    Press(QPoint(250, 105));
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("D"));
    EXPECT_EQ(Vis()->SelectedItem(), Item({2}));
    EXPECT_EQ(Pixel(Inside(Box(Item({2})))), Red);

    // New: every item but the root goes, and the diagram is drawn again at the next press.
    Command("aNewFile")->trigger();
    ASSERT_EQ(Item({})->Count(), 0);
    Press(QPoint(250, 105));
    EXPECT_EQ(PaintBox()->size(), QSize(100, 70));
    EXPECT_EQ(CurrentNodeText(), QString());
}

TEST_F(ViewerPage, MissingColourEntriesAreAddedWhenTheDiagramIsShown)
{
    Folder.Write("doc.xml", IncompleteSet);
    Window->LoadDocument();
    ASSERT_EQ(Item({0})->Count(), 1);
    EXPECT_FALSE(Command("asave")->isEnabled()) << "the load's own drawing is read over again";

    ShowViewer();
    // The set gains its fill and text entries, empty: the document has changed.
    TXMLItem* set = Item({0});
    ASSERT_EQ(set->Count(), 3);
    EXPECT_EQ(set->Items(1)->Name(), "BackgroundColor");
    EXPECT_EQ(set->Items(2)->Name(), "FontColor");
    EXPECT_TRUE(Command("asave")->isEnabled());
    EXPECT_EQ(Tree()->model()->rowCount(Node({0})), 3) << "the tree shows the new entries";
    // And so does the diagram: the entries' boxes, black inside, outlined in blue.
    const TRect fill = Box(set->Items(1));
    ASSERT_NE(fill.Right, 0);
    EXPECT_EQ(Pixel(QPoint(fill.Left, fill.Top)), qRgb(0, 0, 255));
    EXPECT_EQ(Pixel(Inside(fill)), qRgb(0, 0, 0));
    EXPECT_EQ(PaintBox()->size(), QSize(300, 210));
    Press(Centre(fill));
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("BackgroundColor"));
}

TEST_F(ViewerPage, ColourEntriesAddedLateInAPassAreDrawnAtOnce)
{
    ShowViewer();
    Folder.Write("doc.xml", LateSet);
    Window->LoadDocument();
    TXMLItem* set = Item({0});
    ASSERT_EQ(set->Count(), 1) << "what the load's drawing added is read over again";
    // The program selects a node, as a press on the diagram does: one pass, in which B
    // names Warn after Warn's entries have been drawn.
    Tree()->setCurrentIndex(Node({1, 0}));
    ASSERT_EQ(Vis()->SelectedItem(), Item({1, 0}));
    ASSERT_EQ(set->Count(), 3);
    EXPECT_TRUE(Command("asave")->isEnabled());
    EXPECT_EQ(Centre(Box(set->Items(2))), QPoint(250, 175)) << "the text entry's box";
    const TRect b = Box(Item({1}));
    EXPECT_EQ(Pixel(QPoint(b.Left, b.Top)), Red) << "B outlined as Warn says";
    EXPECT_EQ(Pixel(Inside(b)), qRgb(0, 0, 0)) << "and filled black, the empty fill entry";
    EXPECT_EQ(Centre(Box(Item({1, 0}))), QPoint(350, 175));
    EXPECT_EQ(Pixel(Inside(Box(Item({1, 0})))), Red);
}

} // namespace
