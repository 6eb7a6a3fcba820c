#include <gtest/gtest.h>

#include <initializer_list>

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

#include "DlgXMLServer.h"
#include "GuiTest.h"

namespace {

template <typename T = QWidget>
T* Control(QWidget* dialog, const char* name)
{
    auto* control = dialog->findChild<T*>(QString::fromUtf8(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

QLineEdit* FileField(QWidget* dialog) { return Control<TFilenameEdit>(dialog, "fexmlfile")->findChild<QLineEdit*>(QStringLiteral("edit")); }

class SourceDialog : public ::testing::Test, public TGuiFixtureBase {};

// Whatever the current source holds, even a server address, it goes into the file field.
TEST_F(SourceDialog, ShowsTheSourceInTheFileFieldAndKeepsTheRpcSectionDisabledOutOfSight)
{
    TModalAnswer answer(QStringLiteral("OKBtn"), [](QWidget* dialog) {
        EXPECT_EQ(FileField(dialog)->text(), QStringLiteral("http://server/rpc"));
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("XML Server"));
        EXPECT_EQ(dialog->size(), QSize(395, 103));
        EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
        EXPECT_TRUE(Control<QPushButton>(dialog, "OKBtn")->isDefault());
        EXPECT_TRUE(Control<QRadioButton>(dialog, "rbusefile")->isChecked());
        EXPECT_TRUE(Control(dialog, "fexmlfile")->isEnabled());

        const std::pair<const char*, QPoint> design[] = {
            {"OKBtn", {13, 68}},       {"CancelBtn", {95, 67}},  {"fexmlfile", {13, 34}},
            {"rbusefile", {13, 11}},   {"rbuserpc", {13, 221}},  {"erpcserver", {13, 246}},
            {"BtnRequest", {14, 280}}, {"BtnResponse", {115, 279}}, {"BtnFault", {216, 279}}};
        for (const auto& [name, position] : design)
            EXPECT_EQ(Control(dialog, name)->pos(), position) << name;
        EXPECT_EQ(Control(dialog, "fexmlfile")->width(), 372);
        EXPECT_EQ(Control(dialog, "erpcserver")->width(), 279);
        EXPECT_FALSE(Control<QLineEdit>(dialog, "erpcserver")->text().isEmpty());

        // A click on the RPC option does not choose it.
        auto* rpc = Control<QRadioButton>(dialog, "rbuserpc");
        QTest::mouseClick(rpc, Qt::LeftButton, {}, QPoint(5, rpc->height() / 2));
        EXPECT_FALSE(rpc->isChecked());
        for (const char* name : {"rbuserpc", "erpcserver", "BtnRequest", "BtnResponse", "BtnFault"}) {
            EXPECT_FALSE(Control(dialog, name)->isEnabled()) << name;
            EXPECT_GE(Control(dialog, name)->y(), 103) << name;
        }
        for (const char* name : {"BtnRequest", "BtnResponse", "BtnFault"})
            EXPECT_EQ(Control(dialog, name)->cursor().shape(), Qt::PointingHandCursor) << name;
    });
    EXPECT_EQ(SelectXmlSource(QStringLiteral("http://server/rpc")), QStringLiteral("http://server/rpc"));
    EXPECT_TRUE(answer.Answered());
}

TEST_F(SourceDialog, CancelEscapeAndCloseReturnTheCallersSourceAfterTyping)
{
    const std::function<void(QWidget*)> ways[] = {
        [](QWidget* dialog) { QTest::mouseClick(Control(dialog, "CancelBtn"), Qt::LeftButton); },
        [](QWidget* dialog) { QTest::keyClick(FileField(dialog), Qt::Key_Escape); },
        [](QWidget* dialog) { dialog->close(); },
    };
    for (const auto& way : ways) {
        TModalAnswer action(TDialogNamed{QStringLiteral("TDlgXMLServerList")}, [&way](QWidget* dialog) {
            QTest::keyClicks(FileField(dialog), QStringLiteral("other.xml"));
            way(dialog);
        });
        EXPECT_EQ(SelectXmlSource(QStringLiteral("old.xml")), QStringLiteral("old.xml"));
        EXPECT_TRUE(action.Answered());
    }
}

TEST_F(SourceDialog, EnterReturnsTheFieldAsTypedEvenWhenEmpty)
{
    for (const QString& typed : {QString(), QStringLiteral(" new name.xml ")}) {
        TModalAnswer action(TDialogNamed{QStringLiteral("TDlgXMLServerList")}, [&typed](QWidget* dialog) {
            QLineEdit* field = FileField(dialog);
            QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(field, Qt::Key_Backspace);
            QTest::keyClicks(field, typed);
            QTest::keyClick(field, Qt::Key_Return);
        });
        EXPECT_EQ(SelectXmlSource(QStringLiteral("old.xml")), typed);
        EXPECT_TRUE(action.Answered());
    }
}

TEST_F(SourceDialog, BrowsedPathWithBlanksIsShownQuotedAndReturnedWithoutQuotes)
{
    const QString folder = QString::fromStdString(Folder.Path().string());
    const QString chosen = QString::fromStdString(Folder.Write("my data.xml", "<A/>").string());
    TModalAnswer browse(TDialogNamed{QStringLiteral("BrowseDialog")}, [&folder](QWidget* widget) {
        auto* dialog = qobject_cast<QFileDialog*>(widget);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("XML files (*.xml)")});
        dialog->setDirectory(folder);
        QTest::keyClicks(Control<QLineEdit>(dialog, "fileNameEdit"), QStringLiteral("my data.xml"));
        QTest::mouseClick(Control<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Open), Qt::LeftButton);
    });
    TModalAnswer answer(QStringLiteral("OKBtn"), [&chosen](QWidget* dialog) {
        QTest::mouseClick(Control(dialog, "browse"), Qt::LeftButton);
        EXPECT_EQ(FileField(dialog)->text(), QLatin1Char('"') + chosen + QLatin1Char('"'));
    });
    EXPECT_EQ(SelectXmlSource(QString()), chosen);
    EXPECT_TRUE(browse.Answered());
}

// The example buttons are disabled and out of sight; their clicked signal still runs them.
// The lines of the box that the button shows, its title first.
QStringList ExampleShown(TDlgXMLServerList& dialog, const char* button)
{
    TModalAnswer answer(QStringLiteral("OK"));
    emit Control<QPushButton>(&dialog, button)->clicked();
    EXPECT_TRUE(answer.Answered()) << button;
    return QStringList{answer.Title()} + answer.Text().split(QLatin1Char('\n'));
}

QStringList Lines(std::initializer_list<const char*> lines)
{
    QStringList list;
    for (const char* line : lines)
        list << QString::fromUtf8(line);
    return list;
}

TEST_F(SourceDialog, RequestExampleShowsTheCallToTheServerTagByTag)
{
    TDlgXMLServerList dialog;
    Control<QLineEdit>(&dialog, "erpcserver")->setText(QStringLiteral("http://rpc.example/a&b"));
    EXPECT_EQ(ExampleShown(dialog, "BtnRequest"),
              Lines({"Selvane Dialog", "Request example:", "", "<?xml version=\"1.0\"?>", "<methodCall>",
                     "<methodName>http://rpc.example/a&amp;b</methodName>", "<params>",
                     "<value>", "<int>14</int>", "</value>", "<value>", "<i4>27</i4>", "</value>",
                     "<value>", "<boolean>1</boolean>", "</value>", "<value>", "<string>Hello, World!</string>", "</value>",
                     "<value>", "<double>12.214</double>", "</value>", "</params>", "</methodCall>"}));
}

TEST_F(SourceDialog, RequestExampleWithoutServerGoesToTheGeneralErrorReport)
{
    TDlgXMLServerList dialog;
    Control<QLineEdit>(&dialog, "erpcserver")->clear();
    EXPECT_EQ(ExampleShown(dialog, "BtnRequest"), Lines({"Error", "MethodName is not defined."}));
}

TEST_F(SourceDialog, ResponseExampleShowsTheCurrentLocalTime)
{
    TDlgXMLServerList dialog;
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-999);
    QStringList lines = ExampleShown(dialog, "BtnResponse");
    const QDateTime after = QDateTime::currentDateTime();

    ASSERT_EQ(lines.size(), 18);
    const QRegularExpressionMatch date = QRegularExpression(QStringLiteral("^<dateTime.iso8601>(\\d{8}T\\d\\d:\\d\\d:\\d\\d)</dateTime.iso8601>$")).match(lines[8]);
    ASSERT_TRUE(date.hasMatch()) << lines[8].toStdString();
    const QDateTime shown = QDateTime::fromString(date.captured(1), QStringLiteral("yyyyMMdd'T'HH:mm:ss"));
    EXPECT_LE(before, shown);
    EXPECT_LE(shown, after);
    lines[8] = QStringLiteral("date");
    EXPECT_EQ(lines, Lines({"Selvane Dialog", "Response example:", "", "<?xml version=\"1.0\"?>", "<methodResponse>", "<params>",
                            "<value>South Dakota</value>", "<value>", "date", "</value>", "<value>", "<boolean>0</boolean>",
                            "</value>", "<value>", "<base64>U2VsdmFuZQ==</base64>", "</value>", "</params>", "</methodResponse>"}));
}

TEST_F(SourceDialog, FaultExampleIsTheSameWhateverTheServerField)
{
    const QStringList fault = Lines({"Selvane Dialog", "(Fault) Response example:", "", "<?xml version=\"1.0\"?>",
                                     "<methodResponse>", "<fault>", "<value>", "<struct>",
                                     "<member>", "<name>faultCode</name>", "<value>", "<int>4</int>", "</value>", "</member>",
                                     "<member>", "<name>faultString</name>", "<value>", "<string>Too many paramaters.</string>",
                                     "</value>", "</member>", "</struct>", "</value>", "</fault>", "</methodResponse>"});
    // Title, heading and the empty line come before the 21 lines of the message.
    EXPECT_EQ(fault.size() - 3, 21);
    for (const QString& server : {QString(), QStringLiteral("http://localhost/")}) {
        TDlgXMLServerList dialog;
        Control<QLineEdit>(&dialog, "erpcserver")->setText(server);
        EXPECT_EQ(ExampleShown(dialog, "BtnFault"), fault);
    }
}

} // namespace
