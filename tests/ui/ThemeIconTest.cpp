#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QStyle>
#include <QStyleFactory>

#include <fstream>
#include <string>

#include "GuiTest.h"
#include "ThemeIcon.h"

namespace {

// A theme "demo" that inherits "base", each with a folder of 16 px pictures, under a
// search path of its own; the pictures are filled with one colour each.
class ThemeIcons : public ::testing::Test {
protected:
    void SetUp() override
    {
        FSavedName = QIcon::themeName();
        FSavedPaths = QIcon::themeSearchPaths();
        Theme("demo", "Inherits=base\n", {{"list-add", Qt::red}});
        Theme("base", "", {{"list-add", Qt::green}, {"go-up", Qt::blue}});
        QIcon::setThemeSearchPaths({QString::fromStdString((Folder.Path() / "icons").string())});
        QIcon::setThemeName(QStringLiteral("demo"));
    }
    void TearDown() override
    {
        QIcon::setThemeSearchPaths(FSavedPaths);
        QIcon::setThemeName(FSavedName);
    }
    void Theme(const std::string& name, const std::string& inherits, std::initializer_list<std::pair<const char*, Qt::GlobalColor>> icons)
    {
        const auto folder = Folder.Path() / "icons" / name;
        std::filesystem::create_directories(folder / "16x16" / "actions");
        std::ofstream(folder / "index.theme") << "[Icon Theme]\nName=" << name << "\n" << inherits
                                              << "Directories=16x16/actions\n\n[16x16/actions]\nSize=16\nContext=Actions\nType=Fixed\n";
        for (const auto& [icon, colour] : icons) {
            QImage picture(16, 16, QImage::Format_ARGB32);
            picture.fill(colour);
            picture.save(QString::fromStdString((folder / "16x16" / "actions" / (std::string(icon) + ".png")).string()));
        }
    }
    static QRgb Colour(const QIcon& icon) { return icon.pixmap(16, 16).toImage().pixel(8, 8); }

    TTempFolder Folder;
    QString FSavedName;
    QStringList FSavedPaths;
};

// The theme's own picture first, then an inherited theme's, else the style's icon; a
// change of theme is followed.
TEST_F(ThemeIcons, TheThemesPictureElseAnInheritedOneElseTheStyles)
{
    const QStyle* style = QApplication::style();
    EXPECT_EQ(Colour(ThemeIcon(QStringLiteral("list-add"), style, QStyle::SP_TrashIcon)), QColor(Qt::red).rgb());
    EXPECT_EQ(Colour(ThemeIcon(QStringLiteral("go-up"), style, QStyle::SP_TrashIcon)), QColor(Qt::blue).rgb());
    const QIcon missing = ThemeIcon(QStringLiteral("list-add-more"), style, QStyle::SP_TrashIcon);
    EXPECT_EQ(missing.pixmap(16, 16).toImage(), style->standardIcon(QStyle::SP_TrashIcon).pixmap(16, 16).toImage());
    QIcon::setThemeName(QStringLiteral("base"));
    EXPECT_EQ(Colour(ThemeIcon(QStringLiteral("list-add"), style, QStyle::SP_TrashIcon)), QColor(Qt::green).rgb());

    // A style replaced before the icon is first drawn leaves it to the application's.
    auto* gone = QStyleFactory::create(QStringLiteral("Fusion"));
    const QIcon orphan = ThemeIcon(QStringLiteral("list-add-more"), gone, QStyle::SP_TrashIcon);
    delete gone;
    EXPECT_EQ(orphan.pixmap(16, 16).toImage(), style->standardIcon(QStyle::SP_TrashIcon).pixmap(16, 16).toImage());
}

} // namespace
