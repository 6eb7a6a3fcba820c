#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>

#include <functional>
#include <optional>
#include <sstream>
#include <string>

#include "MainWindowFixture.h"
#include "ParamaterEditorForm.h"
#include "XMLAddGroup.h"

namespace {

constexpr std::string_view Parameters =
    "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n"
    "<A>\r\n"
    "  <B width=\"10\" height=\"5\"/>\r\n"
    "  <C/>\r\n"
    "  <D/>\r\n"
    "</A>\r\n";

class Editing : public MainWindow {
protected:
    void SetUp() override
    {
        Folder.Write("doc.xml", Parameters);
        Open({FileName});
        // Two names alike but for letter case, which a file cannot hand to the loader.
        Item({0})->Params().Add("Size=1");
        Item({0})->Params().Add("size=2");
    }
    TXMLItem* Item(std::initializer_list<int> path) const
    {
        TXMLItem* item = Window->XML.Root();
        for (int i : path)
            item = item->Items(i);
        return item;
    }
    std::string Entries(const TXMLItem* item) const { return item->Params().Text(); }
    QStringList Rows(int column = 0) const
    {
        QStringList texts;
        for (int row = 0; row < List()->model()->rowCount(); ++row)
            texts << List()->model()->index(row, column).data().toString();
        return texts;
    }
    // Selects node B and makes the list the active side with `row` selected. B is
    // clicked only when it is not selected, as a click on the selected node renames it.
    void SelectRow(int row)
    {
        Reactivate();
        if (Tree()->currentIndex() != Node({0}))
            ClickNode(Node({0}));
        ClickRow(row);
        List()->setFocus();
        EXPECT_TRUE(WaitFor([this] { return List()->hasFocus(); }));
    }
};

TEST_F(Editing, AddItemUnderANodeSelectsTheNewLastChild)
{
    FocusTree({0});
    TModalAnswer dialog(QStringLiteral("btnOk"), [](QWidget* form) {
        QTest::keyClicks(static_cast<TfrmEditItem*>(form)->edName, QStringLiteral("new one"));
    });
    Command("aAdd")->trigger();
    ASSERT_TRUE(dialog.Answered());
    ASSERT_EQ(Item({0})->Count(), 1);
    EXPECT_EQ(Item({0, 0})->Name(), "new_one");
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("new_one"));
    EXPECT_TRUE(Tree()->isExpanded(Node({0}))) << "the new node is shown, not hidden in a closed parent";
    EXPECT_EQ(Result(), QStringLiteral("A.B.new_one"));
    EXPECT_EQ(List()->model()->rowCount(), 0);
    EXPECT_TRUE(Command("asave")->isEnabled());
}

TEST_F(Editing, AddItemOnAnEmptyDocumentNamesTheRoot)
{
    Command("aNewFile")->trigger();
    ASSERT_EQ(Tree()->model()->rowCount(), 1);
    Tree()->selectionModel()->clear();
    TModalAnswer dialog(QStringLiteral("btnOk"), [](QWidget* form) { static_cast<TfrmEditItem*>(form)->edName->setText(QStringLiteral("Root")); });
    Command("aAdd")->trigger();
    EXPECT_EQ(Window->XML.Root()->Name(), "Root");
    EXPECT_EQ(Window->XML.Root()->Count(), 0);
    EXPECT_EQ(Tree()->model()->rowCount(), 1);
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("Root"));
}

TEST_F(Editing, AddItemInTheListAppendsTheEntryEvenWithAnEmptyValue)
{
    SelectRow(0);
    TModalAnswer dialog(QStringLiteral("btnOk"), [](QWidget* form) { static_cast<TfrmEditParam*>(form)->edName->setText(QStringLiteral("width")); });
    Command("aAdd")->trigger();
    EXPECT_EQ(Entries(Item({0})), "width=10\r\nheight=5\r\nSize=1\r\nsize=2\r\nwidth=\r\n");
    EXPECT_EQ(Rows().size(), 5);
}

TEST_F(Editing, DeleteWithTheFilterOnRemovesTheShownEntry)
{
    Window->findChild<QComboBox*>(QStringLiteral("cbfilter"))->setEditText(QStringLiteral("h*"));
    Command("aFilter")->trigger();
    SelectRow(0);
    ASSERT_EQ(Rows(), QStringList({"height"}));
    TModalAnswer yes(QStringLiteral("Yes"));
    Command("aDelete")->trigger();
    EXPECT_TRUE(yes.Answered());
    EXPECT_EQ(yes.Text(), QStringLiteral("Do you want delete this Item?"));
    EXPECT_EQ(Entries(Item({0})), "width=10\r\nSize=1\r\nsize=2\r\n");
    EXPECT_TRUE(Rows().isEmpty());
}

// The user's place after a delete: the next sibling, else the previous one, else the
// parent (the tree once went back to its first node).
TEST_F(Editing, DeleteOnTheTreeSelectsTheNextSiblingElseThePreviousElseTheParent)
{
    FocusTree({0});
    {
        TModalAnswer no(QStringLiteral("No"));
        Command("aDelete")->trigger();
        EXPECT_TRUE(no.Answered());
        EXPECT_EQ(Item({})->Count(), 3) << "No stops the command";
    }
    Item({1})->New()->SetName("C1");
    FocusTree({1});
    QTest::keyClick(Tree(), Qt::Key_Right);
    const struct {
        std::initializer_list<int> node;
        const char* selected;
        const char* path;
    } deletes[] = {
        {{0}, "C", "A.C"},
        {{1}, "C", "A.C"},
        {{0, 0}, "C", "A.C"},
        {{0}, "A", "A"},
    };
    for (const auto& step : deletes) {
        SCOPED_TRACE(testing::Message() << "deleting under " << Result().toStdString());
        FocusTree(step.node);
        TModalAnswer yes(QStringLiteral("Yes"));
        Command("aDelete")->trigger();
        ASSERT_TRUE(yes.Answered());
        EXPECT_EQ(CurrentNodeText(), QString::fromUtf8(step.selected));
        EXPECT_EQ(Result(), QString::fromUtf8(step.path));
        EXPECT_TRUE(Command("asave")->isEnabled());
    }
    EXPECT_EQ(Item({})->Count(), 0);
}

// Each node keeps its expansion across the rebuilds that edits cause; the user's
// closed branch stays closed.
TEST_F(Editing, EditsKeepEachNodesExpansion)
{
    Open({QString::fromStdString(Folder.Write("tree.xml", "<R><P><x/></P><Q><y/></Q><S><z/><w/></S></R>").string())});
    const auto expansion = [this] {
        QStringList open;
        for (const QModelIndex& node : {Node({}), Node({0}), Node({1}), Node({2})})
            if (Tree()->isExpanded(node))
                open << node.data().toString();
        return open.join(QLatin1Char(' '));
    };
    ASSERT_EQ(expansion(), QStringLiteral("R P Q S"));
    FocusTree({1});
    QTest::keyClick(Tree(), Qt::Key_Left);
    ASSERT_EQ(expansion(), QStringLiteral("R P S"));

    FocusTree({0});
    TModalAnswer add(QStringLiteral("btnOk"), [](QWidget* form) { QTest::keyClicks(static_cast<TfrmEditItem*>(form)->edName, QStringLiteral("v")); });
    Command("aAdd")->trigger();
    ASSERT_TRUE(add.Answered());
    EXPECT_EQ(expansion(), QStringLiteral("R P S")) << "after Add Item";

    FocusTree({2});
    QTest::keyClick(Tree(), Qt::Key_F2);
    auto* editor = Tree()->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("T"));
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([this] { return Node({2}).data().toString() == QStringLiteral("T"); }));
    EXPECT_EQ(expansion(), QStringLiteral("R P T")) << "after a rename in place";

    FocusTree({2});
    Command("aMoveUp")->trigger();
    EXPECT_EQ(Node({1}).data().toString(), QStringLiteral("T"));
    EXPECT_EQ(expansion(), QStringLiteral("R P T")) << "after Move Up";

    FocusTree({1, 0});
    TModalAnswer yes(QStringLiteral("Yes"));
    Command("aDelete")->trigger();
    ASSERT_TRUE(yes.Answered());
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("w"));
    EXPECT_EQ(expansion(), QStringLiteral("R P T")) << "after Delete Item";
}

TEST_F(Editing, DeleteOnTheRootDeletesNothing)
{
    FocusTree({});
    TModalAnswer yes(QStringLiteral("Yes"));
    TModalAnswer error(QStringLiteral("OK"));
    Command("aDelete")->trigger();
    EXPECT_TRUE(error.Answered());
    EXPECT_EQ(error.Title(), QStringLiteral("Error"));
    EXPECT_EQ(Item({})->Count(), 3);
    EXPECT_EQ(Item({})->Name(), "A");
    EXPECT_FALSE(Command("asave")->isEnabled());
}

TEST_F(Editing, EditEntryOnANodeWithItsOwnNameAsksNothing)
{
    FocusTree({0});
    TModalAnswer input = InputAnswer(std::nullopt);
    Command("aEditEntry")->trigger();
    EXPECT_TRUE(input.Answered());
    EXPECT_EQ(input.Title(), QStringLiteral("Change Group Name"));
    EXPECT_FALSE(Command("asave")->isEnabled()) << "no change, no question";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    FocusTree({0});
    TModalAnswer rename = InputAnswer(QStringLiteral("b"));
    TModalAnswer yes(QStringLiteral("Yes"));
    Command("aEditEntry")->trigger();
    EXPECT_TRUE(yes.Answered()) << "letter case counts";
    EXPECT_EQ(Item({0})->Name(), "b");
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("b"));
}

TEST_F(Editing, EditEntryOnEitherOfTwoRowsNamedAlikeChangesTheFirst)
{
    for (int row : {2, 3}) {
        SelectRow(row);
        TModalAnswer dialog(QStringLiteral("btnOk"), [row](QWidget* form) {
            auto* params = static_cast<TfrmEditParam*>(form);
            EXPECT_EQ(params->edValue->text(), row == 2 ? QStringLiteral("1") : QStringLiteral("2"));
            params->edValue->setText(QStringLiteral("9"));
        });
        TModalAnswer yes(QStringLiteral("Yes"));
        Command("aEditEntry")->trigger();
        EXPECT_TRUE(dialog.Answered());
    }
    EXPECT_EQ(Entries(Item({0})), "width=10\r\nheight=5\r\nsize=9\r\nsize=2\r\n");
}

TEST_F(Editing, DoubleClickAndEnterInTheListOpenTheirDialogs)
{
    SelectRow(0);
    TModalAnswer edit(TDialogNamed{QStringLiteral("TfrmEditParam")}, [](QWidget* form) { static_cast<QDialog*>(form)->reject(); });
    const QPoint at = List()->visualRect(List()->model()->index(0, 1)).center();
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(edit.Answered());

    SelectRow(0);
    TModalAnswer input = InputAnswer(QStringLiteral("11"));
    TModalAnswer yes(QStringLiteral("Yes"));
    QTest::keyClick(List(), Qt::Key_Return);
    EXPECT_TRUE(input.Answered());
    EXPECT_EQ(input.Title(), QStringLiteral("width"));
    EXPECT_EQ(Item({0})->Params().Values("width"), "11");
    EXPECT_EQ(Rows(1).front(), QStringLiteral("11"));
}

TEST_F(Editing, SetValueCancelledStillAsksAndMarksTheDocument)
{
    SelectRow(1);
    TModalAnswer cancel = InputAnswer(QStringLiteral("ignored"), "Cancel");
    TModalAnswer yes(QStringLiteral("Yes"));
    QTest::keyClick(List(), Qt::Key_Enter);
    EXPECT_TRUE(yes.Answered());
    EXPECT_EQ(yes.Text(), QStringLiteral("Do you want change this value?"));
    EXPECT_EQ(Item({0})->Params().Values("height"), "5");
    EXPECT_TRUE(Command("asave")->isEnabled());
}

TEST_F(Editing, SetValueToEmptyRemovesTheEntryAndKeepsTheRow)
{
    SelectRow(1);
    TModalAnswer input = InputAnswer(QString());
    TModalAnswer yes(QStringLiteral("Yes"));
    QTest::keyClick(List(), Qt::Key_Return);
    EXPECT_EQ(Entries(Item({0})), "width=10\r\nSize=1\r\nsize=2\r\n");
    EXPECT_EQ(Rows(), QStringList({"width", "height", "Size", "size"}));
    EXPECT_EQ(Rows(1)[1], QString());
}

TEST_F(Editing, MoveUpOnTheFirstChildMovesNothingYetMarksTheDocument)
{
    FocusTree({0});
    Command("aMoveUp")->trigger();
    EXPECT_EQ(Item({0})->Name(), "B");
    EXPECT_TRUE(Command("asave")->isEnabled());

    FocusTree({2});
    Command("aMoveUp")->trigger();
    EXPECT_EQ(Item({1})->Name(), "D");
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("D")) << "the moved item stays selected";
}

TEST_F(Editing, MoveUpOnTheRootCannotMove)
{
    FocusTree({});
    TModalAnswer error(QStringLiteral("OK"));
    Command("aMoveUp")->trigger();
    EXPECT_TRUE(error.Answered());
    EXPECT_EQ(error.Text(), QStringLiteral("You cannot move this entry"));
}

// After a selection in the tree with the focus on the "Viewer" page, Move Down works on
// the tree and Move Up on the list.
TEST_F(Editing, MoveCommandsDecideDifferentlyWhenTheFocusIsElsewhere)
{
    SelectRow(1);
    ClickNode(Node({0}));
    auto* pages = Window->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    pages->setCurrentIndex(1);
    pages->tabBar()->setFocus();
    ASSERT_FALSE(Tree()->hasFocus());
    Command("aMoveDown")->trigger();
    EXPECT_EQ(Item({1})->Name(), "B");
    pages->setCurrentIndex(0);
    ClickRow(1);
    ClickNode(Node({1}));
    pages->tabBar()->setFocus();
    Command("aMoveUp")->trigger();
    EXPECT_EQ(Item({1})->Name(), "B") << "the tree stays";
}

TEST_F(Editing, MoveRowsUpAndDown)
{
    SelectRow(1);
    Command("aMoveUp")->trigger();
    EXPECT_EQ(Entries(Item({0})), "height=5\r\nwidth=10\r\nSize=1\r\nsize=2\r\n");
    EXPECT_EQ(Rows(), QStringList({"height", "width", "Size", "size"}));
    SelectRow(3);
    Command("aMoveDown")->trigger();
    EXPECT_EQ(Entries(Item({0})), "height=5\r\nwidth=10\r\nsize=2\r\nSize=1\r\n") << "the first entry named size moves";
}

TEST_F(Editing, MoveDownOnARowWhoseEntryIsGoneCannotMove)
{
    SelectRow(0);
    TModalAnswer input = InputAnswer(QString());
    TModalAnswer yes(QStringLiteral("Yes"));
    QTest::keyClick(List(), Qt::Key_Return);
    ASSERT_EQ(Rows().front(), QStringLiteral("width"));
    TModalAnswer error(QStringLiteral("OK"));
    Command("aMoveDown")->trigger();
    EXPECT_TRUE(error.Answered());
    EXPECT_EQ(error.Text(), QStringLiteral("You cannot move this entry"));
    EXPECT_EQ(Entries(Item({0})), "height=5\r\nSize=1\r\nsize=2\r\n");
}

TEST_F(Editing, RenamingARowInPlaceTurnsBlanksIntoUnderscoresAndKeepsTheValue)
{
    SelectRow(1);
    QTest::keyClick(List(), Qt::Key_F2);
    auto* editor = List()->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("new name"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(WaitFor([this] { return Entries(Item({0})) == "width=10\r\nnew_name=5\r\nSize=1\r\nsize=2\r\n"; }));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the Enter that ends the edit opens nothing";
    EXPECT_EQ(Rows()[1], QStringLiteral("new_name"));
    EXPECT_EQ(Rows(1)[1], QStringLiteral("5"));
    EXPECT_TRUE(Command("asave")->isEnabled());
}

// Every way of naming refuses a name the writer could not write so that it reads back as
// itself, naming the character, and leaves the document as it was (a rename in place once
// took any text, the empty one included). A rename to the same name changes nothing.
TEST_F(Editing, NamesThatCannotBeWrittenAreRefusedEveryWay)
{
    // The ways that refuse each name. An empty name leaves OK off in the entry dialogs and
    // ends Edit Entry on a node; a row renamed in place takes "_" for a blank; only an
    // item's name may not begin with "!".
    enum TWay { NodeF2 = 1, AddItem = 2, NodeEntry = 4, AddParam = 8, RowEntry = 16, RowF2 = 32, All = 63 };
    const struct {
        QString name;
        QString reason;
        int ways;
    } names[] = {
        {QString(), QStringLiteral("it is empty"), NodeF2 | RowF2},
        {QStringLiteral("Belt Unit"), QStringLiteral("it holds a blank"), All & ~RowF2},
        {QStringLiteral("a\tb"), QStringLiteral("it holds a tab"), All},
        {QStringLiteral("a<b"), QStringLiteral("it holds \"<\""), All},
        {QStringLiteral("a/b"), QStringLiteral("it holds \"/\""), All},
        {QStringLiteral("a=b"), QStringLiteral("it holds \"=\""), All},
        {QStringLiteral("a\"b"), QStringLiteral("it holds \"\"\""), All},
        {QStringLiteral("!x"), QStringLiteral("it begins with \"!\""), NodeF2 | AddItem | NodeEntry},
    };
    const auto saved = [this] {
        std::ostringstream text;
        Window->XML.SaveToStream(text, false);
        return text.str();
    };
    const auto renameInPlace = [](QAbstractItemView* view, const QString& text) {
        QTest::keyClick(view, Qt::Key_F2);
        auto* editor = view->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
    };
    const std::string before = saved();
    for (const auto& entry : names) {
        // Named apart: clang 14 lets no lambda capture a structured binding.
        const QString& name = entry.name;
        const int ways = entry.ways;
        SCOPED_TRACE(name.toStdString());
        const QString message = QStringLiteral("The name \"%1\" cannot be written to the document: %2.").arg(name, entry.reason);
        const auto refused = [&](TWay way, const std::function<void()>& act) {
            if (!(ways & way))
                return;
            SCOPED_TRACE(way);
            // The message box by its name: the input box has an OK button too.
            TModalAnswer refusal(TDialogNamed{QStringLiteral("TMessageForm")}, [](QWidget* box) { box->findChild<QAbstractButton*>(QStringLiteral("OK"))->click(); });
            act();
            ASSERT_TRUE(WaitFor([&] { return refusal.Answered(); }));
            EXPECT_EQ(refusal.Text(), message);
        };
        const auto fillName = [&](QWidget* form) {
            if (auto* item = qobject_cast<TfrmEditItem*>(form))
                item->edName->setText(name);
            else
                static_cast<TfrmEditParam*>(form)->edName->setText(name);
        };
        FocusTree({1});
        refused(NodeF2, [&] { renameInPlace(Tree(), name); });
        refused(AddItem, [&] {
            TModalAnswer dialog(QStringLiteral("btnOk"), fillName);
            Command("aAdd")->trigger();
        });
        FocusTree({2});
        refused(NodeEntry, [&] {
            TModalAnswer input = InputAnswer(name);
            Command("aEditEntry")->trigger();
        });
        SelectRow(0);
        refused(AddParam, [&] {
            TModalAnswer dialog(QStringLiteral("btnOk"), fillName);
            Command("aAdd")->trigger();
        });
        refused(RowEntry, [&] {
            TModalAnswer dialog(QStringLiteral("btnOk"), fillName);
            Command("aEditEntry")->trigger();
        });
        List()->setFocus();
        refused(RowF2, [&] { renameInPlace(List(), name); });
        EXPECT_EQ(saved(), before);
        EXPECT_FALSE(Command("asave")->isEnabled());
    }
    // Renaming a node to its own name marks nothing changed.
    FocusTree({1});
    QTest::keyClick(Tree(), Qt::Key_F2);
    auto* editor = Tree()->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::qWait(20);
    EXPECT_FALSE(Command("asave")->isEnabled());
    // So does the editor a second click on the selected node opens, ended by a click
    // on another node.
    ASSERT_TRUE(WaitFor([this] { return !Tree()->viewport()->findChild<QLineEdit*>(); }));
    ClickNode(Node({1}));
    ASSERT_TRUE(WaitFor([this] { return Tree()->viewport()->findChild<QLineEdit*>() != nullptr; }));
    ClickNode(Node({2}));
    EXPECT_TRUE(WaitFor([this] { return !Tree()->viewport()->findChild<QLineEdit*>(); }));
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("D"));
    EXPECT_FALSE(Command("asave")->isEnabled());
    EXPECT_EQ(saved(), before);
}

TEST_F(Editing, PlayModeMakesTheViewsReadOnly)
{
    Command("aPlay")->trigger();
    FocusTree({1});
    QTest::keyClick(Tree(), Qt::Key_F2);
    EXPECT_EQ(Tree()->viewport()->findChild<QLineEdit*>(), nullptr);
    for (const char* name : {"aAdd", "aDelete", "aEditEntry", "aMoveUp", "aMoveDown", "aPlay", "aRefresh", "aFilter"})
        EXPECT_FALSE(Command(name)->isEnabled()) << name;
    EXPECT_TRUE(Command("aStop")->isEnabled());
    EXPECT_TRUE(Command("aAddFilter")->isEnabled());
    SelectRow(0);
    EXPECT_TRUE(Command("aSetValue")->isEnabled()) << "the list has the focus";
    Command("aStop")->trigger();
    EXPECT_FALSE(Command("aSetValue")->isEnabled());
    FocusTree({1});
    EXPECT_TRUE(Command("aEditEntry")->isEnabled());
}

} // namespace
