// The file-format registration: the window's reading of a filter, the keys it writes in
// the classes root, and the user's desktop following the association.

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include <filesystem>
#include <functional>
#include <optional>

#include "DesktopAssociation.h"
#include "FileTypeRegistration.h"
#include "FormatAssociation.h"
#include "GuiTest.h"
#include "Registry.h"

namespace {

// The classes root's default value of `key`; nothing when the key does not exist.
std::optional<std::string> ClassesValue(const std::string& key)
{
    TRegistry registry(TRegistryRoot::ClassesRoot);
    if (!registry.OpenKey("\\" + key, false))
        return std::nullopt;
    return registry.ReadString("").value_or("<not a string>");
}

void SetClassesValue(const std::string& key, const std::string& value)
{
    TRegistry registry(TRegistryRoot::ClassesRoot);
    registry.OpenKey("\\" + key, true);
    registry.WriteString("", value);
}

QString Executable() { return QCoreApplication::applicationFilePath(); }

// What the registration window showed for a filter.
struct TShownForm {
    bool Shown = false;
    QString Title;
    QStringList Captions;
    QList<int> Tops;
    QList<bool> Checked;
    bool AllButtonVisible = false;
};

} // namespace

// Every test keeps the desktop's data and configuration in its own folders.
class FileFormats : public ::testing::Test, public TGuiFixtureBase {
protected:
    FileFormats()
    {
        for (const auto& [variable, folder] : Variables)
            qputenv(variable, Xdg(folder).toLocal8Bit());
        // The system's MIME database stays in sight, as it is on a desktop.
        qputenv("XDG_DATA_DIRS", (Xdg("system-data") + QStringLiteral(":/usr/local/share:/usr/share")).toLocal8Bit());
    }
    ~FileFormats() override
    {
        for (const auto& [variable, folder] : Variables)
            qunsetenv(variable);
    }

    QString Xdg(const char* folder) const { return QString::fromStdString((Folder.Path() / folder).string()); }
    QString MimeAppsList() const { return Xdg("config") + QStringLiteral("/mimeapps.list"); }
    QString DesktopEntry() const { return Xdg("data") + QStringLiteral("/applications/selvane.desktop"); }

    // Opens the window for `filter`; `act` may change its boxes and press a button, else
    // Cancel closes it.
    TShownForm Show(const QString& filter, const std::function<void(QWidget*)>& act = {})
    {
        TShownForm shown;
        TModalAnswer answer(TDialogNamed{QStringLiteral("TFormatAssociateForm")}, [&](QWidget* form) {
            shown.Shown = true;
            shown.Title = form->windowTitle();
            for (QCheckBox* box : form->findChild<QWidget*>(QStringLiteral("ScrollBoxContents"))->findChildren<QCheckBox*>()) {
                shown.Captions << box->text();
                shown.Tops << box->y();
                shown.Checked << box->isChecked();
            }
            shown.AllButtonVisible = !form->findChild<QPushButton*>(QStringLiteral("AllButton"))->isHidden();
            if (act)
                act(form);
            else
                form->findChild<QPushButton*>(QStringLiteral("CloseButton"))->click();
        });
        TFormatAssociateForm::Execute(filter, 0, false);
        return shown;
    }

    // Runs `xdg-mime` of the desktop with this test's folders.
    QString XdgMime(const QStringList& arguments) const
    {
        QProcess process;
        process.start(QStringLiteral("xdg-mime"), arguments);
        process.waitForFinished(20000);
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    static inline const std::pair<const char*, const char*> Variables[] = {
        {"XDG_DATA_HOME", "data"}, {"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_DIRS", "system-data"}, {"XDG_CONFIG_DIRS", "system-config"}};
};

TEST_F(FileFormats, TheFilterGivesOneBoxPerPattern)
{
    const struct {
        const char* filter;
        QStringList captions;
        bool allButton;
    } cases[] = {
        {"XML (*.xml)|*.xml|", {"XML (*.xml)"}, false},
        // Without the final "|" the pattern list is read as one more description.
        {"XML (*.xml)|*.xml", {"XML (*.xml)", "(*.xml)"}, true},
        {"Documents (*.doc;*.rtf, *.txt)|*.doc;*.rtf;*.txt|XSL (*.xsl)|*.xsl|",
         {"Documents (*.doc)", "Documents (*.rtf)", "Documents (*.txt)", "XSL (*.xsl)"}, true},
        // An extension without a closing ")" runs to the description's end.
        {"Text *.text|*.text|", {"Text(*.text)"}, false},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(example.filter);
        const TShownForm shown = Show(QString::fromUtf8(example.filter));
        ASSERT_TRUE(shown.Shown);
        EXPECT_EQ(shown.Title, QStringLiteral("Register File Formats Selvane Dialog"));
        EXPECT_EQ(shown.Captions, example.captions);
        EXPECT_EQ(shown.AllButtonVisible, example.allButton);
        ASSERT_FALSE(shown.Tops.isEmpty());
        EXPECT_EQ(shown.Tops.first(), 4);
        for (qsizetype i = 1; i < shown.Tops.size(); ++i)
            EXPECT_GT(shown.Tops[i], shown.Tops[i - 1] + 4);
    }
}

TEST_F(FileFormats, AFilterWithoutPatternsShowsNoWindow)
{
    for (const char* filter : {"", "Everything|*|", "Plain text|txt|"}) {
        SCOPED_TRACE(filter);
        bool shown = false;
        QTimer::singleShot(1000, [&] {
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                shown = true;
                modal->reject();
            }
        });
        TFormatAssociateForm::Execute(QString::fromUtf8(filter), 0, false);
        QTest::qWait(1100);
        EXPECT_FALSE(shown);
    }
}

TEST_F(FileFormats, SelectAllChecksEveryBox)
{
    const TShownForm shown = Show(QStringLiteral("XML (*.xml;*.xsl)|*.xml;*.xsl|"), [](QWidget* form) {
        auto* all = form->findChild<QPushButton*>(QStringLiteral("AllButton"));
        QTest::mouseClick(all, Qt::LeftButton);
        for (QCheckBox* box : form->findChildren<QCheckBox*>())
            EXPECT_TRUE(box->isChecked()) << box->text().toStdString();
        form->findChild<QPushButton*>(QStringLiteral("CloseButton"))->click();
    });
    EXPECT_EQ(shown.Checked, QList<bool>({false, false}));
    // Cancel registers nothing.
    EXPECT_EQ(ClassesValue(".xml"), std::nullopt);
}

TEST_F(FileFormats, RegisterWritesTheKeysAndUncheckingEmptiesOnlyTheExtension)
{
    const std::string quoted = "\"" + Executable().toStdString() + "\"";
    const QString filter = QStringLiteral("XML (*.xml)|*.xml|");
    const TShownForm first = Show(filter, [](QWidget* form) {
        QTest::mouseClick(form->findChild<QCheckBox*>(), Qt::LeftButton, {}, QPoint(6, 8));
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("AssociateButton")), Qt::LeftButton);
    });
    EXPECT_EQ(first.Checked, QList<bool>{false});
    EXPECT_EQ(ClassesValue(".xml"), "SelvaneDialog.0");
    EXPECT_EQ(ClassesValue("SelvaneDialog.0"), "");
    EXPECT_EQ(ClassesValue("SelvaneDialog.0\\DefaultIcon"), quoted + ",0");
    EXPECT_EQ(ClassesValue("SelvaneDialog.0\\Shell\\Open\\Command"), quoted + " \"%1\"");

    const TShownForm second = Show(filter, [](QWidget* form) {
        QTest::mouseClick(form->findChild<QCheckBox*>(), Qt::LeftButton, {}, QPoint(6, 8));
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("AssociateButton")), Qt::LeftButton);
    });
    EXPECT_EQ(second.Checked, QList<bool>{true});
    EXPECT_EQ(ClassesValue(".xml"), "");
    EXPECT_EQ(ClassesValue("SelvaneDialog.0\\Shell\\Open\\Command"), quoted + " \"%1\"");
    EXPECT_EQ(Show(filter).Checked, QList<bool>{false});
}

TEST_F(FileFormats, AnExtensionOfAnotherProgramIsLeftAlone)
{
    SetClassesValue(".xml", "OtherEditor.1");
    const TShownForm shown = Show(QStringLiteral("XML (*.xml)|*.xml|"), [](QWidget* form) {
        form->findChild<QPushButton*>(QStringLiteral("AssociateButton"))->click();
    });
    EXPECT_EQ(shown.Checked, QList<bool>{false});
    EXPECT_EQ(ClassesValue(".xml"), "OtherEditor.1");
    EXPECT_FALSE(QFile::exists(MimeAppsList()));
}

TEST_F(FileFormats, TypeNamesAndIconsFollowTheExtensionAndDescription)
{
    const struct {
        const char* extension;
        const char* typeName;
        const char* description;
        int icon;
        std::optional<std::string> type;
        std::optional<std::string> iconValue;
    } cases[] = {
        {"XML", "My Editor", "", 3, "MyEditor.3", "\"/opt/my editor/edit\",3"},
        {".xsl", "My Editor", "Style sheet", 0, "MyEditor.xsl", "\"/opt/my editor/edit\",0"},
        {".ICO", "My Editor", "", 2, "MyEditor.ico", "\"%1\""},
        {".cfg", "My Editor", "", -1, "MyEditor.-1", std::nullopt},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(example.extension);
        RegisterFileType(QString::fromUtf8(example.extension), QString::fromUtf8(example.typeName), QString::fromUtf8(example.description),
                         QStringLiteral("/opt/my editor/edit"), example.icon);
        const std::string extension = QString::fromUtf8(example.extension).toLower().prepend(example.extension[0] == '.' ? "" : ".").toStdString();
        EXPECT_EQ(ClassesValue(extension), example.type);
        EXPECT_EQ(ClassesValue(*example.type), example.description);
        EXPECT_EQ(ClassesValue(*example.type + "\\DefaultIcon"), example.iconValue);
        EXPECT_EQ(ClassesValue(*example.type + "\\Shell\\Open\\Command"), "\"/opt/my editor/edit\" \"%1\"");
        EXPECT_TRUE(IsAssociated(QString::fromUtf8(example.extension), QStringLiteral("My Editor")));
        EXPECT_FALSE(IsAssociated(QString::fromUtf8(example.extension), QStringLiteral("My")));
    }
    // Removing an icon type's association writes nothing.
    RegisterFileType(QStringLiteral(".ico"), QString(), QString(), QString(), 0);
    EXPECT_EQ(ClassesValue(".ico"), "MyEditor.ico");
    RegisterFileType(QStringLiteral(".cfg"), QString(), QString(), QString(), 0);
    EXPECT_EQ(ClassesValue(".cfg"), "");
    EXPECT_FALSE(IsAssociated(QStringLiteral("cfg"), QStringLiteral("My Editor")));
    SetClassesValue(".txt", "MyEditor");
    EXPECT_FALSE(IsAssociated(QStringLiteral(".txt"), QStringLiteral("MyEditor")));
}

TEST_F(FileFormats, ARegistryThatCannotBeWrittenIsReportedAndTheWindowStays)
{
    // A hive folder below a plain file cannot be created, not even by the superuser.
    Folder.Write("plain", "x");
    qputenv("SELVANE_HIVE_DIR", QString::fromStdString((Folder.Path() / "plain" / "hive").string()).toLocal8Bit());
    EXPECT_THROW(RegisterFileType(QStringLiteral(".xml"), QStringLiteral("Selvane Dialog"), QString(), QString(), 0), ERegistryException);

    bool stayed = false;
    QString error;
    Show(QStringLiteral("XML (*.xml)|*.xml|"), [&](QWidget* form) {
        form->findChild<QCheckBox*>()->setChecked(true);
        TModalAnswer box(QStringLiteral("OK"));
        form->findChild<QPushButton*>(QStringLiteral("AssociateButton"))->click();
        EXPECT_TRUE(box.Answered());
        error = box.Text();
        stayed = form->isVisible();
        form->findChild<QPushButton*>(QStringLiteral("CloseButton"))->click();
    });
    EXPECT_TRUE(stayed);
    EXPECT_TRUE(error.startsWith(QStringLiteral("Failed to set data for ''"))) << error.toStdString();
    EXPECT_FALSE(QFile::exists(DesktopEntry()));
}

TEST_F(FileFormats, TheDesktopFollowsTheAssociation)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty())
        GTEST_SKIP() << "xdg-utils is not installed";
    // Another program's defaults and the user's own lines stay as they are, byte for byte.
    const QByteArray others = "# my defaults\r\n[Default Applications]\r\ntext/plain=gedit.desktop;\r\n\r\n[Added Associations]\r\n"
                              "application/xml=gedit.desktop;\r\n";
    QDir().mkpath(Xdg("config"));
    QFile list(MimeAppsList());
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write(others);
    list.close();

    RegisterFileType(QStringLiteral(".xml"), QStringLiteral("Selvane Dialog"), QString(), QString(), 0);
    EXPECT_EQ(XdgMime({QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("application/xml")}), QStringLiteral("selvane.desktop"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    const QByteArray associated = list.readAll();
    list.close();
    EXPECT_EQ(associated.toStdString(), QByteArray(others).insert(others.indexOf("text/plain"), "application/xml=selvane.desktop;\r\n").toStdString());
    QFile entry(DesktopEntry());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray entryText = entry.readAll();
    EXPECT_TRUE(entryText.contains("\nExec=" + Executable().toUtf8() + " %f\n")) << entryText.toStdString();
    EXPECT_TRUE(entryText.contains("\nMimeType=application/xml;\n"));
    EXPECT_TRUE(entryText.contains("\nIcon=selvane\n"));
    if (const QString validate = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")); !validate.isEmpty()) {
        QProcess process;
        process.start(validate, {DesktopEntry()});
        process.waitForFinished(20000);
        EXPECT_EQ(process.exitCode(), 0) << process.readAll().toStdString();
    }

    // An extension the MIME database does not know gets a type of the program's own.
    RegisterFileType(QStringLiteral(".selvanetest"), QStringLiteral("Selvane Dialog"), QString(), QString(), 0);
    EXPECT_EQ(MimeTypeOfExtension(QStringLiteral(".selvanetest")), QStringLiteral("application/x-selvane-selvanetest"));
    EXPECT_TRUE(QFile::exists(Xdg("data") + QStringLiteral("/mime/packages/selvane-selvanetest.xml")));
    EXPECT_EQ(XdgMime({QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("application/x-selvane-selvanetest")}),
              QStringLiteral("selvane.desktop"));

    RegisterFileType(QStringLiteral(".xml"), QString(), QString(), QString(), 0);
    RegisterFileType(QStringLiteral(".selvanetest"), QString(), QString(), QString(), 0);
    EXPECT_NE(XdgMime({QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("application/xml")}), QStringLiteral("selvane.desktop"));
    EXPECT_FALSE(QFile::exists(Xdg("data") + QStringLiteral("/mime/packages/selvane-selvanetest.xml")));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(list.readAll().toStdString(), others.toStdString());
}

// A registration is all or nothing: when the desktop refuses its part, the error names the
// file and the reason, and the classes root holds what it held before.
TEST_F(FileFormats, ARefusedDesktopPartLeavesTheClassesRootAsItWas)
{
    const struct {
        const char* name;
        std::function<void()> refuse;
        QString file;
        const char* reason;
    } cases[] = {
        {"a FIFO for the list", [this] { ::mkfifo(MimeAppsList().toLocal8Bit().constData(), 0600); }, MimeAppsList(), "Not a regular file"},
        {"a folder for the list", [this] { QDir().mkpath(MimeAppsList()); }, MimeAppsList(), "Not a regular file"},
        {"the list a link to /dev/zero", [this] { QFile::link(QStringLiteral("/dev/zero"), MimeAppsList()); }, MimeAppsList(),
         "Not a regular file"},
        {"a FIFO for the desktop entry", [this] { ::mkfifo(DesktopEntry().toLocal8Bit().constData(), 0600); }, DesktopEntry(),
         "Not a regular file"},
        {"a list of 3 GiB",
         [this] {
             QFile list(MimeAppsList());
             list.open(QIODevice::WriteOnly);
             list.resize(3LL << 30);
         },
         MimeAppsList(), "File too large"},
        // Not even the superuser creates a folder below a plain file.
        {"the configuration folder a plain file",
         [this] {
             QDir(Xdg("config")).removeRecursively();
             QFile(Xdg("config")).open(QIODevice::WriteOnly);
         },
         MimeAppsList(), nullptr},
    };
    TRegistry classes(TRegistryRoot::ClassesRoot);
    for (const auto& refusal : cases) {
        SCOPED_TRACE(refusal.name);
        QDir(Xdg("config")).removeRecursively();
        QFile::remove(Xdg("config"));
        QDir(Xdg("data")).removeRecursively();
        QDir().mkpath(Xdg("config"));
        QDir().mkpath(Xdg("data") + QStringLiteral("/applications"));
        classes.DeleteKey("\\.xml");
        classes.DeleteKey("\\SelvaneDialog.0");
        refusal.refuse();
        try {
            RegisterFileType(QStringLiteral(".xml"), QStringLiteral("Selvane Dialog"), QString(), QString(), 0);
            ADD_FAILURE() << "no error";
        } catch (const ERegistryException& error) {
            const std::string expected = "Failed to set data for ''. Cannot write \"" + refusal.file.toStdString() + "\"";
            EXPECT_THAT(error.what(), ::testing::StartsWith(expected));
            if (refusal.reason) {
                EXPECT_THAT(error.what(), ::testing::EndsWith(refusal.reason));
            }
        }
        EXPECT_FALSE(IsAssociated(QStringLiteral(".xml"), QStringLiteral("Selvane Dialog")));
        EXPECT_FALSE(classes.KeyExists("\\.xml"));
        EXPECT_FALSE(classes.KeyExists("\\SelvaneDialog.0"));
        if (refusal.file != DesktopEntry()) {
            EXPECT_FALSE(QFile::exists(DesktopEntry()));
        }
    }
}

// Taking an association away gives mimeapps.list back byte for byte, whatever shape it had.
TEST_F(FileFormats, RemovalGivesTheListBackAsItWas)
{
    const std::optional<QByteArray> lists[] = {
        std::nullopt,
        QByteArray("[Added Associations]\ntext/plain=gedit.desktop;"),
        QByteArray("[Default Applications]\r\ntext/plain=gedit.desktop;"),
        QByteArray("# only a comment\n"),
        QByteArray("[Default Applications]\napplication/xml=gedit.desktop;\n"),
    };
    for (const std::optional<QByteArray>& before : lists) {
        SCOPED_TRACE(before.value_or("<none>").toStdString());
        QDir(Xdg("config")).removeRecursively();
        QDir().mkpath(Xdg("config"));
        QFile list(MimeAppsList());
        if (before) {
            ASSERT_TRUE(list.open(QIODevice::WriteOnly));
            list.write(*before);
            list.close();
        }
        RegisterFileType(QStringLiteral(".xml"), QStringLiteral("Selvane Dialog"), QString(), QString(), 0);
        ASSERT_TRUE(IsAssociated(QStringLiteral(".xml"), QStringLiteral("Selvane Dialog")));
        RegisterFileType(QStringLiteral(".xml"), QString(), QString(), QString(), 0);
        EXPECT_EQ(QFile::exists(MimeAppsList()), before.has_value());
        if (before) {
            ASSERT_TRUE(list.open(QIODevice::ReadOnly));
            EXPECT_EQ(list.readAll().toStdString(), before->toStdString());
            list.close();
        }
    }
}

TEST_F(FileFormats, ExecLinesQuoteWhatTheDesktopWouldSplit)
{
    const struct {
        const char* executable;
        const char* exec;
    } cases[] = {
        {"/opt/selvane/bin/selvane", "Exec=/opt/selvane/bin/selvane %f"},
        {"/opt/my tools/selvane", "Exec=\"/opt/my tools/selvane\" %f"},
        {"/opt/100%/sel$vane", "Exec=\"/opt/100%%/sel\\\\$vane\" %f"},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(example.executable);
        MirrorDesktopAssociation(QStringLiteral(".xml"), true, QString::fromUtf8(example.executable));
        QFile entry(DesktopEntry());
        ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
        EXPECT_TRUE(entry.readAll().contains(QByteArray("\n") + example.exec + "\n"));
    }
}
