#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <QAction>
#include <QComboBox>
#include <QHelpSearchEngine>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

#include "ActionList.h"
#include "ComponentSettings.h"
#include "HelpIntegration.h"
#include "HelpViewer.h"
#include "HtmlHelp.h"
#include "MainWindowFixture.h"
#include "MessageForm.h"

namespace {

// The help viewer when it is showing.
THelpViewer* Viewer()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* viewer = qobject_cast<THelpViewer*>(widget); viewer && viewer->isVisible())
            return viewer;
    return nullptr;
}

QString ShownPage() { return Viewer() ? Viewer()->CurrentPage().fileName() : QString(); }
QString PageText() { return Viewer() ? Viewer()->findChild<QTextBrowser*>(QStringLiteral("PageView"))->toPlainText() : QString(); }
int NavigationTab() { return Viewer() ? Viewer()->findChild<QTabWidget*>(QStringLiteral("Navigation"))->currentIndex() : -1; }

class Help : public MainWindow {
protected:
    Help() { CloseHelp(); }
    ~Help() override { CloseHelp(); }

    // Opens `menu` and highlights the entry of `command` in it, as the arrow keys do.
    void Highlight(QMenu* menu, const char* command)
    {
        menu->popup(Window->mapToGlobal(QPoint(20, 20)));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        menu->setActiveAction(Command(command));
        ASSERT_EQ(menu->activeAction(), Command(command));
    }
};

} // namespace

TEST_F(Help, EveryCommandHasItsPageInTheCompiledCollection)
{
    TfrmXMLDialog window;
    THelpViewer viewer(QApplication::applicationDirPath() + QStringLiteral("/Selvane.qhc"));
    const auto* page = viewer.findChild<QTextBrowser*>(QStringLiteral("PageView"));
    const QList<QAction*> commands = window.findChild<TActionList*>(QStringLiteral("ActionList1"))->Actions();
    ASSERT_EQ(commands.size(), 25);
    for (const QAction* command : commands) {
        const QString name = command->objectName();
        viewer.ShowPage(QLatin1Char('/') + name + QStringLiteral(".html"));
        EXPECT_EQ(viewer.CurrentPage().fileName(), name + QStringLiteral(".html"));
        // Each page is titled with its command's caption.
        EXPECT_EQ(page->documentTitle(), command->text()) << name.toStdString();
    }
}

TEST_F(Help, F1OnAHighlightedMenuEntryShowsThePageOfItsCommand)
{
    Open({FileName});
    const std::pair<const char*, const char*> entries[] = {{"Filter", "aFilter"}, {"Edit", "aAdd"}, {"puXMLTree", "aMoveUp"}};
    for (const auto& [menuName, command] : entries) {
        auto* menu = Window->findChild<QMenu*>(QString::fromUtf8(menuName));
        Highlight(menu, command);
        QTest::keyClick(menu, Qt::Key_F1);
        const QString page = QString::fromUtf8(command) + QStringLiteral(".html");
        ASSERT_TRUE(WaitFor([&] { return ShownPage() == page; })) << command;
        EXPECT_FALSE(menu->isVisible());
        EXPECT_FALSE(Viewer()->isModal());
    }
    // The page of Add Item is its own name's, whatever keyword the design gave.
    EXPECT_EQ(HelpKeyword(Command("aAdd")), QStringLiteral("aAdd"));
}

TEST_F(Help, F1InTheTreeOrTheListShowsTheContents)
{
    Open({FileName});
    for (QWidget* view : {static_cast<QWidget*>(Tree()), static_cast<QWidget*>(List())}) {
        CloseHelp();
        Reactivate();
        view->setFocus();
        ASSERT_TRUE(WaitFor([&] { return view->hasFocus(); }));
        QTest::keyClick(view, Qt::Key_F1);
        ASSERT_TRUE(WaitFor([] { return ShownPage() == QStringLiteral("index.html"); })) << view->objectName().toStdString();
        EXPECT_EQ(NavigationTab(), 0);
    }
}

TEST_F(Help, F1WithoutHelpSettingsOrOnAMenuWithoutHighlightDoesNothing)
{
    Open({FileName});
    auto* filter = Window->findChild<QComboBox*>(QStringLiteral("cbfilter"));
    filter->setFocus();
    ASSERT_TRUE(WaitFor([&] { return filter->hasFocus(); }));
    QTest::keyClick(filter->lineEdit(), Qt::Key_F1);

    auto* menu = Window->findChild<QMenu*>(QStringLiteral("Filter"));
    menu->popup(Window->mapToGlobal(QPoint(20, 20)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    menu->setActiveAction(nullptr);
    QTest::keyClick(menu, Qt::Key_F1);
    menu->close();

    // Shift+F1 is Qt's "What's This"; it shows nothing either.
    Tree()->setWhatsThis(QStringLiteral("What's this?"));
    QTest::keyClick(Tree(), Qt::Key_F1, Qt::ShiftModifier);
    QTest::qWait(50);
    EXPECT_FALSE(Viewer());
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_FALSE(widget->isVisible() && widget != Window.get()) << widget->metaObject()->className();
}

TEST_F(Help, F1InADialogWithoutHelpSettingsDoesNothing)
{
    Open({FileName});
    FocusTree({});
    bool viewerShown = true;
    TModalAnswer answer(TDialogNamed{QStringLiteral("TfrmEditItem")}, [&](QWidget* dialog) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        QTest::qWait(50);
        viewerShown = Viewer() != nullptr;
        dialog->findChild<QAbstractButton*>(QStringLiteral("btnCancel"))->click();
    });
    Command("aAdd")->trigger();
    EXPECT_TRUE(answer.Answered());
    EXPECT_FALSE(viewerShown);
}

TEST_F(Help, HelpHandlerRunsEachCommandAsItsTableSays)
{
    Window = std::make_unique<TfrmXMLDialog>();
    const qintptr filter = HelpContext(Command("aFilter"));
    struct TCase {
        int command;
        qintptr data;
        const char* page; // nullptr: no viewer
        int tab;
        const char* text;
    };
    const TCase cases[] = {
        {HELP_CONTEXT, filter, "aFilter.html", 0, "Use Filter"},
        {HELP_CONTEXT, 0, nullptr, -1, ""},
        {HELP_CONTEXT, 999999, nullptr, -1, ""},
        {HELP_QUIT, filter, nullptr, -1, ""},
        {HELP_SETPOPUP_POS, filter, nullptr, -1, ""},
        {HELP_KEY, 0, "index.html", 0, "Selvane Help"},
        // Any other command opens the index and asks for the page of the context given.
        {HELP_CONTENTS, 0, "", 1, "No page of the help has the context number 0."},
    };
    for (const TCase& test : cases) {
        CloseHelp();
        bool callHelp = true;
        EXPECT_FALSE(HelpHandler(test.command, test.data, callHelp));
        EXPECT_FALSE(callHelp);
        if (!test.page) {
            EXPECT_FALSE(Viewer()) << test.command;
            continue;
        }
        ASSERT_TRUE(Viewer()) << test.command;
        EXPECT_EQ(ShownPage(), QString::fromUtf8(test.page)) << test.command;
        EXPECT_EQ(NavigationTab(), test.tab) << test.command;
        EXPECT_TRUE(PageText().contains(QString::fromUtf8(test.text))) << PageText().toStdString();
    }
}

TEST_F(Help, AMissingPageIsNamedInTheViewer)
{
    Window = std::make_unique<TfrmXMLDialog>();
    ShowTopic(QStringLiteral("aNowhere"));
    ASSERT_TRUE(Viewer());
    EXPECT_TRUE(PageText().contains(QStringLiteral("aNowhere.html"))) << PageText().toStdString();
    // A page that exists shows again afterwards.
    ShowTopic(QStringLiteral("aLoad"));
    EXPECT_EQ(ShownPage(), QStringLiteral("aLoad.html"));
}

TEST_F(Help, TheHelpButtonOfAMessageBoxAsksForTheBoxsContext)
{
    Window = std::make_unique<TfrmXMLDialog>();
    const std::pair<qintptr, const char*> contexts[] = {{0, ""}, {HelpContext(Command("aStop")), "aStop.html"}};
    for (const auto& [context, page] : contexts) {
        QString shown = QStringLiteral("<none>");
        TModalAnswer answer(TDialogNamed{QStringLiteral("TMessageForm")}, [&](QWidget* box) {
            box->findChild<QAbstractButton*>(QStringLiteral("Help"))->click();
            shown = ShownPage();
            // The viewer takes the user's input while the box is open.
            if (THelpViewer* viewer = Viewer()) {
                auto* tabs = viewer->findChild<QTabWidget*>(QStringLiteral("Navigation"));
                const int other = tabs->currentIndex() == 1 ? 0 : 1;
                // Through the viewer's window, where the platform's input arrives.
                const QPoint at = tabs->tabBar()->mapTo(viewer, tabs->tabBar()->tabRect(other).center());
                QTest::mouseClick(viewer->windowHandle(), Qt::LeftButton, {}, at);
                EXPECT_EQ(tabs->currentIndex(), other);
            }
            // The box stays open until a button that closes it is pressed.
            EXPECT_TRUE(box->isVisible());
            box->findChild<QAbstractButton*>(QStringLiteral("OK"))->click();
        });
        MessageDialog(QStringLiteral("Text"), mtInformation, Btn(mbOK) | Btn(mbHelp), static_cast<int>(context));
        EXPECT_EQ(shown, QString::fromUtf8(page));
    }
}

// The Help menu's two commands: About shows the box with the maker's address as its one
// link line, which adds no line; Help shows the contents. The test program carries no
// version record, which the box reports first.
TEST_F(Help, AboutAndHelpCommandsOpenTheirWindows)
{
    Open({FileName});
    ASSERT_TRUE(Command("aAbout")->isEnabled());
    ASSERT_TRUE(Command("ahelp")->isEnabled());
    QSize size;
    TModalAnswer noRecord(QStringLiteral("OK"));
    TModalAnswer about(TDialogNamed{QStringLiteral("TAboutBox")}, [&](QWidget* box) {
        size = box->size();
        box->findChild<QAbstractButton*>(QStringLiteral("OkBtn"))->click();
    });
    Command("aAbout")->trigger();
    ASSERT_TRUE(about.Answered());
    EXPECT_EQ(noRecord.Text(), QStringLiteral("File contains no version information"));
    EXPECT_EQ(size, QSize(346, 221));

    Command("ahelp")->trigger();
    EXPECT_TRUE(WaitFor([] { return ShownPage() == QStringLiteral("index.html"); }));
    EXPECT_EQ(NavigationTab(), 0);
}

// An installed collection lies in a folder its user cannot write. The search still finds
// pages, and the folder is left as it was: the index goes into the user's cache. Run once
// more by ctest without the right to write there, even as the superuser.
TEST_F(Help, SearchFindsPagesWithoutWritingBesideTheCollection)
{
    const std::filesystem::path installed = Folder.Path() / "share";
    std::filesystem::create_directory(installed);
    for (const char* file : {"Selvane.qhc", "Selvane.qch"})
        std::filesystem::copy_file(QApplication::applicationDirPath().toStdString() + "/" + file, installed / file);
    std::filesystem::permissions(installed, std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                                std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    if (qEnvironmentVariableIsSet("SELVANE_EXPECT_READONLY")) {
        ASSERT_NE(::access(installed.c_str(), W_OK), 0) << "the folder can be written: the case proves nothing";
    }

    {
        THelpViewer viewer(QString::fromStdString((installed / "Selvane.qhc").string()));
        viewer.show();
        auto* search = viewer.findChild<QHelpSearchEngine*>();
        ASSERT_TRUE(search);
        QSignalSpy indexed(search, &QHelpSearchEngine::indexingFinished);
        viewer.findChild<QTabWidget*>(QStringLiteral("Navigation"))->setCurrentIndex(2);
        ASSERT_TRUE(indexed.wait(30000));
        QSignalSpy searched(search, &QHelpSearchEngine::searchingFinished);
        auto* query = viewer.findChild<QWidget*>(QStringLiteral("SearchQuery"))->findChild<QLineEdit*>();
        QTest::keyClicks(query, QStringLiteral("filter"));
        QTest::keyClick(query, Qt::Key_Return);
        ASSERT_TRUE(searched.wait(10000));
        EXPECT_GT(search->searchResultCount(), 0);
    }
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(installed))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"Selvane.qch", "Selvane.qhc"}));
    std::filesystem::permissions(installed, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
}

// A collection that is missing, or whose files are FIFOs, is named as one that cannot be
// opened: the viewer neither waits on a FIFO nor creates a file beside the program.
TEST_F(Help, ACollectionThatIsNoRegularFileIsNamedAndLeftAlone)
{
    const std::string built = QApplication::applicationDirPath().toStdString();
    const std::pair<const char*, std::function<void(const std::filesystem::path&)>> cases[] = {
        {"missing", [](const std::filesystem::path&) {}},
        {"a FIFO for the manual",
         [&](const std::filesystem::path& folder) {
             std::filesystem::copy_file(built + "/Selvane.qhc", folder / "Selvane.qhc");
             ::mkfifo((folder / "Selvane.qch").c_str(), 0600);
         }},
        {"a FIFO for the collection", [](const std::filesystem::path& folder) { ::mkfifo((folder / "Selvane.qhc").c_str(), 0600); }},
    };
    for (const auto& [name, make] : cases) {
        SCOPED_TRACE(name);
        const std::filesystem::path folder = Folder.Path() / name;
        std::filesystem::create_directory(folder);
        make(folder);
        std::vector<std::string> before;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            before.push_back(entry.path().filename().string());
        {
            THelpViewer viewer(QString::fromStdString((folder / "Selvane.qhc").string()));
            viewer.ShowContents();
            EXPECT_TRUE(viewer.findChild<QTextBrowser*>(QStringLiteral("PageView"))->toPlainText().contains(QStringLiteral("cannot be opened")));
            viewer.findChild<QTabWidget*>(QStringLiteral("Navigation"))->setCurrentIndex(2);
            QTest::qWait(50);
        }
        std::vector<std::string> after;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            after.push_back(entry.path().filename().string());
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        EXPECT_EQ(after, before);
    }
}
