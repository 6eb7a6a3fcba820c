#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ActionList.h"
#include "ComponentSettings.h"
#include "DlgSelvane.h"
#include "DlgXMLSetup.h"
#include "GuiTest.h"
#include "StyleForm.h"
#include "Translations.h"
#include "XMLAddGroup.h"
#include "stdAbout.h"

namespace {

// A window with one component of every kind the translation knows about.
class TSampleForm : public TStyleForm {
public:
    TSampleForm()
    {
        setObjectName(QStringLiteral("TSampleForm"));
        setWindowTitle(QStringLiteral("Sample"));
        auto name = [](QObject* component, const char* text) { component->setObjectName(QString::fromUtf8(text)); };
        auto* label = new QLabel(QStringLiteral("Name:"), this);
        name(label, "Label1");
        label->setStatusTip(QStringLiteral("Type a name"));
        name(new QPushButton(QStringLiteral("OK"), this), "Button1");
        name(new QPushButton(QStringLiteral("Cancel"), this), "Button2");
        auto* group = new QGroupBox(QStringLiteral("Options"), this);
        name(group, "GroupBox1");
        name(new QCheckBox(QStringLiteral("Add as new Subitem"), group), "CheckBox1");
        name(new QRadioButton(QStringLiteral("Use XML File"), this), "RadioButton1");
        name(new QLineEdit(QStringLiteral("Edit me"), this), "Edit1");
        name(new QLabel(QStringLiteral("100"), this), "Number1");
        name(new QLabel(QStringLiteral("1,5"), this), "Number2");
        name(new QLabel(QStringLiteral("a=b"), this), "Equals1");
        auto* tagged = new QLabel(QStringLiteral("Tagged"), this);
        name(tagged, "Tagged1");
        SetTag(tagged, 1);
        auto* box = new QComboBox(this);
        name(box, "Box");
        box->addItems({QStringLiteral("First"), QStringLiteral("Second")});
        box->setStatusTip(QStringLiteral("Filter list"));
        auto* commands = new TActionList(this);
        name(commands, "ActionList1");
        name(new QAction(QStringLiteral("Go"), commands), "aGo");
        auto* stop = new QAction(QStringLiteral("Stop"), commands);
        name(stop, "aStop");
        stop->setStatusTip(QStringLiteral("Stops"));
        auto* skipped = new TActionList(this);
        name(skipped, "ActionList2");
        SetTag(skipped, 1);
        name(new QAction(QStringLiteral("Skip"), skipped), "aSkip");
        FinishCreate();
    }

    QString Text(const char* component) const
    {
        const QObject* found = findChild<QObject*>(QString::fromUtf8(component));
        if (const auto* group = qobject_cast<const QGroupBox*>(found))
            return group->title();
        if (const auto* box = qobject_cast<const QComboBox*>(found))
            return box->itemText(0) + QLatin1Char('|') + box->itemText(1);
        return found->property("text").toString();
    }
    QString Hint(const char* component) const { return findChild<QObject*>(QString::fromUtf8(component))->property("statusTip").toString(); }
};

void WriteFile(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

// Writes the tables into "Protected/" beside the test program and loads them; removes
// the folder and empties the tables again at the end.
class Translation : public ::testing::Test, public TGuiFixtureBase {
protected:
    ~Translation() override
    {
        std::filesystem::remove_all(Protected);
        LoadTranslations();
    }

    void Load(const std::map<std::string, std::string>& files)
    {
        std::filesystem::create_directories(Protected);
        for (const auto& [name, bytes] : files)
            WriteFile(Protected / name, bytes);
        LoadTranslations();
    }

    const std::filesystem::path Protected = std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()) / "Protected";
};

} // namespace

TEST_F(Translation, WithoutTheFolderWindowsKeepTheirTextsAndEveryCommandGetsItsHelpSettings)
{
    LoadTranslations();
    TfrmXMLDialog window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Selvane"));
    const QList<QAction*> commands = window.findChild<TActionList*>(QStringLiteral("ActionList1"))->Actions();
    ASSERT_EQ(commands.size(), 25);
    EXPECT_EQ(commands.at(0)->text(), QStringLiteral("Select XML..."));
    EXPECT_EQ(commands.at(0)->statusTip(), QStringLiteral("Opens the select XML dialog"));
    std::set<int> contexts;
    for (QAction* command : commands) {
        EXPECT_EQ(HelpKeyword(command), command->objectName());
        EXPECT_EQ(ComponentOfHelpContext(HelpContext(command)), command) << command->objectName().toStdString();
        contexts.insert(HelpContext(command));
    }
    EXPECT_EQ(contexts.size(), commands.size());
    EXPECT_FALSE(contexts.count(0));
    // The designed values are replaced.
    EXPECT_NE(HelpContext(window.findChild<QAction*>(QStringLiteral("aAdd"))), 66);
    EXPECT_NE(HelpContext(window.findChild<QAction*>(QStringLiteral("aPlay"))), 210);
}

TEST_F(Translation, TablesGiveTheTextsOfEachKindByTheirRules)
{
    Load({{"forms.txt_e", "ok=Fine\r\nCancel=\nName:=First\rNAME:=Second\r\n100=Hundred\n1,5=One and a half\na=b=Never\n"
                          "Tagged=Seen\nUse XML File=Radio\nEdit me=Edited\nOptions=Choices\nAdd as new Subitem=Below\nSample=Example\n"},
          {"captions.txt_e", "Box_0=Zero\nBox_1=Un\nBox_2=Deux\naGo=Start\naSkip=Skipped\n"},
          {"hints.txt_e", "Type a name=Enter a name\nBox=Filters\naGo=Starts\naStop=Halts\n"}});
    TSampleForm form;
    const std::pair<const char*, const char*> texts[] = {
        {"Button1", "Fine"},           // keys ignore letter case
        {"Button2", ""},               // an empty value empties the caption
        {"Label1", "First"},           // the first matching line wins
        {"Number1", "100"},            // numbers are never translated
        {"Number2", "1,5"},
        {"Equals1", "a=b"},            // a key ends at its first "="
        {"Tagged1", "Tagged"},         // Tag 1 keeps the design
        {"RadioButton1", "Use XML File"}, // option buttons and text edits are no captions
        {"Edit1", "Edit me"},
        {"GroupBox1", "Choices"},
        {"CheckBox1", "Below"},
        {"Box", "Un|Deux"},            // items count from 1
        {"aGo", "Start"},
        {"aSkip", "Skip"},             // a command list with Tag 1 is left out whole
    };
    for (const auto& [component, text] : texts)
        EXPECT_EQ(form.Text(component), QString::fromUtf8(text)) << component;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Example"));

    const std::pair<const char*, const char*> hints[] = {
        {"Label1", "Enter a name"}, {"Box", "Filters"}, {"aGo", "Starts"}, {"aStop", "Halts"}, {"Button1", ""},
    };
    for (const auto& [component, hint] : hints)
        EXPECT_EQ(form.Hint(component), QString::fromUtf8(hint)) << component;
    EXPECT_EQ(HelpKeyword(form.findChild<QAction*>(QStringLiteral("aSkip"))), QString());
    EXPECT_EQ(HelpContext(form.findChild<QAction*>(QStringLiteral("aSkip"))), 0);
}

TEST_F(Translation, AnEmptyHintOfACommandBecomesItsCaptionBeforeTheLookUp)
{
    Load({{"captions.txt_e", "aGo=Start\n"}, {"hints.txt_e", ""}});
    TSampleForm form;
    EXPECT_EQ(form.Hint("aGo"), QStringLiteral("Start"));
    EXPECT_EQ(form.findChild<QAction*>(QStringLiteral("aGo"))->toolTip(), QStringLiteral("Start"));
}

TEST_F(Translation, TheTablesNotConsultedAndTheSuffixlessNamesChangeNothing)
{
    Load({{"translate.txt_e", "OK=Wrong\n"}, {"shortcuts.txt_e", "OK=Wrong\n"}, {"forms.txt", "OK=Wrong\n"}});
    TSampleForm form;
    EXPECT_EQ(form.Text("Button1"), QStringLiteral("OK"));
}

TEST_F(Translation, KeysMissingFromATableAreAddedInMemoryAndNeverWrittenBack)
{
    const std::string forms = "Sample=Example\r\n";
    Load({{"forms.txt_e", forms}});
    TSampleForm first;
    EXPECT_EQ(FormsTable()->count(QStringLiteral("Name:=Name:")), 1);
    // A window created again starts from its designed texts and finds the added line.
    TSampleForm second;
    EXPECT_EQ(second.windowTitle(), QStringLiteral("Example"));
    EXPECT_EQ(FormsTable()->count(QStringLiteral("Name:=Name:")), 1);
    std::ifstream in(Protected / "forms.txt_e", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), forms);
}

TEST_F(Translation, TheProgramsDialogsReadTheirTablesInTheCodePage)
{
    // "Sous-élément" in Windows-1252.
    Load({{"forms.txt_e", "Edit Item=Modifier\nName:=Nom :\nAdd as new Subitem=Sous-\xe9l\xe9ment\nOk=D'accord\n"}});
    TfrmEditItem dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Modifier"));
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Nom :"));
    EXPECT_EQ(dialog.findChild<QCheckBox*>(QStringLiteral("cbsubitem"))->text(), QString::fromUtf8("Sous-élément"));
    EXPECT_EQ(dialog.btnOk->text(), QStringLiteral("D'accord"));
}

TEST_F(Translation, MenuEntriesOfTheMainWindowFollowTheirCommands)
{
    Load({{"captions.txt_e", "aFilter=Filtre\n"}, {"hints.txt_e", "aFilter=Filtre la liste\n"}});
    TfrmXMLDialog window;
    QMenu* menu = window.findChild<QMenu*>(QStringLiteral("Filter"));
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->actions().constLast()->text(), QStringLiteral("Filtre"));
    EXPECT_EQ(menu->actions().constLast()->statusTip(), QStringLiteral("Filtre la liste"));
}

TEST_F(Translation, TheSetupDialogIsTranslatedFromItsDesignTexts)
{
    Load({{"forms.txt_e", "XML Setup=R\xe9glages XML\nGeneral Settings=G\xe9n\xe9ral\nHandle line feed as string=Fins de ligne\n"
                          "Register File Formats...=Formats de fichier...\n"}});
    TfrmXMLPluginSetup dialog;
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Réglages XML"));
    EXPECT_EQ(dialog.GroupBox2->title(), QString::fromUtf8("Général"));
    EXPECT_EQ(dialog.cbctrasstring->text(), QStringLiteral("Fins de ligne"));
    EXPECT_EQ(dialog.bregisterfileformats->text(), QStringLiteral("Formats de fichier..."));
    EXPECT_EQ(dialog.cbaskchange->text(), QStringLiteral("Ask before change a value"));
}

TEST_F(Translation, TheAboutBoxIsTranslatedBeforeItReadsTheVersionRecord)
{
    Load({{"forms.txt_e", "Name:=Nom :\nSelvane=Not a design text\n"}});
    TAboutBox box(nullptr, QStringLiteral(SELVANE_EXECUTABLE));
    EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("NpsLbl3d3"))->text(), QStringLiteral("Nom :"));
    EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("ProductNameLabel"))->text(), QStringLiteral("Selvane"));
}

// A table above 16 MB is not read (its designed texts stay) and a text longer than 4096
// characters is cut there, each with a notice on standard error.
TEST_F(Translation, OversizedTablesAndTextsAreRefusedOrCut)
{
    Load({{"forms.txt_e", "OK=" + std::string(20 * 1024 * 1024 - 100, 'x') + "\nCancel=Stop\n"},
          {"captions.txt_e", "aGo=" + std::string(100000, 'G') + "\naStop=Halt\n"}});
    TSampleForm form;
    EXPECT_EQ(form.Text("Button1"), QStringLiteral("OK"));
    EXPECT_EQ(form.Text("Button2"), QStringLiteral("Cancel"));
    EXPECT_EQ(form.Text("aGo"), QString(4096 - 4, QLatin1Char('G')));
    EXPECT_EQ(form.Text("aStop"), QStringLiteral("Halt"));

    // A sparse table of 3 GiB is refused at once, by its size.
    {
        std::ofstream(Protected / "hints.txt_e", std::ios::binary) << "aStop=Halts\n";
    }
    std::filesystem::resize_file(Protected / "hints.txt_e", 3ULL << 30);
    ::testing::internal::CaptureStderr();
    LoadTranslations();
    const std::string notices = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(notices.find("hints.txt_e\" is larger than 16 MB and is not used"), std::string::npos) << notices;
    EXPECT_NE(notices.find("forms.txt_e\" is larger than 16 MB"), std::string::npos) << notices;
    EXPECT_NE(notices.find("captions.txt_e\" has lines longer than 4096 characters"), std::string::npos) << notices;
    EXPECT_EQ(TSampleForm().Hint("aStop"), QStringLiteral("Stops"));
}

TEST(IsNumber, AcceptsOnlyDigitsPointsAndCommas)
{
    const std::pair<const char*, bool> cases[] = {{"100", true}, {"1,5", true}, {"...", true}, {"", false}, {"1 5", false}, {"-1", false}, {"x1", false}};
    for (const auto& [text, number] : cases)
        EXPECT_EQ(IsNumber(QString::fromUtf8(text)), number) << text;
}
