#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QElapsedTimer>
#include <QDir>
#include <QTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QScrollBar>
#include <QLabel>
#include <QComboBox>
#include <QCursor>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <tuple>

#include "MainWindowFixture.h"
#include "XMLAddGroup.h"

namespace {

// Types `file` into the name field of the file dialog `dialog` and confirms it.
TModalAnswer TypedFileName(const char* dialog, const QString& file)
{
    return TModalAnswer(TDialogNamed{QString::fromUtf8(dialog)}, [file](QWidget* shown) {
        auto* name = shown->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(file);
        QTest::keyClick(name, Qt::Key_Return);
    });
}

// A load and a refresh open every node that has children, however many there are, the
// nodes below the tree's depth limit included; the tree is expanded before it lays its
// rows out.
TEST_F(MainWindow, EveryParentIsExpandedAfterALoadAndARefresh)
{
    std::string text = "<R>";
    for (int group = 0; group < 300; ++group)
        text += "<G><H><I/></H><J/></G>";
    for (int level = 0; level < 120; ++level)
        text += "<D>";
    text += "<E/>";
    for (int level = 0; level < 120; ++level)
        text += "</D>";
    text += "</R>";
    Open({QString::fromStdString(Folder.Write("parents.xml", text).string())});
    const auto closed = [this] {
        int parents = 0;
        QStringList closed;
        std::vector<QModelIndex> pending{Node({})};
        while (!pending.empty()) {
            const QModelIndex node = pending.back();
            pending.pop_back();
            const int rows = Tree()->model()->rowCount(node);
            if (rows == 0)
                continue;
            ++parents;
            if (!Tree()->isExpanded(node))
                closed << node.data().toString();
            for (int row = 0; row < rows; ++row)
                pending.push_back(Tree()->model()->index(row, 0, node));
        }
        EXPECT_EQ(parents, 1 + 300 * 2 + 100);
        return closed;
    };
    EXPECT_EQ(closed(), QStringList());
    Tree()->collapse(Node({0}));
    Command("aRefresh")->trigger();
    EXPECT_EQ(closed(), QStringList());
}

// A level of tens of thousands of nodes, whose nodes a second thread helps to add, shows
// the document as it is, every parent open, after a load and after a refresh that renamed
// an item late in that level; its longest name, late too, sets the column's width.
TEST_F(MainWindow, ALevelOfManyNodesShowsTheDocument)
{
    const auto write = [this](const std::string& renamed) {
        std::string text = "<R>";
        for (int group = 0; group < 300; ++group) {
            text += "<G" + std::to_string(group) + ">";
            for (int item = 0; item < 250; ++item) {
                std::string name = "I" + std::to_string(item % 13);
                if (group == 280 && item == 200)
                    name = renamed;
                text += item % 7 == 3 ? "<" + name + "><K/><L" + std::to_string(item) + "/></" + name + ">" : "<" + name + "/>";
            }
            text += "</G" + std::to_string(group) + ">";
        }
        return QString::fromStdString(Folder.Write("level.xml", text + "</R>").string());
    };
    const auto matches = [this] {
        int nodes = 0;
        std::vector<std::pair<QModelIndex, const TXMLItem*>> pending{{Node({}), Window->XML.Root()}};
        while (!pending.empty()) {
            const auto [node, item] = pending.back();
            pending.pop_back();
            ++nodes;
            if (node.data().toString() != QString::fromStdString(item->Name()) || Tree()->model()->rowCount(node) != item->Count())
                return testing::AssertionFailure() << "node " << nodes << " shows " << node.data().toString().toStdString() << " for " << item->Name();
            if (item->Count() > 0 && !Tree()->isExpanded(node))
                return testing::AssertionFailure() << item->Name() << " is closed";
            for (int row = 0; row < item->Count(); ++row) {
                const QModelIndex child = Tree()->model()->index(row, 0, node);
                if (child.parent() != node)
                    return testing::AssertionFailure() << "a child of " << item->Name() << " names another parent";
                pending.emplace_back(child, item->Items(row));
            }
        }
        if (nodes != 1 + 300 + 300 * 250 + 300 * 36 * 2)
            return testing::AssertionFailure() << nodes << " nodes";
        return testing::AssertionSuccess();
    };
    const auto fits = [this](const QString& name) {
        const QModelIndex node = Node({280, 200});
        EXPECT_EQ(node.data().toString(), name);
        return Tree()->header()->minimumSectionSize() >= Tree()->visualRect(node).left() + Tree()->horizontalScrollBar()->value() +
                                                              Tree()->fontMetrics().horizontalAdvance(name);
    };
    Open({write("Wider")});
    EXPECT_TRUE(matches());
    EXPECT_TRUE(fits(QStringLiteral("Wider")));
    write(std::string(60, 'W'));
    Command("aRefresh")->trigger();
    EXPECT_TRUE(matches());
    EXPECT_TRUE(fits(QString::fromStdString(std::string(60, 'W'))));
}

// The tree's column is as wide as its widest node, deep ones included, after a load and
// after a refresh that found longer names.
TEST_F(MainWindow, TheTreeColumnFitsTheWidestNode)
{
    const auto write = [this](const std::string& deepName) {
        return Folder.Write("wide.xml", "<R><A><B><C><S/><" + deepName + "/></C></B></A><Short/></R>");
    };
    const QString file = QString::fromStdString(write("Deeper").string());
    Open({file});
    const auto fits = [this](const QString& name) {
        const QModelIndex node = Node({0, 0, 0, 1});
        EXPECT_EQ(node.data().toString(), name);
        const int right = Tree()->visualRect(node).left() + Tree()->horizontalScrollBar()->value() +
                          Tree()->fontMetrics().horizontalAdvance(name);
        return Tree()->header()->minimumSectionSize() >= right;
    };
    EXPECT_TRUE(fits("Deeper"));
    const std::string longName(80, 'W');
    write(longName);
    Command("aRefresh")->trigger();
    EXPECT_TRUE(fits(QString::fromStdString(longName)));
}

TEST_F(MainWindow, CommandLineFileIsLoadedAndStoredItemDropped)
{
    TProgramSetup setup("Software\\Velmarco\\XML");
    setup.WriteString("Item", "A.B.width");
    setup.WriteString("Server", "/elsewhere.xml");
    Open({FileName, QStringLiteral("ignored")});
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("XML Dialog : ") + FileName);
    EXPECT_EQ(Node({}).data().toString(), QStringLiteral("A"));
    EXPECT_TRUE(Tree()->isExpanded(Node({})));
    EXPECT_EQ(Tree()->model()->rowCount(Node({})), 2);
    EXPECT_TRUE(Command("aDelete")->isEnabled()) << "the commands follow the selected first node";
    EXPECT_EQ(Result(), QString());
    CloseAndDestroy();
    EXPECT_EQ(Stored("Item"), "");
    EXPECT_EQ(Stored("Server"), File);
}

TEST_F(MainWindow, StoredItemIsSelectedAgain)
{
    TProgramSetup setup("Software\\Velmarco\\XML");
    setup.WriteString("Server", File);
    setup.WriteString("Item", "A.B.width");
    Open();
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("B"));
    EXPECT_EQ(CurrentRowName(), QStringLiteral("width"));
    EXPECT_EQ(List()->model()->rowCount(), 2);
    EXPECT_EQ(Result(), QStringLiteral("A.B.width"));
    EXPECT_EQ(Panel(), QStringLiteral("A.B.width"));
    // The stored result is used once: closing without OK writes it empty.
    CloseAndDestroy();
    EXPECT_EQ(Stored("Item"), "");
}

TEST_F(MainWindow, StoredItemMissingFromTheFileSelectsTheFirstNode)
{
    TProgramSetup setup("Software\\Velmarco\\XML");
    setup.WriteString("Server", File);
    setup.WriteString("Item", "A.X.width");
    Open();
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("A"));
    EXPECT_EQ(List()->model()->rowCount(), 0);
    EXPECT_EQ(Result(), QStringLiteral("A.X.width"));
}

TEST_F(MainWindow, ResultFollowsTheSelectionWithFullItemNames)
{
    Open({FileName});
    ClickNode(Node({0}));
    EXPECT_EQ(Result(), QStringLiteral("A.B"));
    EXPECT_EQ(List()->model()->rowCount(), 2);
    ClickRow(0);
    EXPECT_EQ(Result(), QStringLiteral("A.B.width"));
    EXPECT_EQ(Panel(), QStringLiteral("A.B.width"));
    ClickNode(Node({1}));
    EXPECT_EQ(Result(), QStringLiteral("A.C"));
    EXPECT_EQ(List()->model()->rowCount(), 0);
}

// Nodes stop at a depth of a hundred: the items below a node there stand as its children
// in document order, so that a document of any depth shows at once, and each is picked
// by its own full path.
TEST_F(MainWindow, ItemsBelowAHundredLevelsStandAsChildrenOfTheirAncestorThere)
{
    std::string text = "<A>\n";
    std::string path = "A";
    std::string sidePath;
    for (int level = 1; level <= 130; ++level) {
        text += "<L" + std::to_string(level) + (level == 130 ? " v=\"1\"/>\n" : ">\n");
        path += ".L" + std::to_string(level);
        if (level == 110)
            sidePath = path + ".side";
    }
    for (int level = 129; level >= 1; --level) {
        text += "</L" + std::to_string(level) + ">\n";
        if (level == 111)
            text += "<side/>\n";
    }
    text += "</A>\n";
    TProgramSetup setup("Software\\Velmarco\\XML");
    setup.WriteString("Server", Folder.Write("deep.xml", text).string());
    setup.WriteString("Item", path + ".v");
    Open();

    // The stored pick, the deepest item, is selected again and shown.
    const QModelIndex deepest = Tree()->currentIndex();
    EXPECT_EQ(deepest.data().toString(), QStringLiteral("L130"));
    EXPECT_TRUE(Tree()->viewport()->rect().contains(Tree()->visualRect(deepest).topLeft()));
    const QModelIndex cut = deepest.parent();
    EXPECT_EQ(cut.data().toString(), QStringLiteral("L100"));
    EXPECT_TRUE(Tree()->isExpanded(cut));
    QStringList below;
    for (int row = 0; row < Tree()->model()->rowCount(cut); ++row) {
        below << Tree()->model()->index(row, 0, cut).data().toString();
        EXPECT_EQ(Tree()->model()->rowCount(Tree()->model()->index(row, 0, cut)), 0);
    }
    QStringList expected;
    for (int level = 101; level <= 130; ++level)
        expected << QStringLiteral("L%1").arg(level);
    expected << QStringLiteral("side");
    EXPECT_EQ(below, expected);

    Window->SelectNode(Tree()->model()->index(30, 0, cut));
    ClickNode(Tree()->currentIndex());
    EXPECT_EQ(Result().toStdString(), sidePath);

    // Read again with one of those items renamed, the same nodes show the new name; with
    // one item more below the cut, the nodes there are made anew. A first refresh of the
    // file as it is makes the nodes that the next ones refit.
    Command("aRefresh")->trigger();
    const auto refresh = [&](const std::string& from, const std::string& to) {
        std::string changed = text;
        for (size_t at = changed.find(from); at != std::string::npos; at = changed.find(from, at + to.size()))
            changed.replace(at, from.size(), to);
        Folder.Write("deep.xml", changed);
        Command("aRefresh")->trigger();
        QModelIndex node = Node({});
        for (int level = 1; level <= 100; ++level)
            node = Tree()->model()->index(0, 0, node);
        EXPECT_EQ(node.data().toString(), QStringLiteral("L100"));
        QStringList names;
        for (int row = 0; row < Tree()->model()->rowCount(node); ++row)
            names << Tree()->model()->index(row, 0, node).data().toString();
        return names;
    };
    QStringList renamed = expected;
    renamed[19] = QStringLiteral("M120");
    EXPECT_EQ(refresh("L120>", "M120>").join(' '), renamed.join(' '));
    QStringList more = expected;
    more.insert(31, QStringLiteral("extra"));
    EXPECT_EQ(refresh("<side/>", "<side/><extra/>").join(' '), more.join(' '));
}

// A document of more nodes than the tree keeps in one block of its memory: the stored pick
// far down is found, shown and picked again by its own path.
TEST_F(MainWindow, AnItemFarDownABigDocumentIsSelectedAndPickedByItsPath)
{
    std::string text = "<A>\n";
    for (int group = 0; group < 300; ++group) {
        text += "<G" + std::to_string(group) + ">";
        for (int item = 0; item < 250; ++item)
            text += "<I" + std::to_string(item) + " v=\"" + std::to_string(group) + "\"/>";
        text += "</G" + std::to_string(group) + ">\n";
    }
    text += "</A>\n";
    TProgramSetup setup("Software\\Velmarco\\XML");
    setup.WriteString("Server", Folder.Write("big.xml", text).string());
    setup.WriteString("Item", "A.G299.I249.v");
    Open();

    const QModelIndex last = Tree()->currentIndex();
    EXPECT_EQ(last.data().toString(), QStringLiteral("I249"));
    EXPECT_EQ(last.row(), 249);
    EXPECT_EQ(last.parent().data().toString(), QStringLiteral("G299"));
    EXPECT_EQ(last.parent().row(), 299);
    EXPECT_TRUE(Tree()->viewport()->rect().contains(Tree()->visualRect(last).center()));
    EXPECT_EQ(Result(), QStringLiteral("A.G299.I249.v"));

    Tree()->scrollTo(Node({298, 3}));
    ClickNode(Node({298, 3}));
    EXPECT_EQ(Result(), QStringLiteral("A.G298.I3"));
}

// Only the user's own pick changes the row: the focus arriving by the keyboard picks none,
// and a click below the rows makes the list the active side without one.
TEST_F(MainWindow, ListFocusAndClicksOutsideTheRowsPickNothing)
{
    Open({FileName});
    Reactivate();
    ClickNode(Node({0}));
    Tree()->setFocus();
    ASSERT_EQ(Result(), QStringLiteral("A.B"));
    ASSERT_TRUE(Command("aDelete")->isEnabled());
    List()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(WaitFor([this] { return List()->hasFocus(); }));
    EXPECT_FALSE(List()->currentIndex().isValid());
    EXPECT_EQ(Result(), QStringLiteral("A.B"));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, QPoint(5, List()->viewport()->height() - 5));
    EXPECT_FALSE(Command("aDelete")->isEnabled());
    EXPECT_EQ(Result(), QStringLiteral("A.B"));
}

// A typed name of a missing file is taken, and the load says what became of it.
TEST_F(MainWindow, LoadTakesATypedNameOfAMissingFile)
{
    Open({FileName});
    const QString missing = QString::fromStdString((Folder.Path() / "typed.xml").string());
    TModalAnswer open = TypedFileName("OpenDialog1", missing);
    TModalAnswer error(QStringLiteral("OK"));
    Command("aLoad")->trigger();
    ASSERT_TRUE(open.Answered());
    EXPECT_TRUE(WaitFor([&] { return error.Answered(); }));
    EXPECT_EQ(error.Text(), QStringLiteral("Cannot find file :") + missing + QStringLiteral("\nNo such file or directory"));
}

TEST_F(MainWindow, StyleSheetTakesATypedNameOfAMissingFile)
{
    // A file without a style-sheet line of its own, which would replace the one chosen.
    Open({QString::fromStdString(Folder.Write("plain.xml", "<A>\r\n  <B/>\r\n</A>\r\n").string())});
    const QString missing = QString::fromStdString((Folder.Path() / "typed.xsl").string());
    TModalAnswer open = TypedFileName("OpenDialog2", missing);
    Command("aStyleSheet")->trigger();
    ASSERT_TRUE(open.Answered());
    EXPECT_EQ(Window->XML.StyleSheet(), missing.toStdString());
}

TEST_F(MainWindow, ResultWithoutFullItemNamesIsThePathOrTheParameter)
{
    TProgramSetup("Software\\Velmarco\\XML").WriteBool("USEFULLITEM", false);
    Open({FileName});
    ClickNode(Node({0}));
    EXPECT_EQ(Result(), QStringLiteral("A.B"));
    ClickRow(1);
    EXPECT_EQ(Result(), QStringLiteral("height"));
    CloseAndDestroy();
    bool full = true;
    TProgramSetup("Software\\Velmarco\\XML").ReadBool("USEFULLITEM", full);
    EXPECT_FALSE(full);
}

TEST_F(MainWindow, OkStoresTheResultAndCancelOrCloseStoresNothing)
{
    Open({FileName});
    ClickNode(Node({0}));
    ClickRow(0);
    Command("aOK")->trigger();
    EXPECT_FALSE(Window->isVisible());
    EXPECT_TRUE(Window->Accepted());
    Window.reset();
    EXPECT_EQ(Stored("Item"), "A.B.width");
    EXPECT_EQ(Stored("Server"), File);

    Open({FileName});
    ClickNode(Node({0}));
    Command("aCancel")->trigger();
    EXPECT_EQ(Result(), QString());
    Window.reset();
    EXPECT_EQ(Stored("Item"), "");

    Open({FileName});
    ClickNode(Node({0}));
    CloseAndDestroy();
    EXPECT_EQ(Stored("Item"), "");
}

TEST_F(MainWindow, SaveQuestionCancelKeepsTheWindowOpen)
{
    Open({FileName});
    Window->XML.Root()->Items(0)->SetName("Z");
    TModalAnswer answer(QStringLiteral("Cancel"));
    Window->close();
    EXPECT_TRUE(answer.Answered());
    EXPECT_EQ(answer.Title(), QStringLiteral("Confirm"));
    EXPECT_EQ(answer.Text(), QStringLiteral("The code was modified. Do you want to save the changes?"));
    EXPECT_TRUE(Window->isVisible());
    EXPECT_EQ(TTempFolder::Read(File), Document);
}

TEST_F(MainWindow, SaveQuestionNoClosesWithoutSaving)
{
    Open({FileName});
    Window->XML.Root()->Items(0)->SetName("Z");
    TModalAnswer answer(QStringLiteral("No"));
    Window->close();
    EXPECT_FALSE(Window->isVisible());
    EXPECT_EQ(TTempFolder::Read(File), Document);
}

TEST_F(MainWindow, SaveQuestionYesSavesAndCloses)
{
    Open({FileName});
    Window->XML.Root()->Items(0)->SetName("Z");
    EXPECT_TRUE(Command("asave")->isEnabled());
    TModalAnswer answer(QStringLiteral("Yes"));
    Window->close();
    EXPECT_FALSE(Window->isVisible());
    EXPECT_NE(TTempFolder::Read(File).find("<Z width=\"10\" height=\"5\"/>"), std::string::npos);
}

TEST_F(MainWindow, SaveQuestionYesWithCancelledSaveAsKeepsTheChanges)
{
    Open({FileName});
    Command("aNewFile")->trigger();
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("XML Dialog : "));
    EXPECT_EQ(Tree()->model()->rowCount(), 1);
    EXPECT_EQ(Node({}).data().toString(), QString());
    Window->XML.Root()->SetName("fresh");
    TModalAnswer yes(QStringLiteral("Yes"));
    TModalAnswer cancelSaveAs(TDialogNamed{QStringLiteral("SaveDialog1")}, [](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    Window->close();
    EXPECT_TRUE(yes.Answered());
    EXPECT_TRUE(cancelSaveAs.Answered());
    EXPECT_TRUE(Window->isVisible());
    EXPECT_TRUE(Command("asave")->isEnabled());
}

// The write fails because the file's folder went away: the error box reports it and
// nothing is lost, the window stays open with the document still modified.
TEST_F(MainWindow, SaveQuestionYesWithFailedWriteReportsTheErrorAndKeepsTheChanges)
{
    const std::filesystem::path inner = Folder.Path() / "inner";
    std::filesystem::create_directory(inner);
    const QString name = QString::fromStdString(Folder.Write("inner/doc.xml", Document).string());
    Open({name});
    Window->XML.Root()->Items(0)->SetName("Z");
    std::filesystem::remove_all(inner);
    TModalAnswer yes(QStringLiteral("Yes"));
    TModalAnswer error(QStringLiteral("OK"));
    Window->close();
    EXPECT_TRUE(yes.Answered());
    ASSERT_TRUE(error.Answered());
    EXPECT_EQ(error.Title(), QStringLiteral("Error"));
    EXPECT_TRUE(error.Text().startsWith(QStringLiteral("Cannot create file \"") + name)) << error.Text().toStdString();
    EXPECT_TRUE(Window->isVisible());
    EXPECT_TRUE(Command("asave")->isEnabled());
    EXPECT_EQ(Window->XML.Root()->Items(0)->Name(), "Z");
}

TEST_F(MainWindow, SaveAsToAStyleSheetNameWritesNoStyleSheetLine)
{
    Open({FileName});
    const QString target = QString::fromStdString((Folder.Path() / "out.XSL").string());
    TModalAnswer saveAs(TDialogNamed{QStringLiteral("SaveDialog1")}, [&](QWidget* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(files, nullptr);
        // Typed into the name field as a user would, then confirmed with Enter.
        auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(target);
        QTest::keyClick(name, Qt::Key_Return);
    });
    Command("aSaveAs")->trigger();
    EXPECT_TRUE(saveAs.Answered());
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("XML Dialog : ") + target);
    const std::string written = TTempFolder::Read(target.toStdString());
    EXPECT_EQ(written.find("xml-stylesheet"), std::string::npos);
    EXPECT_NE(written.find("<B width=\"10\" height=\"5\"/>"), std::string::npos);
    CloseAndDestroy();
    EXPECT_EQ(Stored("Server"), target.toStdString());
}

// The box names the source and, on its second line, why it did not open; the views show
// the cleared document, not the part a rejected document had read.
TEST_F(MainWindow, FailedLoadReportsTheSourceWithItsReasonAndClearsIt)
{
    std::filesystem::create_directory(Folder.Path() / "folder");
    const struct {
        std::string name;
        std::string text;
        QString reason;
    } cases[] = {
        {"missing.xml", "", QStringLiteral("No such file or directory")},
        {"folder", "", QStringLiteral("Not a regular file")},
        {"after.xml", "<A>\n<B/>\n</A>\n<C/>\n", QStringLiteral("Tag after the end of the document element on line 4")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString source = QString::fromStdString(
            c.text.empty() ? (Folder.Path() / c.name).string() : Folder.Write(c.name, c.text).string());
        TModalAnswer error(QStringLiteral("OK"));
        Open({source});
        EXPECT_TRUE(WaitFor([&] { return error.Answered(); }));
        EXPECT_EQ(error.Title(), QStringLiteral("Error"));
        EXPECT_EQ(error.Text(), QStringLiteral("Cannot find file :") + source + QLatin1Char('\n') + c.reason);
        ASSERT_TRUE(WaitFor([&] { return Tree()->model()->rowCount() == 1; }));
        EXPECT_EQ(Node({}).data().toString(), QString());
        EXPECT_EQ(Tree()->model()->rowCount(Node({})), 0);
        EXPECT_EQ(Window->windowTitle(), QStringLiteral("Selvane"));
        CloseAndDestroy();
        EXPECT_EQ(Stored("Server"), "");
    }
}

// Notes the text of a status panel each time it is painted under the busy cursor.
class TBusyTexts : public QObject {
public:
    explicit TBusyTexts(QLabel* panel) : FPanel(panel) { panel->installEventFilter(this); }

    QStringList Seen;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        const QCursor* cursor = QApplication::overrideCursor();
        if (event->type() == QEvent::Paint && cursor && cursor->shape() == Qt::WaitCursor && (Seen.isEmpty() || Seen.back() != FPanel->text()))
            Seen << FPanel->text();
        return false;
    }

private:
    QLabel* FPanel;
};

// While a document is read, written or shown, the busy cursor is up and the status bar
// names the file; both come back afterwards, and before any box that reports a failure.
TEST_F(MainWindow, LongWorkShowsTheBusyCursorAndNamesTheFile)
{
    std::filesystem::create_directory(Folder.Path() / "inner");
    const QString name = QString::fromStdString(Folder.Write("inner/doc.xml", Document).string());
    Open({name});
    // The texts the status bar shows under the busy cursor, as they are painted.
    TBusyTexts busy(Window->findChild<QLabel*>(QStringLiteral("StatusPanel")));
    QStringList& seen = busy.Seen;
    const auto idle = [&] {
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(Panel().endsWith(QStringLiteral("…"))) << Panel().toStdString();
    };

    Command("aRefresh")->trigger();
    EXPECT_EQ(seen, QStringList{QStringLiteral("Reading ") + name + QStringLiteral("…")});
    idle();
    seen.clear();
    Window->XML.Root()->Items(0)->SetName("Z");
    EXPECT_EQ(seen, QStringList{QStringLiteral("Showing ") + name + QStringLiteral("…")});
    seen.clear();
    Command("asave")->trigger();
    EXPECT_EQ(seen, QStringList{QStringLiteral("Writing ") + name + QStringLiteral("…")});
    idle();

    std::filesystem::remove_all(Folder.Path() / "inner");
    Window->XML.Root()->Items(0)->SetName("Y");
    bool busyDuringTheBox = true;
    TModalAnswer error(QStringLiteral("OK"), [&](QWidget*) { busyDuringTheBox = QApplication::overrideCursor() != nullptr; });
    Command("asave")->trigger();
    ASSERT_TRUE(WaitFor([&] { return error.Answered(); }));
    EXPECT_FALSE(busyDuringTheBox);
    idle();
    Window.reset();

    TModalAnswer missing(QStringLiteral("OK"), [&](QWidget*) { busyDuringTheBox = QApplication::overrideCursor() != nullptr; });
    busyDuringTheBox = true;
    Open({name});
    ASSERT_TRUE(WaitFor([&] { return missing.Answered(); }));
    EXPECT_FALSE(busyDuringTheBox);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A settings file that cannot be read is told once as the window opens and once as it
// closes; the defaults are used and the file stays as it was.
TEST_F(MainWindow, DamagedSettingsAreToldOnceAtOpenAndOnceAtExit)
{
    const std::filesystem::path hive = Folder.Path() / "hive" / "HKEY_CURRENT_USER.reg";
    const std::string damaged = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\ngarbage\n";
    std::filesystem::create_directories(hive.parent_path());
    Folder.Write("hive/HKEY_CURRENT_USER.reg", damaged);
    const QString reason = QStringLiteral("Cannot read registry file \"") + QString::fromStdString(hive.string())
                           + QStringLiteral("\": bad value line on line 4");

    TModalAnswer opened(QStringLiteral("OK"));
    Open({FileName});
    ASSERT_TRUE(WaitFor([&] { return opened.Answered(); }));
    EXPECT_EQ(opened.Title(), QStringLiteral("Warning"));
    EXPECT_EQ(opened.Text(), QStringLiteral("Cannot open the settings. ") + reason
                                 + QStringLiteral("\nThe program uses its default settings and leaves the file as it is."));
    ASSERT_TRUE(WaitFor([&] { return Tree()->model()->rowCount() > 0; }));

    TModalAnswer closed(QStringLiteral("OK"));
    CloseAndDestroy();
    ASSERT_TRUE(closed.Answered());
    EXPECT_EQ(closed.Text(), QStringLiteral("Failed to set data for 'Server'. ") + reason
                                 + QStringLiteral("\n7 of the 7 settings were not stored."));
    EXPECT_EQ(TTempFolder::Read(hive), damaged);
}

// The focus leaves the box while the controls are destroyed; nothing of the window may
// answer that any more.
TEST_F(MainWindow, DestroyedWhileShownWithTheFocusInTheFilterBox)
{
    Open({FileName});
    auto* box = Window->findChild<QComboBox*>(QStringLiteral("cbfilter"));
    QTest::mouseClick(box->lineEdit(), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return box->lineEdit()->hasFocus(); }));
    // A typed pattern is what the box hands on when it loses the focus.
    QTest::keyClicks(box->lineEdit(), QStringLiteral("w*"));
    Window.reset();
    EXPECT_EQ(Stored("Server"), File);
}

TEST_F(MainWindow, NoSourceOpensTheSourceDialog)
{
    TModalAnswer source(QStringLiteral("OKBtn"), [&](QWidget* dialog) {
        dialog->findChild<QLineEdit*>(QStringLiteral("edit"))->setText(FileName);
    });
    Open();
    EXPECT_TRUE(WaitFor([&] { return source.Answered(); }));
    EXPECT_TRUE(WaitFor([&] { return Tree()->model()->rowCount() == 1; }));
    EXPECT_EQ(Node({}).data().toString(), QStringLiteral("A"));
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("XML Dialog : ") + FileName);
}

TEST_F(MainWindow, ClipboardReceivesTheResultText)
{
    TProgramSetup setup("Software\\Velmarco\\XML");
    setup.WriteString("Server", File);
    setup.WriteString("Item", "A.B.height");
    Open();
    Command("acopytoclipboard")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("A.B.height"));
}

// Presses OK in the dialog that ExecuteSelectionDialog is about to run, once it shows a result.
void PressOkOnceTheResultShows()
{
    QTimer::singleShot(0, [] {
        WaitFor([] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* window = qobject_cast<TfrmXMLDialog*>(widget);
                    window && !window->findChild<QLineEdit*>(QStringLiteral("eitem"))->text().isEmpty()) {
                    window->findChild<QAction*>(QStringLiteral("aOK"))->trigger();
                    return true;
                }
            return false;
        });
    });
}

TEST_F(MainWindow, DialogHandsTheResultOverAfterOk)
{
    std::FILE* out = std::tmpfile();
    PressOkOnceTheResultShows();
    TProgramSetup setup("Software\\Velmarco\\XML");
    setup.WriteString("Item", "A.B.width");
    setup.WriteString("Server", File);
    EXPECT_EQ(ExecuteSelectionDialog({}, out), 0);
    std::rewind(out);
    char line[64] = {};
    ASSERT_NE(std::fgets(line, sizeof line, out), nullptr);
    EXPECT_STREQ(line, "A.B.width\n");
    std::fclose(out);
    EXPECT_EQ(Stored("Item"), "A.B.width");

    QTimer::singleShot(0, [] {
        WaitFor([] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* window = qobject_cast<TfrmXMLDialog*>(widget); window && window->isVisible()) {
                    window->close();
                    return true;
                }
            return false;
        });
    });
    out = std::tmpfile();
    EXPECT_EQ(ExecuteSelectionDialog({FileName}, out), 1);
    EXPECT_EQ(std::ftell(out), 0);
    std::fclose(out);

    // After OK, a result that cannot be written is status 2.
    setup.WriteString("Item", "A.B.width");
    PressOkOnceTheResultShows();
    out = std::fopen("/dev/full", "w");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(ExecuteSelectionDialog({}, out), 2);
    std::fclose(out);
}

// OK is success only for a pick of a loaded document as it stands on disk, and it prints
// one line: a start whose document failed to load, or an added item whose document was
// not saved, ends with status 1, a reason on standard error and "Item" and "Server" as
// they were; a name with a backslash is printed escaped; "Server" is stored absolute.
TEST_F(MainWindow, OkHandsOverOnlyAPickOfTheSavedDocumentOnOneLine)
{
    TProgramSetup setup("Software\\Velmarco\\XML");
    // Runs the dialog as the program does; `act` runs once its window shows `title`.
    const auto run = [](const QStringList& arguments, const QString& title, const std::function<void(TfrmXMLDialog&)>& act) {
        QTimer::singleShot(0, [act, title] {
            WaitFor([&] {
                for (QWidget* widget : QApplication::topLevelWidgets())
                    if (auto* window = qobject_cast<TfrmXMLDialog*>(widget);
                        window && window->isVisible() && window->windowTitle() == title && !QApplication::activeModalWidget()) {
                        act(*window);
                        return true;
                    }
                return false;
            });
        });
        std::FILE* out = std::tmpfile();
        ::testing::internal::CaptureStderr();
        const int status = ExecuteSelectionDialog(arguments, out);
        const std::string errors = ::testing::internal::GetCapturedStderr();
        std::rewind(out);
        char line[256] = {};
        const std::string printed = std::fgets(line, sizeof line, out) ? line : "";
        std::fclose(out);
        return std::tuple(status, printed, errors);
    };
    const auto ok = [](TfrmXMLDialog& window) { window.findChild<QAction*>(QStringLiteral("aOK"))->trigger(); };

    // A document that did not load.
    setup.WriteString("Item", "A.B.width");
    setup.WriteString("Server", "/stored.xml");
    const QString missing = QString::fromStdString((Folder.Path() / "missing.xml").string());
    TModalAnswer error(QStringLiteral("OK"));
    auto [status, printed, errors] = run({missing}, QStringLiteral("Selvane"), ok);
    EXPECT_TRUE(error.Answered());
    EXPECT_EQ(status, 1);
    EXPECT_EQ(printed, "");
    EXPECT_NE(errors.find("selvane: no document is loaded"), std::string::npos) << errors;
    EXPECT_EQ(Stored("Item"), "A.B.width");
    EXPECT_EQ(Stored("Server"), "/stored.xml");

    // An item added and not saved.
    TModalAnswer add(QStringLiteral("btnOk"), [](QWidget* form) { static_cast<TfrmEditItem*>(form)->edName->setText(QStringLiteral("added")); });
    TModalAnswer no(QStringLiteral("No"));
    std::tie(status, printed, errors) = run({FileName}, QStringLiteral("XML Dialog : ") + FileName, [&](TfrmXMLDialog& window) {
        window.findChild<QTreeView*>(QStringLiteral("tvXML"))->setCurrentIndex(window.findChild<QTreeView*>(QStringLiteral("tvXML"))->model()->index(0, 0));
        window.findChild<QAction*>(QStringLiteral("aAdd"))->trigger();
        ok(window);
    });
    EXPECT_TRUE(add.Answered());
    EXPECT_TRUE(no.Answered());
    EXPECT_EQ(status, 1);
    EXPECT_EQ(printed, "");
    EXPECT_NE(errors.find("selvane: the pick A.added is not in " + File + " as it was saved"), std::string::npos) << errors;
    EXPECT_EQ(Stored("Item"), "A.B.width");

    // A name with a backslash, from a file named relative to the working folder.
    const std::string slashed = Folder.Write("slashed.xml", "<A>\r\n  <b\\c x=\"1\"/>\r\n</A>\r\n").string();
    const QString here = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(Folder.Path().string()));
    std::tie(status, printed, errors) = run({QStringLiteral("slashed.xml")}, QStringLiteral("XML Dialog : slashed.xml"), [&](TfrmXMLDialog& window) {
        auto* tree = window.findChild<QTreeView*>(QStringLiteral("tvXML"));
        tree->setFocus();
        tree->setCurrentIndex(tree->model()->index(0, 0, tree->model()->index(0, 0)));
        auto* list = window.findChild<QTableView*>(QStringLiteral("lvxml"));
        list->setFocus();
        list->setCurrentIndex(list->model()->index(0, 0));
        ok(window);
    });
    QDir::setCurrent(here);
    EXPECT_EQ(status, 0) << errors;
    EXPECT_EQ(printed, "A.b\\\\c.x\n");
    EXPECT_EQ(Stored("Server"), slashed);
}

} // namespace

// Without a "Projects" folder beside the program, as in an installation, whose data folder
// is not the user's to write, the file dialogs start in the open document's folder, and
// without a document in the user's documents folder.
TEST_F(MainWindow, FileDialogsOfAnInstalledProgramStartWhereTheUserCanWrite)
{
    ASSERT_FALSE(QFileInfo::exists(QApplication::applicationDirPath() + QStringLiteral("/Projects")));
    const std::filesystem::path home = Folder.Path() / "home";
    std::filesystem::create_directories(home / "Documents");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.string().c_str());
    Open({FileName});
    const auto folderOf = [this](const char* dialogName, const char* command) {
        QString shown;
        TModalAnswer answer(TDialogNamed{QString::fromUtf8(dialogName)}, [&](QWidget* dialog) {
            shown = qobject_cast<QFileDialog*>(dialog)->directory().absolutePath();
            static_cast<QDialog*>(dialog)->reject();
        });
        Command(command)->trigger();
        EXPECT_TRUE(answer.Answered()) << dialogName;
        return shown;
    };
    EXPECT_EQ(folderOf("SaveDialog1", "aSaveAs"), QString::fromStdString(Folder.Path().string()));
    EXPECT_EQ(folderOf("OpenDialog1", "aLoad"), QString::fromStdString(Folder.Path().string()));
    Command("aNewFile")->trigger();
    EXPECT_EQ(folderOf("OpenDialog1", "aLoad"), QString::fromStdString((home / "Documents").string()));
    qputenv("HOME", oldHome);
}

// A UTF-8 document shows its names as the user types them, the status bar says it was
// converted, and a save writes the program's own format in the code page. One with a
// character the code page cannot hold is refused with that character and its line.
TEST_F(MainWindow, AUtf8DocumentIsConvertedAndOneTheCodePageCannotHoldIsRefused)
{
    const std::string utf8 = Folder.Write("anlage.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                                        "<Anlage>\n  <Gr\xC3\xB6\xC3\x9F" "e h\xC3\xB6he=\"2 m\"/>\n</Anlage>\n").string();
    Open({QString::fromStdString(utf8)});
    EXPECT_EQ(Panel(), QStringLiteral("Converted from UTF-8 into the code page Windows-1252, in which a save writes it"));
    ClickNode(Node({0}));
    ClickRow(0);
    EXPECT_EQ(Result(), QStringLiteral("Anlage.Gr\u00F6\u00DFe.h\u00F6he"));
    // Save writes the document as it stands, changed or not.
    Command("asave")->setEnabled(true);
    Command("asave")->trigger();
    const std::string saved = TTempFolder::Read(utf8);
    EXPECT_TRUE(saved.starts_with("<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n")) << saved;
    EXPECT_NE(saved.find("<Gr\xF6\xDF" "e h\xF6he=\"2 m\"/>"), std::string::npos) << saved;

    const std::string chinese = Folder.Write("zh.xml", "\xEF\xBB\xBF<a>\n<b>\xE4\xB8\xAD</b>\n</a>\n").string();
    TModalAnswer error(QStringLiteral("OK"));
    Open({QString::fromStdString(chinese)});
    ASSERT_TRUE(WaitFor([&] { return error.Answered(); }));
    EXPECT_EQ(error.Text(), QStringLiteral("Cannot find file :") + QString::fromStdString(chinese) +
                                QStringLiteral("\nThe character U+4E2D (\u4E2D) has no place in the code page Windows-1252 on line 2"));
    EXPECT_EQ(Tree()->model()->rowCount(Node({})), 0);
}

// The second of two siblings of one name is picked by its place: the result, the stored
// "Item" and the reselection at the next start all name it, not the first.
TEST_F(MainWindow, ARepeatedNameIsPickedStoredAndReselectedByItsPlace)
{
    const QString alarms = QString::fromStdString(
        Folder.Write("alarms.xml", "<Plant>\r\n  <Alarms>\r\n    <Alarm id=\"A17\" text=\"Oven door open\"/>\r\n"
                                   "    <Alarm id=\"B03\" text=\"Conveyor M4 overtemperature\"/>\r\n  </Alarms>\r\n</Plant>\r\n")
            .string());
    Open({alarms});
    ClickNode(Node({0, 1}));
    ClickRow(1);
    EXPECT_EQ(Result(), QStringLiteral("Plant.Alarms.Alarm[2].text"));
    Command("aOK")->trigger();
    Window.reset();
    EXPECT_EQ(Stored("Item"), "Plant.Alarms.Alarm[2].text");

    Open();
    EXPECT_EQ(Tree()->currentIndex(), Node({0, 1}));
    EXPECT_EQ(CurrentRowName(), QStringLiteral("text"));
    EXPECT_EQ(Result(), QStringLiteral("Plant.Alarms.Alarm[2].text"));
}
