#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>

#include <algorithm>
#include <tuple>
#include <vector>

#include "GuiTest.h"
#include "MessageForm.h"

namespace {

// Types `key` where the user's keystrokes go: the box's focused control.
void Press(QWidget* box, Qt::Key key)
{
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus && focus->window() == box ? focus : box, key);
}

// The box's buttons from left to right.
std::vector<QPushButton*> Row(const QWidget& box)
{
    auto buttons = box.findChildren<QPushButton*>();
    std::vector<QPushButton*> row(buttons.begin(), buttons.end());
    std::sort(row.begin(), row.end(), [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
    return row;
}

class MessageBoxes : public ::testing::Test, public TGuiFixtureBase {};

TEST_F(MessageBoxes, KindsGiveTheirTitleAndIcon)
{
    const std::tuple<TMsgDlgType, const char*, QStyle::StandardPixmap> kinds[] = {
        {mtWarning, "Warning", QStyle::SP_MessageBoxWarning},
        {mtError, "Error", QStyle::SP_MessageBoxCritical},
        {mtInformation, "Information", QStyle::SP_MessageBoxInformation},
        {mtConfirmation, "Confirm", QStyle::SP_MessageBoxQuestion},
        {mtCustom, "Selvane Dialog", QStyle::SP_CustomBase}};
    for (const auto& [kind, title, icon] : kinds) {
        SCOPED_TRACE(title);
        TMessageForm box(QStringLiteral("Text"), kind, Btn(mbOK), 0);
        EXPECT_EQ(box.windowTitle(), QString::fromUtf8(title));
        auto* image = box.findChild<QLabel*>(QStringLiteral("Image"));
        ASSERT_EQ(image != nullptr, kind != mtCustom);
        if (image) {
            EXPECT_EQ(image->pixmap().toImage(), box.style()->standardIcon(icon).pixmap(32, 32).toImage());
            EXPECT_EQ(image->size(), QSize(32, 32));
            EXPECT_LT(image->geometry().right(), box.findChild<QLabel*>(QStringLiteral("Message"))->x());
        }
    }
}

TEST_F(MessageBoxes, HugeTextIsCutInTheMiddleSoThatTheBoxPaintsAtOnce)
{
    const QString huge = QStringLiteral("Server ") + QString(10'000'000, QLatin1Char('x')) + QStringLiteral(" end");
    TMessageForm box(huge, mtError, Btn(mbOK), 0);
    const QString shown = box.findChild<QLabel*>(QStringLiteral("Message"))->text();
    EXPECT_LE(shown.size(), 1000);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Server xxx")));
    EXPECT_TRUE(shown.endsWith(QStringLiteral("xxx end")));
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_FALSE(box.grab().isNull());

    // Characters outside the basic plane are never cut in half, wherever the cut falls.
    for (const QString& head : {QString(), QStringLiteral("x")}) {
        const QString clef = QString::fromUtf8("\U0001D11E");
        QString wide = head;
        while (wide.size() < 3000)
            wide += clef;
        TMessageForm capped(wide, mtError, Btn(mbOK), 0);
        const QString text = capped.findChild<QLabel*>(QStringLiteral("Message"))->text();
        for (qsizetype i = 0; i < text.size(); ++i)
            ASSERT_EQ(text[i].isHighSurrogate(), i + 1 < text.size() && text[i + 1].isLowSurrogate()) << i;
    }
}

TEST_F(MessageBoxes, CarriageReturnsBreakLinesAsLineFeedsDo)
{
    TMessageForm box(QStringLiteral("one\rtwo\r\nthree\nfour"), mtCustom, Btn(mbOK), 0);
    auto* message = box.findChild<QLabel*>(QStringLiteral("Message"));
    EXPECT_EQ(message->text(), QStringLiteral("one\ntwo\nthree\nfour"));
    EXPECT_GE(message->height(), 4 * QFontMetrics(box.font()).height());
}

TEST_F(MessageBoxes, ShowMessageBoxIsCentredAndHasOnlyOk)
{
    TModalAnswer answer(QStringLiteral("OK"), [](QWidget* box) {
        EXPECT_EQ(box->findChildren<QPushButton*>().size(), 1);
        EXPECT_EQ(box->findChild<QLabel*>(QStringLiteral("Image")), nullptr);
        const QPoint centre = QApplication::primaryScreen()->availableGeometry().center();
        EXPECT_LE((box->frameGeometry().center() - centre).manhattanLength(), 4);
    });
    ShowMessageDialog(QStringLiteral("Cannot find file :x.xml"));
    EXPECT_TRUE(answer.Answered());
    EXPECT_EQ(answer.Title(), QStringLiteral("Selvane Dialog"));
    EXPECT_EQ(answer.Text(), QStringLiteral("Cannot find file :x.xml"));
}

TEST_F(MessageBoxes, EachButtonReturnsItsResultAndHelpKeepsTheBoxOpen)
{
    const std::pair<const char*, int> buttons[] = {
        {"Yes", mrYes}, {"No", mrNo},       {"YesToAll", mrYesToAll}, {"NoToAll", mrNoToAll}, {"All", mrAll},
        {"OK", mrOk},   {"Abort", mrAbort}, {"Retry", mrRetry},       {"Ignore", mrIgnore},   {"Cancel", mrCancel}};
    const TMsgDlgButtons all = (Btn(mbHelp) << 1) - 1;
    for (const auto& [name, result] : buttons) {
        SCOPED_TRACE(name);
        TModalAnswer answer(QString::fromUtf8(name));
        EXPECT_EQ(MessageDialog(QStringLiteral("Which?"), mtConfirmation, all), result);
        EXPECT_TRUE(answer.Answered());
    }

    TModalAnswer answer(QStringLiteral("No"), [](QWidget* box) {
        box->findChild<QPushButton*>(QStringLiteral("Help"))->click();
        EXPECT_TRUE(box->isVisible());
    });
    EXPECT_EQ(MessageDialog(QStringLiteral("Which?"), mtConfirmation, Btn(mbYes) | Btn(mbNo) | Btn(mbHelp), 7), mrNo);
}

TEST_F(MessageBoxes, EnterPressesTheDefaultButtonAndEscapeTheCancelButton)
{
    // Qt::Key_unknown stands for closing the box by its title bar.
    const struct {
        const char* name;
        TMsgDlgButtons buttons;
        std::vector<Qt::Key> keys;
        int result;
    } cases[] = {
        {"Yes/No/Cancel: Enter", Btn(mbYes) | Btn(mbNo) | Btn(mbCancel), {Qt::Key_Return}, mrYes},
        {"Yes/No/Cancel: Escape", Btn(mbYes) | Btn(mbNo) | Btn(mbCancel), {Qt::Key_Escape}, mrCancel},
        {"Yes/No/Cancel: close", Btn(mbYes) | Btn(mbNo) | Btn(mbCancel), {Qt::Key_unknown}, mrCancel},
        {"Yes/No: Escape", Btn(mbYes) | Btn(mbNo), {Qt::Key_Escape}, mrNo},
        {"Yes/No: Tab, Enter", Btn(mbYes) | Btn(mbNo), {Qt::Key_Tab, Qt::Key_Return}, mrNo},
        {"Yes/No: close", Btn(mbYes) | Btn(mbNo), {Qt::Key_unknown}, mrCancel},
        {"OK: Escape", Btn(mbOK), {Qt::Key_Escape}, mrOk},
        {"Yes/OK/Cancel: Enter", Btn(mbYes) | Btn(mbOK) | Btn(mbCancel), {Qt::Key_Enter}, mrOk},
        {"Abort/Retry/Ignore: Escape, Enter", Btn(mbAbort) | Btn(mbRetry) | Btn(mbIgnore),
         {Qt::Key_Escape, Qt::Key_Return}, mrRetry},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        TModalAnswer action(TDialogNamed{QStringLiteral("TMessageForm")}, [&test](QWidget* box) {
            for (Qt::Key key : test.keys) {
                ASSERT_TRUE(box->isVisible());
                if (key == Qt::Key_unknown)
                    box->close();
                else
                    Press(box, key);
            }
        });
        EXPECT_EQ(MessageDialog(QStringLiteral("Save?"), mtConfirmation, test.buttons), test.result);
        EXPECT_TRUE(action.Answered());
    }
}

TEST_F(MessageBoxes, ButtonsFormOneCentredRowOfEqualWidthBelowTheText)
{
    const QString longText = QString(QStringLiteral("a long line of words ")).repeated(40);
    const int halfScreen = QApplication::primaryScreen()->availableGeometry().width() / 2;
    for (const QString& text : {QStringLiteral("Go?"), longText}) {
        SCOPED_TRACE(text.size());
        TMessageForm box(text, mtConfirmation, Btn(mbHelp) | Btn(mbCancel) | Btn(mbOK) | Btn(mbNo) | Btn(mbYes), 0);
        const auto row = Row(box);
        ASSERT_EQ(row.size(), 5u);
        const char* order[] = {"Yes", "No", "OK", "Cancel", "Help"};
        for (size_t i = 0; i < row.size(); ++i) {
            EXPECT_EQ(row[i]->objectName(), QString::fromUtf8(order[i]));
            EXPECT_EQ(row[i]->size(), row[0]->size());
            EXPECT_EQ(row[i]->y(), row[0]->y());
            if (i > 0) {
                EXPECT_GT(row[i]->x(), row[i - 1]->geometry().right());
            }
        }
        EXPECT_LE(std::abs(row.front()->x() - (box.width() - 1 - row.back()->geometry().right())), 1);

        const auto* message = box.findChild<QLabel*>(QStringLiteral("Message"));
        EXPECT_GT(row[0]->y(), message->geometry().bottom());
        EXPECT_LE(message->width(), halfScreen + 1);
        EXPECT_LE(message->heightForWidth(message->width()), message->height()) << "text cut off";
    }
}

} // namespace
