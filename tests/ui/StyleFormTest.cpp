#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QImage>
#include <QTest>

#include "GuiTest.h"
#include "StyleForm.h"

namespace {

// A window built as the program's windows are: its own controls first, then the look.
class TPlainForm : public TStyleForm {
public:
    TPlainForm()
    {
        resize(120, 80);
        FinishCreate();
    }
};

// Shows `form`, makes it the active window and waits until any fade-in has finished.
bool ShowActive(TStyleForm& form)
{
    form.show();
    form.activateWindow();
    return QTest::qWaitFor([&] { return form.isActiveWindow() && form.windowOpacity() == 1.0; });
}

// A 10 by 10 picture: one red pixel at its top-left corner, blue elsewhere.
QString WritePicture(const TTempFolder& folder, const char* name, QColor corner)
{
    QImage picture(10, 10, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    picture.setPixelColor(0, 0, corner);
    const QString file = QString::fromStdString((folder.Path() / name).string());
    return picture.save(file) ? file : QString();
}

QColor PixelOf(TStyleForm& form, int x, int y) { return form.grab().toImage().pixelColor(x, y); }

class StyleForm : public ::testing::Test, public TGuiFixtureBase {
protected:
    TProgramSetup Setup{"Software\\Velmarco"};
};

TEST_F(StyleForm, FadingStoredAsZeroKeepsWindowsOpaqueWhenActiveAndInactive)
{
    Setup.WriteBool("fadeinout", false);
    TPlainForm first;
    ASSERT_TRUE(ShowActive(first));
    TPlainForm second;
    ASSERT_TRUE(ShowActive(second));
    EXPECT_FALSE(first.isActiveWindow());
    EXPECT_EQ(first.windowOpacity(), 1.0);
}

TEST_F(StyleForm, FadingStoredAsTextIsIgnoredAndWindowsFadeWithActivation)
{
    Setup.WriteString("fadeinout", "0");
    TPlainForm first;
    first.show();
    EXPECT_DOUBLE_EQ(first.windowOpacity(), 120 / 255.0);
    first.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.isActiveWindow() && first.windowOpacity() == 1.0; }));

    // Another window taking the focus fades the first one out again.
    TPlainForm second;
    ASSERT_TRUE(ShowActive(second));
    EXPECT_TRUE(QTest::qWaitFor([&] { return first.windowOpacity() == 120 / 255.0; }));
}

TEST_F(StyleForm, BackgroundPictureIsTiledAndTheLastFormCreatedChoosesItForAll)
{
    Setup.WriteBool("background", true);
    Setup.WriteString("backbitmap", WritePicture(Folder, "red.png", Qt::red).toStdString());
    TPlainForm first;
    EXPECT_EQ(PixelOf(first, 0, 0), QColor(Qt::red));
    EXPECT_EQ(PixelOf(first, 5, 5), QColor(Qt::blue));
    EXPECT_EQ(PixelOf(first, 30, 20), QColor(Qt::red));
    EXPECT_EQ(PixelOf(first, 110, 70), QColor(Qt::red));

    // One picture serves every form, loaded again by each form created.
    Setup.WriteString("backbitmap", WritePicture(Folder, "green.bmp", Qt::green).toStdString());
    TPlainForm second;
    EXPECT_EQ(PixelOf(first, 20, 10), QColor(Qt::green));
    EXPECT_EQ(PixelOf(second, 20, 10), QColor(Qt::green));
}

TEST_F(StyleForm, BackgroundStaysPlainWithoutItsSwitchOrItsFile)
{
    const QColor plain = TPlainForm().palette().color(QPalette::Window);
    const QString picture = WritePicture(Folder, "tile.png", Qt::red);

    // A picture named but the switch off.
    Setup.WriteString("backbitmap", picture.toStdString());
    TPlainForm off;
    EXPECT_EQ(PixelOf(off, 0, 0), plain);

    // The switch on after another form loaded a picture, but no file of that name.
    Setup.WriteBool("background", true);
    TPlainForm loaded;
    ASSERT_EQ(PixelOf(loaded, 0, 0), QColor(Qt::red));
    Setup.WriteString("backbitmap", (Folder.Path() / "missing.bmp").string());
    TPlainForm missing;
    EXPECT_EQ(PixelOf(missing, 0, 0), plain);
    EXPECT_EQ(PixelOf(missing, 10, 10), plain);
}

TEST_F(StyleForm, BackgroundFileDefaultsToBackgroundBmpInTheCurrentFolder)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(Folder.Path().string())));
    WritePicture(Folder, "background.bmp", Qt::red);
    Setup.WriteBool("background", true);
    TPlainForm form;
    QDir::setCurrent(previous);
    EXPECT_EQ(form.BackgroundFile, QStringLiteral("background.bmp"));
    EXPECT_EQ(PixelOf(form, 10, 0), QColor(Qt::red));
}

} // namespace
