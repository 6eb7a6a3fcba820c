#include "ThemeIcon.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QIconEngine>
#include <QPointer>
#include <QSettings>
#include <QSize>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

namespace {

struct TIconFile {
    QString path;
    int size; // 0 for a scalable picture
};

// Every icon file of the current theme chain by its name, from the first theme that has
// the name.
using TThemeIndex = QHash<QString, std::vector<TIconFile>>;

// The folder of `theme` that holds its index.theme, searched where the platform searches.
QString ThemeFolder(const QString& theme)
{
    for (const QString& base : QIcon::themeSearchPaths()) {
        const QString folder = base + QLatin1Char('/') + theme;
        if (QFileInfo(folder + QStringLiteral("/index.theme")).isFile())
            return folder;
    }
    return {};
}

// Adds the icons of `theme` that no earlier theme had, and returns the themes it inherits.
QStringList AddTheme(const QString& theme, TThemeIndex& index)
{
    const QString folder = ThemeFolder(theme);
    if (folder.isEmpty())
        return {};
    const QSettings description(folder + QStringLiteral("/index.theme"), QSettings::IniFormat);
    TThemeIndex found;
    for (const QString& directory : description.value(QStringLiteral("Icon Theme/Directories")).toStringList()) {
        const QString group = directory + QLatin1Char('/');
        const bool scalable = description.value(group + QStringLiteral("Type")).toString() == QStringLiteral("Scalable");
        const int size = scalable ? 0 : description.value(group + QStringLiteral("Size")).toInt();
        // The names are compared by hand: a name filter would match every file of a
        // large theme against a pattern, which cost more than the rest of the start.
        for (QDirIterator files(folder + QLatin1Char('/') + directory, QDir::Files); files.hasNext();) {
            const QString path = files.next();
            const QString name = files.fileName();
            const bool svg = name.endsWith(QLatin1String(".svg"));
            if (!svg && !name.endsWith(QLatin1String(".png")))
                continue;
            const QString iconName = name.chopped(4);
            if (!index.contains(iconName))
                found[iconName].push_back({path, svg ? 0 : size});
        }
    }
    for (auto it = found.begin(); it != found.end(); ++it)
        index.insert(it.key(), std::move(it.value()));
    return description.value(QStringLiteral("Icon Theme/Inherits")).toStringList();
}

// The index of the current theme, made again only when the theme or its search paths
// change.
const TThemeIndex& Index()
{
    static QStringList madeFor;
    static TThemeIndex index;
    const QStringList current = QStringList{QIcon::themeName()} + QIcon::themeSearchPaths();
    if (current != madeFor) {
        madeFor = current;
        index.clear();
        QStringList pending{QIcon::themeName(), QStringLiteral("hicolor")};
        QStringList seen;
        while (!pending.isEmpty()) {
            const QString theme = pending.takeFirst();
            if (theme.isEmpty() || seen.contains(theme))
                continue;
            seen << theme;
            const QStringList inherited = AddTheme(theme, index);
            // The inherited themes come before hicolor, which every theme ends in.
            for (qsizetype i = inherited.size() - 1; i >= 0; --i)
                pending.prepend(inherited[i]);
        }
    }
    return index;
}

// An icon made when it is first drawn or measured. Making an icon from files decodes
// every picture of it at once, and a window has tens of commands whose icons mostly
// stand in menus that may never open.
class TDeferredIcon final : public QIconEngine {
public:
    using TMake = std::function<QIcon()>;

    explicit TDeferredIcon(TMake make) : FMake(std::move(make)) {}

    QIconEngine* clone() const override
    {
        auto* copy = new TDeferredIcon(FMake);
        copy->FIcon = FIcon;
        copy->FMade = FMade;
        return copy;
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override { return Icon().actualSize(size, mode, state); }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override { return Icon().pixmap(size, mode, state); }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return Icon().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override { return Icon().availableSizes(mode, state); }
    QString iconName() override { return Icon().name(); }
    // Asked for every command of a menu to reserve room for icons; each has pictures.
    bool isNull() override { return false; }

private:
    const QIcon& Icon()
    {
        if (!FMade) {
            FIcon = FMake();
            FMade = true;
        }
        return FIcon;
    }

    TMake FMake;
    QIcon FIcon;
    bool FMade = false;
};

} // namespace

QIcon ThemeIcon(const QString& name, const QStyle* style, QStyle::StandardPixmap fallback)
{
    const TThemeIndex& index = Index();
    const auto files = index.constFind(name);
    if (files == index.constEnd()) {
        // The style may be replaced before the icon is first drawn.
        const QPointer<QStyle> from(const_cast<QStyle*>(style));
        return QIcon(new TDeferredIcon([from, fallback] { return (from ? from.data() : QApplication::style())->standardIcon(fallback); }));
    }
    return QIcon(new TDeferredIcon([files = *files] {
        QIcon icon;
        for (const TIconFile& file : files)
            icon.addFile(file.path, file.size > 0 ? QSize(file.size, file.size) : QSize());
        return icon;
    }));
}
