#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "GuiTest.h"
#include "ParamaterEditorForm.h"
#include "XMLAddGroup.h"

namespace {

class EntryDialogs : public ::testing::Test, public TGuiFixtureBase {
protected:
    // Shows `dialog` without a modal loop and waits until it takes the keys.
    void ShowActive(QDialog& dialog)
    {
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }
    static void Paste(QLineEdit* edit, const QString& text)
    {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    }
};

TEST_F(EntryDialogs, TypedNameDropsMarkupCharactersAndTurnsBlanksIntoUnderscores)
{
    TfrmEditItem items;
    QTest::keyClicks(items.edName, QStringLiteral("a b<c>&;=\"d"));
    EXPECT_EQ(items.edName->text(), QStringLiteral("a_bc=\"d"));

    TfrmEditParam params;
    QTest::keyClicks(params.edName, QStringLiteral("x y"));
    QTest::keyClicks(params.edValue, QStringLiteral("<a b>"));
    EXPECT_EQ(params.edName->text(), QStringLiteral("x_y"));
    EXPECT_EQ(params.edValue->text(), QStringLiteral("<a b>")) << "the value has no rules";
}

TEST_F(EntryDialogs, PastedNameIsTakenAsItIsAndOkNeedsMoreThanBlanks)
{
    TfrmEditItem dialog;
    EXPECT_FALSE(dialog.btnOk->isEnabled());
    Paste(dialog.edName, QStringLiteral("   "));
    EXPECT_EQ(dialog.edName->text(), QStringLiteral("   "));
    EXPECT_FALSE(dialog.btnOk->isEnabled());
    Paste(dialog.edName, QStringLiteral("a<b"));
    EXPECT_EQ(dialog.edName->text(), QStringLiteral("   a<b"));
    EXPECT_TRUE(dialog.btnOk->isEnabled());
    dialog.edName->setText(QStringLiteral("\t\x01 "));
    EXPECT_FALSE(dialog.btnOk->isEnabled()) << "control characters count as blanks";
}

TEST_F(EntryDialogs, ItemDialogSwallowsEnterInTheNameAndPressesOkFromElsewhere)
{
    TfrmEditItem dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Edit Item"));
    EXPECT_EQ(dialog.size(), QSize(227, 120));
    ShowActive(dialog);
    dialog.edName->setFocus();
    QTest::keyClick(dialog.edName, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible()) << "Enter without a name";
    QTest::keyClicks(dialog.edName, QStringLiteral("A"));
    QTest::keyClick(dialog.edName, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible()) << "Enter in the name field does nothing";
    EXPECT_EQ(dialog.edName->text(), QStringLiteral("A"));
    QTest::keyClick(dialog.edName, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dialog.btnCancel) << "Cancel comes after the name";
    QTest::keyClick(dialog.btnCancel, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted) << "Enter on Cancel still presses OK";
}

TEST_F(EntryDialogs, ItemDialogEnterWithOkDisabledGoesBackToTheName)
{
    TfrmEditItem dialog;
    ShowActive(dialog);
    dialog.cbsubitem->setFocus();
    QTest::keyClick(dialog.cbsubitem, Qt::Key_Enter);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), dialog.edName);
    EXPECT_FALSE(dialog.cbsubitem->isChecked()) << "Enter never reaches a control";
}

// The Return key and the keypad's Enter alike.
TEST_F(EntryDialogs, ParamDialogEnterMovesFromNameToValueThenPressesOk)
{
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_Return, Qt::NoModifier}, std::pair{Qt::Key_Enter, Qt::KeypadModifier}}) {
        SCOPED_TRACE(key);
        TfrmEditParam dialog;
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Edit Paramater"));
        EXPECT_EQ(dialog.size(), QSize(279, 163));
        ShowActive(dialog);
        dialog.edName->setFocus();
        QTest::keyClicks(dialog.edName, QStringLiteral("width"));
        QTest::keyClick(dialog.edName, key, modifiers);
        EXPECT_TRUE(dialog.isVisible());
        ASSERT_EQ(QApplication::focusWidget(), dialog.edValue);
        QTest::keyClick(dialog.edValue, key, modifiers);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
}

TEST_F(EntryDialogs, ExecuteReturnsTheTextsOnOkAndLeavesThemOnEscape)
{
    QString name = QStringLiteral("width");
    QString value = QStringLiteral("10");
    TModalAnswer escape(TDialogNamed{QStringLiteral("TfrmEditParam")}, [](QWidget* dialog) {
        auto* form = static_cast<TfrmEditParam*>(dialog);
        EXPECT_TRUE(form->btnOk->isEnabled()) << "an existing name enables OK at once";
        QTest::keyClicks(form->edValue, QStringLiteral("99"));
        QTest::keyClick(form->edValue, Qt::Key_Escape);
    });
    EXPECT_FALSE(ExecuteParamDialog(name, value));
    EXPECT_TRUE(escape.Answered());
    EXPECT_EQ(name, QStringLiteral("width"));
    EXPECT_EQ(value, QStringLiteral("10"));

    TModalAnswer ok(QStringLiteral("btnOk"), [](QWidget* dialog) {
        auto* form = static_cast<TfrmEditParam*>(dialog);
        form->edName->setText(QStringLiteral(" height"));
        form->edValue->clear();
    });
    EXPECT_TRUE(ExecuteParamDialog(name, value));
    EXPECT_EQ(name, QStringLiteral(" height")) << "not trimmed";
    EXPECT_EQ(value, QString());

    QString item = QStringLiteral("  B");
    bool checked = false;
    TModalAnswer itemOk(QStringLiteral("btnOk"), [](QWidget* dialog) {
        auto* form = static_cast<TfrmEditItem*>(dialog);
        EXPECT_EQ(form->edName->text(), QStringLiteral("  B"));
        form->cbsubitem->setChecked(true);
    });
    EXPECT_TRUE(ExecuteItemDialog(item, checked));
    EXPECT_EQ(item, QStringLiteral("  B"));
    EXPECT_TRUE(checked);
}

} // namespace
