#include <gtest/gtest.h>

#include <QComboBox>
#include <QToolBar>
#include <QToolButton>

#include "ComponentSettings.h"
#include "MainWindowFixture.h"
#include "MycoolBar.h"

namespace {

class MycoolBar : public MainWindow {
protected:
    TMycoolBar* Bar() const { return Window->findChild<TMycoolBar*>(QStringLiteral("CoolBar1")); }
    QWidget* Band(const char* name) const { return Bar()->findChild<QWidget*>(QString::fromUtf8(name), Qt::FindDirectChildrenOnly); }
    // Drags the grip at the left of band `index` by `dx` pixels.
    void DragGrip(int index, int dx)
    {
        const QPoint grip = Bar()->BandRect(index).topLeft() + QPoint(4, Bar()->BandRect(index).height() / 2);
        QTest::mousePress(Bar(), Qt::LeftButton, {}, grip);
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(Bar(), grip + QPoint(dx * step / 4, 0));
        QTest::mouseRelease(Bar(), Qt::LeftButton, {}, grip + QPoint(dx, 0));
    }
    void ClickGrip(int index)
    {
        QTest::mouseClick(Bar(), Qt::LeftButton, {}, Bar()->BandRect(index).topLeft() + QPoint(4, 4));
    }
};

TEST_F(MycoolBar, HoldsItsFourBandsAndRemembersTheirWidthsInTheirTags)
{
    Open({FileName});
    ASSERT_NE(Bar(), nullptr);
    const char* names[] = {"ToolBar6", "ToolBar1", "ToolBar7", "eitem"};
    ASSERT_EQ(Bar()->BandCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Bar()->BandControl(i), Band(names[i]));
        EXPECT_EQ(Tag(Bar()->BandControl(i)), Bar()->BandWidth(i)) << names[i];
    }
    EXPECT_EQ(Band("eitem")->width(), 0);
}

TEST_F(MycoolBar, EveryCommandIsReachableAtTheDesignedWidthAndWider)
{
    for (const int width : {699, 1000}) {
        Open({FileName});
        Window->resize(width, 526);
        ASSERT_TRUE(WaitFor([&] { return Bar()->width() == width; }));
        const QRect bar = Bar()->rect();
        for (QToolBar* toolBar : Bar()->findChildren<QToolBar*>()) {
            EXPECT_TRUE(bar.contains(toolBar->geometry())) << toolBar->objectName().toStdString();
            for (QAction* action : toolBar->actions()) {
                QWidget* widget = toolBar->widgetForAction(action);
                if (action->isSeparator() || !widget)
                    continue;
                EXPECT_TRUE(widget->isVisible() && toolBar->rect().contains(widget->geometry()))
                    << width << ": " << action->objectName().toStdString();
            }
        }
        // Two rows at the designed width, one when all bands fit side by side.
        EXPECT_EQ(Bar()->BandRect(2).top() > 0, width == 699);
        CloseAndDestroy();
    }
}

TEST_F(MycoolBar, DraggedBandReturnsToItsWidthOnAClickOnTheBar)
{
    Open({FileName});
    auto* filter = Window->findChild<QComboBox*>(QStringLiteral("cbfilter"));
    const int band = Band("ToolBar7")->width();
    const int box = filter->width();
    DragGrip(3, 60);
    EXPECT_EQ(Band("ToolBar7")->width(), band + 60);
    EXPECT_TRUE(WaitFor([&] { return filter->width() == box + 60; })) << "the filter box grows with its band";
    ClickGrip(0);
    EXPECT_EQ(Band("ToolBar7")->width(), band);
    EXPECT_EQ(Bar()->BandWidth(2), Tag(Band("ToolBar7")));
}

TEST_F(MycoolBar, DraggedBandReturnsToItsWidthWhenTheBarChangesSize)
{
    Open({FileName});
    const int band = Band("ToolBar6")->width();
    const int remembered = Tag(Band("ToolBar6"));
    DragGrip(1, 40);
    EXPECT_EQ(Band("ToolBar6")->width(), band + 40);
    Window->resize(720, 526);
    EXPECT_TRUE(WaitFor([&] { return Band("ToolBar6")->width() == band; }));
    EXPECT_EQ(Tag(Band("ToolBar6")), remembered) << "widths are remembered once";
}

TEST_F(MycoolBar, HandlersAssignedLaterReplaceTheBarsOwn)
{
    Open({FileName});
    int clicks = 0;
    Bar()->OnClick = [&](QObject* sender) {
        EXPECT_EQ(sender, Bar());
        ++clicks;
    };
    const int band = Band("ToolBar7")->width();
    DragGrip(3, 30);
    ClickGrip(0);
    EXPECT_EQ(clicks, 1) << "a drag is no click";
    EXPECT_EQ(Band("ToolBar7")->width(), band + 30);
}

} // namespace
