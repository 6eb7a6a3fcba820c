#include "DesktopAssociation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "Registry.h"
#include "SafeFile.h"

namespace {

const QString OwnTypePrefix = QStringLiteral("application/x-selvane-");
const QString DefaultsSection = QStringLiteral("[Default Applications]");

// $`variable` when it is an absolute path, else `fallback` under the home folder.
QString BaseFolder(const char* variable, const QString& fallback)
{
    const QString folder = qEnvironmentVariable(variable);
    if (QDir::isAbsolutePath(folder))
        return QDir::cleanPath(folder);
    return QDir::homePath() + QLatin1Char('/') + fallback;
}

QString DataHome() { return BaseFolder("XDG_DATA_HOME", QStringLiteral(".local/share")); }
QString ConfigHome() { return BaseFolder("XDG_CONFIG_HOME", QStringLiteral(".config")); }

// The extension without its "." as a MIME type and a file name may hold it.
QString ExtensionName(const QString& extension)
{
    QString name = extension.mid(extension.startsWith(QLatin1Char('.')) ? 1 : 0).toLower();
    name.replace(QRegularExpression(QStringLiteral("[^a-z0-9+._-]")), QStringLiteral("-"));
    return name;
}

QString PackageFile(const QString& extension)
{
    return DataHome() + QStringLiteral("/mime/packages/selvane-") + ExtensionName(extension) + QStringLiteral(".xml");
}

// One argument of an Exec line: quoted when it holds a reserved character, and escaped
// for the desktop entry's string value.
QString ExecArgument(QString argument)
{
    static const QRegularExpression reserved(QStringLiteral("[ \\t\\n\"'\\\\><~|&;$*?#()`]"));
    if (argument.contains(reserved)) {
        static const QRegularExpression escaped(QStringLiteral("([\"`$\\\\])"));
        argument = QLatin1Char('"') + argument.replace(escaped, QStringLiteral("\\\\1")) + QLatin1Char('"');
    }
    argument.replace(QLatin1Char('%'), QStringLiteral("%%"));
    argument.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    argument.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    argument.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    return argument;
}

// The MIME types the desktop entry names now; none without an entry.
QStringList EntryMimeTypes(const QByteArray& entry)
{
    for (const QByteArray& line : entry.split('\n')) {
        if (line.startsWith("MimeType="))
            return QString::fromUtf8(line.mid(9)).trimmed().split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
    return {};
}

QByteArray DesktopEntry(const QString& executable, const QStringList& mimeTypes)
{
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Version=1.4\n"
                                  "Name=Selvane\n"
                                  "GenericName=XML Value Picker\n"
                                  "Comment=Pick an element or an attribute of an XML file by its dotted name\n");
    text += QStringLiteral("Exec=") + ExecArgument(executable) + QStringLiteral(" %f\n");
    text += QStringLiteral("Icon=selvane\nTerminal=false\nCategories=Development;\n");
    text += QStringLiteral("MimeType=") + (mimeTypes.isEmpty() ? QString() : mimeTypes.join(QLatin1Char(';')) + QLatin1Char(';')) +
            QLatin1Char('\n');
    return text.toUtf8();
}

QByteArray MimePackage(const QString& mimeType, const QString& extension)
{
    QString pattern = QLatin1Char('*') + extension;
    pattern.replace(QLatin1Char('&'), QStringLiteral("&amp;")).replace(QLatin1Char('"'), QStringLiteral("&quot;"));
    pattern.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                          "  <mime-type type=\"%1\">\n"
                          "    <comment>%2 document</comment>\n"
                          "    <glob pattern=\"%3\"/>\n"
                          "  </mime-type>\n"
                          "</mime-info>\n")
        .arg(mimeType, ExtensionName(extension).toUpper(), pattern)
        .toUtf8();
}

// A line of mimeapps.list with its line end kept apart.
struct TLine {
    QByteArray Text;
    QByteArray End;
};

std::vector<TLine> SplitLines(const QByteArray& text)
{
    std::vector<TLine> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        if (end < 0)
            end = text.size();
        qsizetype textEnd = end;
        if (textEnd > start && text[textEnd - 1] == '\r')
            --textEnd;
        lines.push_back({text.mid(start, textEnd - start), text.mid(textEnd, next - textEnd)});
        start = next;
    }
    return lines;
}

// mimeapps.list with `mimeType`'s default in the program's hands, or without the
// program's own default; only that one line changes.
QByteArray ChangeDefaults(const QByteArray& text, const QString& mimeType, bool associate)
{
    std::vector<TLine> lines = SplitLines(text);
    const QByteArray prefix = mimeType.toUtf8() + '=';
    const QByteArray entry = DesktopEntryName;
    // The first defaults section, and the type's line in any of them, as readers take it.
    std::optional<std::size_t> header;
    std::optional<std::size_t> found;
    std::optional<std::size_t> foundHeader;
    std::optional<std::size_t> sectionHeader;
    bool inDefaults = false;
    for (std::size_t i = 0; i < lines.size() && !found; ++i) {
        const QByteArray trimmed = lines[i].Text.trimmed();
        if (trimmed.startsWith('[')) {
            inDefaults = trimmed == DefaultsSection.toUtf8();
            sectionHeader = i;
            if (inDefaults && !header)
                header = i;
        } else if (inDefaults && lines[i].Text.startsWith(prefix)) {
            found = i;
            foundHeader = sectionHeader;
        }
    }

    // Line ends as the file has them: a final one stays missing if it was.
    const QByteArray end = lines.empty() || lines.front().End.isEmpty() ? QByteArray("\n") : lines.front().End;
    const bool finalLineEnd = text.isEmpty() || text.endsWith('\n');
    if (found) {
        QList<QByteArray> entries = lines[*found].Text.mid(prefix.size()).split(';');
        const bool first = !entries.isEmpty() && entries.constFirst().trimmed() == entry;
        if (associate && first)
            return text;
        entries.removeIf([&](const QByteArray& name) { return name.trimmed() == entry; });
        if (associate) {
            entries.prepend(entry);
        } else if (std::all_of(entries.cbegin(), entries.cend(), [](const QByteArray& name) { return name.trimmed().isEmpty(); })) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*found));
            // A defaults section left with nothing in it goes too, as the program adds
            // one where there was none.
            const std::size_t section = *foundHeader;
            if (section + 1 == lines.size() || lines[section + 1].Text.trimmed().startsWith('['))
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(section));
            found.reset();
        }
        if (found)
            lines[*found].Text = prefix + entries.join(';');
    } else if (!associate) {
        return text;
    } else {
        const TLine line{prefix + entry + ';', end};
        if (header)
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*header) + 1, line);
        else {
            lines.push_back({DefaultsSection.toUtf8(), end});
            lines.push_back(line);
        }
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool last = i + 1 == lines.size();
        if (!last || finalLineEnd)
            lines[i].End = lines[i].End.isEmpty() ? end : lines[i].End;
        else
            lines[i].End.clear();
    }
    QByteArray result;
    for (const TLine& line : lines)
        result += line.Text + line.End;
    return result;
}

ERegistryException WriteFailure(const QString& path, const std::string& reason)
{
    return ERegistryException("Failed to set data for ''. Cannot write \"" + path.toStdString() + "\": " + reason);
}

ERegistryException WriteFailure(const QString& path, int error) { return WriteFailure(path, std::strerror(error)); }

// A file's new text, or nothing to remove it; with its text before, to go back to.
struct TChange {
    QString Path;
    std::optional<QByteArray> Text;
    std::optional<QByteArray> Before;
};

// The file's text; nothing when it does not exist. Anything but a regular file cannot be
// replaced, and is refused here before any file changes.
std::optional<QByteArray> ReadFile(const QString& path)
{
    std::string text;
    std::string reason;
    // The desktop's files are small; a huge one is refused rather than read for minutes.
    constexpr std::size_t Limit = 16 * 1024 * 1024;
    if (ReadRegularFile(path.toStdString(), text, reason, Limit))
        return QByteArray::fromStdString(text);
    if (errno == ENOENT)
        return std::nullopt;
    throw WriteFailure(path, reason);
}

bool Apply(const QString& path, const std::optional<QByteArray>& text)
{
    if (!text) {
        errno = 0;
        return !QFileInfo::exists(path) || QFile::remove(path) || (errno = EACCES, false);
    }
    if (!QDir().mkpath(QFileInfo(path).path())) {
        errno = EACCES;
        return false;
    }
    return ReplaceFileText(path.toStdString(), std::string_view(text->constData(), static_cast<std::size_t>(text->size())));
}

// Writes every change or, when one fails, puts back those written before and throws.
void ApplyAll(std::vector<TChange>& changes)
{
    for (TChange& change : changes)
        change.Before = ReadFile(change.Path);
    for (std::size_t i = 0; i < changes.size(); ++i) {
        if (changes[i].Text == changes[i].Before || Apply(changes[i].Path, changes[i].Text))
            continue;
        const int error = errno;
        for (std::size_t undo = 0; undo < i; ++undo)
            Apply(changes[undo].Path, changes[undo].Before);
        throw WriteFailure(changes[i].Path, error);
    }
}

// Runs a cache tool of the desktop on `folder` when it is installed; its outcome only
// refreshes caches, so it is not waited for long and not reported.
void Refresh(const QString& tool, const QString& folder)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty() || !QFileInfo::exists(folder))
        return;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, {folder});
    if (!process.waitForFinished(30000))
        process.kill();
    process.waitForFinished(1000);
}

} // namespace

QString MimeTypeOfExtension(const QString& extension)
{
    const QString dotted = extension.startsWith(QLatin1Char('.')) ? extension : QLatin1Char('.') + extension;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QStringLiteral("file") + dotted.toLower(), QMimeDatabase::MatchExtension);
    if (type.isValid() && !type.isDefault())
        return type.name();
    return OwnTypePrefix + ExtensionName(extension);
}

void MirrorDesktopAssociation(const QString& extension, bool associate, const QString& executable)
{
    const QString mimeType = MimeTypeOfExtension(extension);
    const QString applications = DataHome() + QStringLiteral("/applications");
    const QString entryPath = applications + QLatin1Char('/') + QString::fromUtf8(DesktopEntryName);
    const QString listPath = ConfigHome() + QStringLiteral("/mimeapps.list");

    const std::optional<QByteArray> entry = ReadFile(entryPath);
    QStringList mimeTypes = entry ? EntryMimeTypes(*entry) : QStringList();
    mimeTypes.removeAll(mimeType);
    if (associate)
        mimeTypes.append(mimeType);
    std::vector<TChange> changes;
    if (associate || entry)
        changes.push_back({entryPath, DesktopEntry(executable, mimeTypes), {}});
    const bool ownType = mimeType.startsWith(OwnTypePrefix);
    if (ownType)
        changes.push_back({PackageFile(extension), associate ? std::optional(MimePackage(mimeType, extension)) : std::nullopt, {}});
    const QByteArray list = ReadFile(listPath).value_or(QByteArray());
    const QByteArray changed = ChangeDefaults(list, mimeType, associate);
    // A list the association made and its removal emptied goes again.
    if (changed != list)
        changes.push_back({listPath, changed.isEmpty() ? std::nullopt : std::optional(changed), {}});
    ApplyAll(changes);

    Refresh(QStringLiteral("update-desktop-database"), applications);
    if (ownType)
        Refresh(QStringLiteral("update-mime-database"), DataHome() + QStringLiteral("/mime"));
}
