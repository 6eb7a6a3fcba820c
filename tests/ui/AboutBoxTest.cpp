#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "ComponentSettings.h"
#include "DlgSelvane.h"
#include "GuiTest.h"
#include "PaintBox.h"
#include "ProductData.h"
#include "stdAbout.h"

namespace {

const QString Program = QStringLiteral(SELVANE_EXECUTABLE);

// Keeps the links the desktop is asked to open, instead of opening them.
class TOpened : public QObject {
    Q_OBJECT

public:
    TOpened() { QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "Open"); }
    ~TOpened() override { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }
    QStringList Urls;

public slots:
    void Open(const QUrl& url) { Urls << url.toString(); }
};

class AboutBox : public ::testing::Test, public TGuiFixtureBase {
protected:
    static QString Text(QWidget& box, const char* name) { return box.findChild<QLabel*>(QString::fromUtf8(name))->text(); }
    static QWidget* Control(QWidget& box, const char* name) { return box.findChild<QWidget*>(QString::fromUtf8(name)); }
    // The extra link lines, by their tag.
    static std::vector<QLabel*> Lines(QWidget& box)
    {
        std::vector<QLabel*> lines;
        for (QLabel* label : box.findChildren<QLabel*>())
            if (Tag(label) > 0)
                lines.push_back(label);
        std::sort(lines.begin(), lines.end(), [](QLabel* a, QLabel* b) { return Tag(a) < Tag(b); });
        return lines;
    }
    static QColor TextColor(QWidget* widget) { return widget->palette().color(QPalette::WindowText); }
    static bool Show(TAboutBox& box)
    {
        box.show();
        return QTest::qWaitForWindowExposed(&box);
    }
};

TEST_F(AboutBox, ShowsTheVersionRecordOfTheProgram)
{
    TAboutBox box(nullptr, Program);
    EXPECT_EQ(Text(box, "ProductNameLabel"), QStringLiteral("Selvane"));
    EXPECT_EQ(Text(box, "VersionLabel"), QStringLiteral("Version: " SELVANE_PRODUCT_VERSION));
    EXPECT_EQ(Text(box, "CompanyLabel"), QStringLiteral(SELVANE_COPYRIGHT));
    EXPECT_EQ(Text(box, "Label1"), QStringLiteral(SELVANE_AUTHOR));
    EXPECT_EQ(Text(box, "URLLinkLabel1"), QStringLiteral(SELVANE_WEB_ADDRESS));
    EXPECT_EQ(Text(box, "URLLinkLabel2"), QStringLiteral(SELVANE_MAIL_ADDRESS));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About ..."));
    EXPECT_EQ(box.size(), QSize(346, 221));
}

TEST_F(AboutBox, ControlsStandWhereDesigned)
{
    TAboutBox box(nullptr, Program);
    const struct {
        const char* name;
        int left, top;
        const char* text;
    } controls[] = {
        {"IconPaintBox", 8, 8, nullptr},  {"NpsLbl3d3", 56, 17, "Name:"},   {"ProductNameLabel", 120, 17, nullptr},
        {"NpsLbl3d5", 56, 41, "Version:"}, {"VersionLabel", 120, 41, nullptr}, {"NpsLbl3d4", 56, 65, "Company:"},
        {"CompanyLabel", 120, 65, nullptr}, {"Bevel1", 56, 90, nullptr},     {"NpsLbl3d6", 56, 105, "Autor:"},
        {"Label1", 119, 105, nullptr},     {"NpsLbl3d2", 56, 129, "Home:"},  {"URLLinkLabel1", 120, 128, nullptr},
        {"NpsLbl3d1", 56, 154, "Mail:"},   {"URLLinkLabel2", 120, 152, nullptr}, {"OkBtn", 261, 188, nullptr},
    };
    for (const auto& c : controls) {
        QWidget* control = Control(box, c.name);
        ASSERT_NE(control, nullptr) << c.name;
        EXPECT_EQ(control->pos(), QPoint(c.left, c.top)) << c.name;
        if (c.text) {
            EXPECT_EQ(control->property("text").toString(), QString::fromUtf8(c.text)) << c.name;
        }
    }
    EXPECT_EQ(Control(box, "IconPaintBox")->size(), QSize(32, 32));
    EXPECT_EQ(Control(box, "Bevel1")->width(), 281);
    EXPECT_EQ(Control(box, "OkBtn")->size(), QSize(75, 25));
}

TEST_F(AboutBox, ExecutableWithoutRecordIsReportedAndTheBoxKeepsItsDesignTexts)
{
    TModalAnswer report(QStringLiteral("OK"));
    // The test program carries no version record.
    TAboutBox box;
    EXPECT_TRUE(report.Answered());
    EXPECT_EQ(report.Text(), QStringLiteral("File contains no version information"));
    EXPECT_EQ(Text(box, "ProductNameLabel"), QStringLiteral("ProductName"));
    EXPECT_EQ(Text(box, "VersionLabel"), QStringLiteral("Version"));
    EXPECT_EQ(Text(box, "CompanyLabel"), QStringLiteral("Company"));
}

TEST_F(AboutBox, ThreeLinksGrowTheBoxByFortyAndStandTwentyApart)
{
    TAboutBox box(nullptr, Program);
    box.Links = {QStringLiteral("One;http://one.example.org"), QStringLiteral("Two;http://two.example.org"),
                 QStringLiteral("Three;http://three.example.org")};
    box.LinkSpacing = 20;
    ASSERT_TRUE(Show(box));
    EXPECT_EQ(box.size(), QSize(346, 261));
    const std::vector<QLabel*> lines = Lines(box);
    ASSERT_EQ(lines.size(), 3u);
    const int tops[] = {90, 110, 130};
    const char* captions[] = {"One", "Two", "Three"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(lines[i]->pos(), QPoint(120, tops[i]));
        EXPECT_EQ(lines[i]->text(), QString::fromUtf8(captions[i]));
        EXPECT_TRUE(lines[i]->font().underline());
        EXPECT_EQ(TextColor(lines[i]), QColor(0, 0, 255));
    }
    EXPECT_EQ(lines[1]->toolTip(), QStringLiteral("http://two.example.org"));
    EXPECT_EQ(Control(box, "OkBtn")->pos(), QPoint(261, 228));
    EXPECT_EQ(Control(box, "Bevel1")->pos(), QPoint(56, 130));
}

TEST_F(AboutBox, EntryWithoutCaptionAddsAnEmptyLineAndNoGrowth)
{
    TAboutBox box(nullptr, Program);
    box.Links = {QStringLiteral("http://" SELVANE_WEB_ADDRESS)};
    ASSERT_TRUE(Show(box));
    EXPECT_EQ(box.size(), QSize(346, 221));
    const std::vector<QLabel*> lines = Lines(box);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0]->text().isEmpty());
    EXPECT_EQ(lines[0]->toolTip(), QStringLiteral("http://" SELVANE_WEB_ADDRESS));
}

TEST_F(AboutBox, LinkLinesTurnPurpleUnderTheMouseAndOpenTheirTargetAsItStands)
{
    TOpened opened;
    TAboutBox box(nullptr, Program);
    box.Links = {QStringLiteral("One;http://one.example.org/a"), QStringLiteral("Two;http://two.example.org/b")};
    ASSERT_TRUE(Show(box));
    const std::vector<QLabel*> lines = Lines(box);
    ASSERT_EQ(lines.size(), 2u);
    QTest::mouseMove(lines[1], QPoint(3, 3));
    EXPECT_TRUE(QTest::qWaitFor([&] { return TextColor(lines[1]) == QColor(128, 0, 128); }));
    EXPECT_EQ(TextColor(lines[0]), QColor(0, 0, 255));
    QTest::mouseMove(Control(box, "URLLinkLabel1"), QPoint(3, 3));
    EXPECT_TRUE(QTest::qWaitFor([&] { return TextColor(lines[1]) == QColor(0, 0, 255); }));
    EXPECT_EQ(TextColor(Control(box, "URLLinkLabel1")), QColor(0, 0, 255)) << "a design-time link has tag 0";
    QTest::mouseClick(lines[1], Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(opened.Urls, QStringList{QStringLiteral("http://two.example.org/b")});
}

TEST_F(AboutBox, ShowAboutBoxRunsUntilOkCloses)
{
    TModalAnswer ok(QStringLiteral("OkBtn"), [](QWidget* box) {
        EXPECT_EQ(box->objectName(), QStringLiteral("TAboutBox"));
        EXPECT_EQ(box->height(), 241);
    });
    TModalAnswer report(QStringLiteral("OK"));
    ShowAboutBox({QStringLiteral("a;b"), QStringLiteral("c;d")}, 20);
    EXPECT_TRUE(report.Answered());
    EXPECT_TRUE(ok.Answered());
}

QImage IconAt(const QIcon& icon, int size) { return icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32); }

TEST_F(AboutBox, ShowsTheProgramIconWhichEveryWindowCarries)
{
    const QIcon icon = QApplication::windowIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 48}) {
        const QImage image = IconAt(icon, size);
        EXPECT_EQ(image.size(), QSize(size, size));
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << "the rounded corner is transparent";
        EXPECT_EQ(image.pixelColor(size / 2, size * 3 / 4).alpha(), 255);
    }
    TAboutBox box(nullptr, Program);
    auto* paintBox = box.findChild<TPaintBox*>(QStringLiteral("IconPaintBox"));
    EXPECT_EQ(paintBox->grab().toImage().convertToFormat(QImage::Format_ARGB32).pixelColor(16, 24), IconAt(icon, 32).pixelColor(16, 24));
    TfrmXMLDialog window;
    EXPECT_EQ(IconAt(window.windowIcon(), 16), IconAt(icon, 16));
    EXPECT_EQ(IconAt(box.windowIcon(), 48), IconAt(icon, 48));
}

} // namespace

#include "AboutBoxTest.moc"
