// The setup dialog behind Setup...: the main window's switches, the plug-in switches it
// stores itself, and the way to the file-format registration.

#include <QCheckBox>
#include <QPushButton>

#include <filesystem>
#include <map>

#include "MainWindowFixture.h"

namespace {

const char* const Boxes[] = {"cbaskdelete", "cbaskchange", "cbctrasstring", "cbcopyfullitemname", "aReadEver", "aWriteEver"};

std::string StoredBool(const char* key, const char* name)
{
    bool value = false;
    return TProgramSetup(key).ReadBool(name, value) ? (value ? "1" : "0") : "<absent>";
}

} // namespace

class SetupDialog : public MainWindow {
protected:
    // Opens Setup..., notes the boxes' states, lets `act` work on the dialog and presses
    // `button`.
    std::map<std::string, bool> RunSetup(const char* button, const std::function<void(QWidget*)>& act = {})
    {
        std::map<std::string, bool> shown;
        TModalAnswer answer(TDialogNamed{QStringLiteral("TfrmXMLPluginSetup")}, [&](QWidget* dialog) {
            for (const char* name : Boxes)
                shown[name] = dialog->findChild<QCheckBox*>(QString::fromUtf8(name))->isChecked();
            if (act)
                act(dialog);
            QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromUtf8(button)), Qt::LeftButton);
        });
        Command("aPluginSetup")->trigger();
        EXPECT_TRUE(answer.Answered());
        return shown;
    }
    static void Toggle(QWidget* dialog, const char* box)
    {
        QTest::mouseClick(dialog->findChild<QCheckBox*>(QString::fromUtf8(box)), Qt::LeftButton, {}, QPoint(6, 10));
    }
    // Saves the document after a change, and gives the file's bytes.
    std::string ChangeAndSave()
    {
        FocusTree({1});
        Command("aMoveUp")->trigger();
        EXPECT_TRUE(Command("asave")->isEnabled());
        Command("asave")->trigger();
        return TTempFolder::Read(File);
    }
};

TEST_F(SetupDialog, FirstUseShowsTheDefaultsAndCancelChangesNothing)
{
    Open({FileName});
    ASSERT_TRUE(Command("aPluginSetup")->isEnabled());
    const auto shown = RunSetup("bcancel", [](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("XML Setup"));
        EXPECT_EQ(dialog->size(), QSize(342, 279));
        for (const char* box : Boxes)
            Toggle(dialog, box);
    });
    const std::map<std::string, bool> defaults = {{"cbaskdelete", true}, {"cbaskchange", true}, {"cbctrasstring", false},
                                                  {"cbcopyfullitemname", true}, {"aReadEver", false}, {"aWriteEver", false}};
    EXPECT_EQ(shown, defaults);
    EXPECT_EQ(RunSetup("bcancel"), defaults);
    EXPECT_EQ(StoredBool("Software\\Velmarco\\XML", "READEVER"), "<absent>");
    EXPECT_EQ(ChangeAndSave().find("\r\n    <"), std::string::npos);
    CloseAndDestroy();
    EXPECT_EQ(StoredBool("Software\\Velmarco\\XML", "ASKDELETE"), "1");
    EXPECT_EQ(StoredBool("Software\\Velmarco\\XML", "USELFSTRING"), "0");
}

TEST_F(SetupDialog, OkGivesEachBoxItsEffect)
{
    const struct {
        const char* box;
        const char* key;
        const char* name;
        // Whether the value is stored at OK, rather than at the window's exit.
        bool atOnce;
        const char* value;
    } cases[] = {
        {"cbaskdelete", "Software\\Velmarco\\XML", "ASKDELETE", false, "0"},
        {"cbaskchange", "Software\\Velmarco\\XML", "ASKCHANGE", false, "0"},
        {"cbctrasstring", "Software\\Velmarco\\XML", "USELFSTRING", false, "1"},
        {"cbcopyfullitemname", "Software\\Velmarco\\XML", "USEFULLITEM", false, "0"},
        {"aReadEver", "Software\\Velmarco\\XML", "READEVER", true, "1"},
        {"aWriteEver", "Software\\Velmarco\\XML", "WRITEEVER", true, "1"},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(example.box);
        std::filesystem::remove_all(Folder.Path() / "hive");
        Open({FileName});
        RunSetup("bOk", [&](QWidget* dialog) { Toggle(dialog, example.box); });
        EXPECT_EQ(StoredBool(example.key, example.name), example.atOnce ? example.value : "<absent>");
        // The value access reads values of the same names from a key of its own.
        EXPECT_EQ(StoredBool("Software\\Trelvix\\XML", example.name), "<absent>");
        // The dialog shows the new state when opened again.
        EXPECT_EQ(RunSetup("bcancel")[example.box], std::string(example.value) == "1");
        CloseAndDestroy();
        EXPECT_EQ(StoredBool(example.key, example.name), example.value);
    }
}

TEST_F(SetupDialog, LineFeedsAsStringTakeEffectAtTheNextSave)
{
    Open({FileName});
    RunSetup("bOk", [](QWidget* dialog) { Toggle(dialog, "cbctrasstring"); });
    EXPECT_NE(ChangeAndSave().find("\r\n    <"), std::string::npos);
}

TEST_F(SetupDialog, AskBeforeDeletingClearedDeletesWithoutAsking)
{
    Open({FileName});
    RunSetup("bOk", [](QWidget* dialog) { Toggle(dialog, "cbaskdelete"); });
    FocusTree({1});
    Command("aDelete")->trigger();
    EXPECT_EQ(Tree()->model()->rowCount(Node({})), 1);
}

TEST_F(SetupDialog, FullItemNameClearedShowsTheParameterAloneFromTheNextSelection)
{
    Open({FileName});
    ClickNode(Node({0}));
    ClickRow(0);
    ASSERT_EQ(Result(), QStringLiteral("A.B.width"));
    RunSetup("bOk", [](QWidget* dialog) { Toggle(dialog, "cbcopyfullitemname"); });
    EXPECT_EQ(Result(), QStringLiteral("A.B.width"));
    Reactivate();
    ClickRow(1);
    EXPECT_EQ(Result(), QStringLiteral("height"));
}

TEST_F(SetupDialog, TheTabOrderFollowsTheBoxesThenTheButtons)
{
    Open({FileName});
    QStringList order;
    RunSetup("bcancel", [&](QWidget* dialog) {
        QWidget* first = dialog->findChild<QWidget*>(QStringLiteral("cbaskdelete"));
        QWidget* widget = first;
        do {
            order << widget->objectName();
            widget = widget->nextInFocusChain();
            while (widget != first && !(widget->focusPolicy() & Qt::TabFocus))
                widget = widget->nextInFocusChain();
        } while (widget != first && order.size() < 20);
    });
    EXPECT_EQ(order, QStringList({"cbaskdelete", "cbaskchange", "cbctrasstring", "cbcopyfullitemname", "aReadEver", "aWriteEver", "bOk",
                                  "bcancel", "bregisterfileformats"}));
}

TEST_F(SetupDialog, RegisterFileFormatsOpensOverTheStillOpenDialog)
{
    Open({FileName});
    QString title;
    QStringList captions;
    bool allButtonHidden = false;
    bool setupStillOpen = false;
    const auto shown = RunSetup("bcancel", [&](QWidget* dialog) {
        Toggle(dialog, "aReadEver");
        TModalAnswer registration(TDialogNamed{QStringLiteral("TFormatAssociateForm")}, [&](QWidget* form) {
            title = form->windowTitle();
            for (QCheckBox* box : form->findChildren<QCheckBox*>())
                captions << box->text();
            allButtonHidden = form->findChild<QPushButton*>(QStringLiteral("AllButton"))->isHidden();
            setupStillOpen = dialog->isVisible();
            form->findChild<QPushButton*>(QStringLiteral("CloseButton"))->click();
        });
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("bregisterfileformats")), Qt::LeftButton);
        EXPECT_TRUE(registration.Answered());
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(dialog->findChild<QCheckBox*>(QStringLiteral("aReadEver"))->isChecked());
    });
    EXPECT_EQ(title, QStringLiteral("Register File Formats Selvane Dialog"));
    EXPECT_EQ(captions, QStringList{QStringLiteral("XML (*.xml)")});
    EXPECT_TRUE(allButtonHidden);
    EXPECT_TRUE(setupStillOpen);
    EXPECT_FALSE(shown.at("aReadEver"));
}
