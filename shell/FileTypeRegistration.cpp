#include "FileTypeRegistration.h"

#include <QCoreApplication>
#include <QDir>

#include <exception>

#include "Registry.h"

#ifdef _WIN32
#include <shlobj.h>
#else
#include "DesktopAssociation.h"
#endif

namespace {

QString NormalExtension(QString extension)
{
    extension = extension.toLower();
    if (!extension.startsWith(QLatin1Char('.')))
        extension.prepend(QLatin1Char('.'));
    return extension;
}

std::string Key(const QString& path) { return "\\" + path.toStdString(); }

void WriteDefault(TRegistry& registry, const QString& key, const QString& value)
{
    registry.OpenKey(Key(key), true);
    registry.WriteString("", value.toStdString());
    registry.CloseKey();
}

} // namespace

bool IsAssociated(const QString& extension, const QString& title)
{
    try {
        TRegistry registry(TRegistryRoot::ClassesRoot);
        if (!registry.OpenKey(Key(NormalExtension(extension)), false))
            return false;
        const QString value = QString::fromStdString(registry.ReadString("").value_or(std::string()));
        const qsizetype dot = value.indexOf(QLatin1Char('.'));
        const QString typeTitle = dot < 0 ? QString() : value.left(dot);
        return typeTitle == QString(title).remove(QLatin1Char(' '));
    } catch (const std::exception&) {
        return false;
    }
}

void RegisterFileType(QString extension, QString typeName, const QString& description, QString executable, int iconIndex)
{
    extension = NormalExtension(extension);
    if (executable.isEmpty())
        executable = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    const bool iconType = extension == QLatin1String(".ico") || extension == QLatin1String(".cur") || extension == QLatin1String(".ani");
    if (!typeName.isEmpty()) {
        typeName.remove(QLatin1Char(' '));
        typeName += !description.isEmpty() || iconType ? extension : QLatin1Char('.') + QString::number(iconIndex);
    }
    if (typeName.isEmpty() && iconType)
        return;

    TRegistry registry(TRegistryRoot::ClassesRoot);
    WriteDefault(registry, extension, typeName);
    if (!typeName.isEmpty()) {
        const QString quoted = QLatin1Char('"') + executable + QLatin1Char('"');
        WriteDefault(registry, typeName, description);
        if (iconIndex >= 0)
            WriteDefault(registry, typeName + QStringLiteral("\\DefaultIcon"),
                         iconType ? QStringLiteral("\"%1\"") : quoted + QLatin1Char(',') + QString::number(iconIndex));
        WriteDefault(registry, typeName + QStringLiteral("\\Shell\\Open\\Command"), quoted + QStringLiteral(" \"%1\""));
    }
#ifdef _WIN32
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
#else
    MirrorDesktopAssociation(extension, !typeName.isEmpty(), executable);
#endif
}
