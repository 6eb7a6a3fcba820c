#include <gtest/gtest.h>

#include <QLineEdit>
#include <QScrollBar>
#include <QProcess>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include "MainWindowFixture.h"

namespace {

std::string WithB(std::string_view b)
{
    return "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n<A>\r\n  " + std::string(b) + "\r\n  <C/>\r\n</A>\r\n";
}

class PlayMode : public MainWindow {
protected:
    void SetUp() override
    {
        TProgramSetup("Software\\Velmarco\\XML").WriteString("Item", "A.B.width");
        Open({FileName});
        // The stored pick is dropped with a file on the command line; pick it again.
        ClickNode(Node({0}));
        ClickRow(0);
        ASSERT_EQ(Result(), QStringLiteral("A.B.width"));
    }
    // Another program replaces the file, as editors do: a new file renamed over it.
    void Rewrite(const std::string& text) const
    {
        const std::string next = Folder.Write("next.xml", text).string();
        ASSERT_EQ(QProcess::execute(QStringLiteral("/bin/mv"), {QString::fromStdString(next), FileName}), 0);
    }
    QString Value(int row) const { return List()->model()->index(row, 1).data().toString(); }
    void Play()
    {
        Command("aPlay")->trigger();
        ASSERT_TRUE(Command("aStop")->isEnabled());
    }
};

TEST_F(PlayMode, ValueWrittenByAnotherProgramShowsWithinASecondOnTheSameRow)
{
    Play();
    Rewrite(WithB("<B width=\"20\" height=\"5\"/>"));
    EXPECT_TRUE(WaitFor([this] { return Value(0) == QStringLiteral("20"); }, 1500));
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("B"));
    EXPECT_EQ(CurrentRowName(), QStringLiteral("width"));
    EXPECT_EQ(Result(), QStringLiteral("A.B.width"));
    EXPECT_FALSE(Command("asave")->isEnabled());
}

TEST_F(PlayMode, RenamedItemLeavesNoNodeSelectedAndKeepsTheResult)
{
    Play();
    Rewrite(WithB("<Z width=\"10\" height=\"5\"/>"));
    EXPECT_TRUE(WaitFor([this] { return Node({0}).data().toString() == QStringLiteral("Z"); }, 1500));
    EXPECT_FALSE(Tree()->currentIndex().isValid());
    EXPECT_EQ(List()->model()->rowCount(), 0);
    EXPECT_EQ(Result(), QStringLiteral("A.B.width"));
}

TEST_F(PlayMode, DeletedFileKeepsTheViewsAndReportsNothing)
{
    Play();
    std::filesystem::remove(File);
    QTest::qWait(1200);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("B"));
    EXPECT_EQ(Value(0), QStringLiteral("10"));
    EXPECT_TRUE(Command("aStop")->isEnabled());
}

TEST_F(PlayMode, SetValueIsSavedWhenTheNextTickAsksAndYesIsAnswered)
{
    Play();
    QTest::qWait(600);
    TModalAnswer input = InputAnswer(QStringLiteral("42"));
    TModalAnswer change(QStringLiteral("Yes"));
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Return);
    ASSERT_TRUE(change.Answered());
    TModalAnswer save(QStringLiteral("Yes"));
    EXPECT_TRUE(WaitFor([&] { return save.Answered(); }, 1500));
    EXPECT_EQ(save.Text(), QStringLiteral("The code was modified. Do you want to save the changes?"));
    EXPECT_TRUE(WaitFor([this] { return !Command("asave")->isEnabled(); }));
    EXPECT_NE(TTempFolder::Read(File).find("width=\"42\""), std::string::npos);
    EXPECT_EQ(Value(0), QStringLiteral("42"));
    EXPECT_TRUE(Command("aStop")->isEnabled());
}

// Another program changes the file while the input box is open and a tick reads it: the
// change goes to the entry of its name as the file now stands, or nowhere. The parameter
// is the new B and the row its width then stands on (-1: gone).
class PlayModeReload : public PlayMode, public ::testing::WithParamInterface<std::pair<const char*, int>> {};

TEST_P(PlayModeReload, SetValueActsOnTheEntryByItsName)
{
    const auto [b, widthRow] = GetParam();
    Play();
    TModalAnswer input(TDialogNamed{QStringLiteral("InputBox")}, [&, b = b](QWidget* box) {
        Rewrite(WithB(b));
        QTest::qWait(1200);
        box->findChild<QLineEdit*>(QStringLiteral("Edit"))->setText(QStringLiteral("42"));
        box->findChild<QAbstractButton*>(QStringLiteral("OK"))->click();
    });
    TModalAnswer change(QStringLiteral("Yes"));
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Return);
    ASSERT_TRUE(change.Answered());
    if (widthRow < 0) {
        EXPECT_FALSE(Command("asave")->isEnabled());
        return;
    }
    EXPECT_EQ(Value(widthRow), QStringLiteral("42"));
    EXPECT_EQ(Value(1 - widthRow), QStringLiteral("5"));
    TModalAnswer save(QStringLiteral("No"));
    EXPECT_TRUE(WaitFor([&] { return save.Answered(); }, 1500));
}

INSTANTIATE_TEST_SUITE_P(, PlayModeReload,
                         ::testing::Values(std::pair("<B height=\"5\" width=\"10\"/>", 1), std::pair("<B height=\"5\"/>", -1),
                                           std::pair("<Z width=\"10\" height=\"5\"/>", -1)));

TEST_F(PlayMode, SetValueIsLostWhenTheNextTickAsksAndNoIsAnswered)
{
    Play();
    QTest::qWait(600);
    TModalAnswer input = InputAnswer(QStringLiteral("42"));
    TModalAnswer change(QStringLiteral("Yes"));
    QTest::keyClick(List(), Qt::Key_Return);
    ASSERT_EQ(Value(0), QStringLiteral("42"));
    TModalAnswer save(QStringLiteral("No"));
    EXPECT_TRUE(WaitFor([&] { return save.Answered(); }, 1500));
    EXPECT_TRUE(WaitFor([this] { return Value(0) == QStringLiteral("10"); }));
    EXPECT_EQ(TTempFolder::Read(File), Document);
}

// The folder is gone when the tick's save question is answered Yes: play mode ends, the
// failure is shown, and the change stays in the window.
TEST_F(PlayMode, FailedSaveAtATickEndsPlayModeAndSaysSo)
{
    Play();
    QTest::qWait(600);
    std::filesystem::remove_all(Folder.Path() / "doc.xml");
    std::filesystem::create_directory(Folder.Path() / "doc.xml");
    Window->XML.Root()->Items(1)->SetName("D");
    TModalAnswer save(QStringLiteral("Yes"));
    TModalAnswer error(QStringLiteral("OK"));
    EXPECT_TRUE(WaitFor([&] { return error.Answered(); }, 1500));
    EXPECT_EQ(error.Title(), QStringLiteral("Error"));
    EXPECT_TRUE(error.Text().startsWith(QStringLiteral("Cannot create file"))) << error.Text().toStdString();
    EXPECT_FALSE(Command("aStop")->isEnabled());
    EXPECT_TRUE(Command("aPlay")->isEnabled());
    EXPECT_TRUE(Command("asave")->isEnabled());
    EXPECT_EQ(Window->XML.Root()->Items(1)->Name(), "D");
}

TEST_F(PlayMode, CancelOnTheSaveQuestionKeepsPlayModeOff)
{
    Window->XML.Root()->Items(1)->SetName("D");
    TModalAnswer cancel(QStringLiteral("Cancel"));
    Command("aPlay")->trigger();
    EXPECT_TRUE(cancel.Answered());
    EXPECT_FALSE(Command("aStop")->isEnabled());
    EXPECT_TRUE(Command("aPlay")->isEnabled());
    EXPECT_TRUE(Command("asave")->isEnabled());
}

TEST_F(PlayMode, RefreshReadsTheFileOnceWhenPlayIsOff)
{
    Rewrite(WithB("<B width=\"7\"/>"));
    QTest::qWait(600);
    EXPECT_EQ(Value(0), QStringLiteral("10")) << "no timer while play mode is off";
    Command("aRefresh")->trigger();
    EXPECT_EQ(Value(0), QStringLiteral("7"));
    EXPECT_EQ(CurrentRowName(), QStringLiteral("width"));
}

// A refresh of a file of the same shape keeps the user's place in the tree and shows any
// renamed nodes; a changed shape or many new names show as a new tree. Every node stays
// open either way.
TEST_F(PlayMode, ARefreshKeepsThePlaceInATreeOfTheSameShape)
{
    const auto text = [](const std::function<std::string(int)>& name, int value, int extraUnder = -1) {
        std::string xml = "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n<A>\r\n";
        for (int i = 0; i < 300; ++i)
            xml += "  <" + name(i) + " v=\"" + std::to_string(value + i) + "\"><X/>" + (i == extraUnder ? "<Y/>" : "") + "</" + name(i) + ">\r\n";
        return xml + "</A>\r\n";
    };
    const auto g = [](int i) { return "G" + std::to_string(i); };
    const struct {
        const char* what;
        std::string text;
        const char* node151;
        int under10;
        bool placeKept;
    } cases[] = {
        {"new values", text(g, 1000), "G151", 1, true},
        {"one node renamed", text([&](int i) { return i == 151 ? std::string("H151") : g(i); }, 0), "H151", 1, true},
        {"a node more", text(g, 0, 10), "G151", 2, false},
        {"every node renamed but the selected one", text([&](int i) { return i == 150 ? g(i) : "H" + std::to_string(i); }, 0), "H151", 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rewrite(text(g, 0));
        Command("aRefresh")->trigger();
        Tree()->scrollTo(Node({150}), QAbstractItemView::PositionAtCenter);
        ClickNode(Node({150}));
        ASSERT_EQ(Result(), QStringLiteral("A.G150"));
        const int place = Tree()->verticalScrollBar()->value();
        ASSERT_GT(place, 0);

        Rewrite(c.text);
        Command("aRefresh")->trigger();
        EXPECT_EQ(Node({151}).data().toString(), QString::fromUtf8(c.node151));
        EXPECT_EQ(CurrentNodeText(), QStringLiteral("G150"));
        EXPECT_EQ(Tree()->model()->rowCount(Node({10})), c.under10);
        for (int i : {0, 10, 150, 151, 299})
            EXPECT_TRUE(Tree()->isExpanded(Node({i}))) << i;
        if (c.placeKept) {
            EXPECT_EQ(Tree()->verticalScrollBar()->value(), place);
        }
        EXPECT_TRUE(Tree()->viewport()->rect().intersects(Tree()->visualRect(Tree()->currentIndex())));
    }
}

// Another program writes the file in small pieces, over and over, while the window
// watches: every reload that catches it half written must leave the views on living
// items, and the final state shows the whole file.
TEST_F(PlayMode, FileRewrittenInPiecesNeverLeavesTheViewsOnDestroyedItems)
{
    std::string big = "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n<A>\r\n  <B width=\"10\" height=\"5\">\r\n";
    for (int i = 0; i < 3000; ++i)
        big += "    <I" + std::to_string(i) + " v=\"" + std::to_string(i) + "\"/>\r\n";
    big += "  </B>\r\n  <C/>\r\n</A>\r\n";
    const std::string source = Folder.Write("big.xml", big).string();
    Play();
    QProcess writer;
    // Most of the time the file holds only a part of the document, cut anywhere, or
    // the document twice, which the loader refuses after reading the first.
    writer.start(QStringLiteral("/bin/bash"),
                 {QStringLiteral("-c"), QStringLiteral("for n in $(seq 25); do head -c $((RANDOM * 3)) '%1' > '%2'; sleep 0.1; "
                                                       "cat '%1' '%1' > '%2'; sleep 0.1; cat '%1' > '%2'; sleep 0.02; done")
                                            .arg(QString::fromStdString(source), FileName)});
    ASSERT_TRUE(writer.waitForStarted());
    while (writer.state() != QProcess::NotRunning) {
        QTest::qWait(20);
        // Touch what the views hold.
        if (Tree()->currentIndex().isValid())
            (void)Result();
        Tree()->viewport()->repaint();
        List()->viewport()->repaint();
    }
    EXPECT_EQ(writer.exitCode(), 0);
    EXPECT_TRUE(WaitFor([this] { return Tree()->model()->rowCount(Node({0})) == 3000; }, 3000));
    EXPECT_TRUE(Tree()->isExpanded(Node({0}))) << "every node with children is expanded after a reload";
    EXPECT_EQ(CurrentNodeText(), QStringLiteral("B"));
    EXPECT_EQ(CurrentRowName(), QStringLiteral("width"));
    Command("aStop")->trigger();
}

} // namespace

// Another program rewrites the file in place, truncating it and writing it in two parts,
// fifty times a second: no tick ever shows an empty or a half tree, and the new values
// still show.
TEST_F(PlayMode, AFileRewrittenInPlaceNeverShowsTorn)
{
    constexpr int Items = 300;
    const auto text = [](int generation) {
        std::string xml = "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n<A>\r\n";
        for (int i = 0; i < Items; ++i)
            xml += "  <B width=\"" + std::to_string(generation) + "\" height=\"5\"/>\r\n";
        return xml + "</A>\r\n";
    };
    // The document shown when play mode starts is one of the writer's.
    // A file written this very moment is taken only once its times can tell a change.
    Folder.Write("doc.xml", text(0));
    ASSERT_TRUE(WaitFor([&] {
        Command("aRefresh")->trigger();
        return Window->XML.Root()->Count() == Items;
    }));
    std::atomic<bool> writing = true;
    std::thread writer([&] {
        for (int generation = 1; writing; ++generation) {
            const std::string xml = text(generation);
            const int handle = ::open(File.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            ASSERT_GE(handle, 0);
            ASSERT_EQ(::write(handle, xml.data(), xml.size() / 2), static_cast<ssize_t>(xml.size() / 2));
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            ASSERT_EQ(::write(handle, xml.data() + xml.size() / 2, xml.size() - xml.size() / 2),
                      static_cast<ssize_t>(xml.size() - xml.size() / 2));
            ::close(handle);
            std::this_thread::sleep_for(std::chrono::milliseconds(17));
        }
    });
    int ticks = 0;
    int torn = 0;
    std::set<QString> shown;
    auto* timer = Window->findChild<QTimer*>(QStringLiteral("TimerUpdate"));
    ASSERT_TRUE(timer);
    // Connected after the window's own handler: it sees what the tick left.
    const QMetaObject::Connection check = QObject::connect(timer, &QTimer::timeout, [&] {
        ++ticks;
        if (Tree()->model()->rowCount(Node({})) != Items || Window->XML.Root()->Count() != Items)
            ++torn;
        shown.insert(Value(0));
    });
    Play();
    // Ten ticks at least, and long enough for new values to show on a busy machine.
    const bool seen = WaitFor([&] { return ticks >= 10 && shown.size() >= 3; }, 30000);
    writing = false;
    writer.join();
    QObject::disconnect(check);
    EXPECT_EQ(torn, 0) << "of " << ticks << " ticks";
    EXPECT_TRUE(seen) << ticks << " ticks showed " << shown.size() << " values";
}
