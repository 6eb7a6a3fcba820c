#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
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

} // namespace
