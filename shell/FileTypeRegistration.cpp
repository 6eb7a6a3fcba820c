#include "FileTypeRegistration.h"

#include <QCoreApplication>
#include <QDir>

#include <exception>
#include <optional>
#include <string>
#include <vector>

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

#ifndef _WIN32
// A key a registration writes as it stood before: whether it existed, and its default value.
struct TKeyState {
    QString Key;
    bool Existed = false;
    std::optional<std::string> Default;
};

std::vector<TKeyState> Snapshot(TRegistry& registry, const QStringList& keys)
{
    std::vector<TKeyState> states;
    for (const QString& key : keys) {
        TKeyState state{key, registry.KeyExists(Key(key)), {}};
        if (state.Existed && registry.OpenKey(Key(key), false)) {
            state.Default = registry.ReadString("");
            registry.CloseKey();
        }
        states.push_back(std::move(state));
    }
    return states;
}

// Puts the keys back as they stood, innermost first.
void Restore(TRegistry& registry, const std::vector<TKeyState>& states)
{
    for (auto state = states.rbegin(); state != states.rend(); ++state) {
        if (!state->Existed) {
            registry.DeleteKey(Key(state->Key));
        } else if (registry.OpenKey(Key(state->Key), false)) {
            if (state->Default)
                registry.WriteString("", *state->Default);
            else
                registry.DeleteValue("");
            registry.CloseKey();
        }
    }
}
#endif

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
    const auto writeKeys = [&] {
        WriteDefault(registry, extension, typeName);
        if (typeName.isEmpty())
            return;
        const QString quoted = QLatin1Char('"') + executable + QLatin1Char('"');
        WriteDefault(registry, typeName, description);
        if (iconIndex >= 0)
            WriteDefault(registry, typeName + QStringLiteral("\\DefaultIcon"),
                         iconType ? QStringLiteral("\"%1\"") : quoted + QLatin1Char(',') + QString::number(iconIndex));
        WriteDefault(registry, typeName + QStringLiteral("\\Shell\\Open\\Command"), quoted + QStringLiteral(" \"%1\""));
    };
#ifdef _WIN32
    writeKeys();
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
#else
    // All or nothing: when a key or the desktop's part cannot be written, the keys go
    // back to what they were.
    QStringList keys{extension};
    if (!typeName.isEmpty())
        for (const char* below : {"", "\\DefaultIcon", "\\Shell", "\\Shell\\Open", "\\Shell\\Open\\Command"})
            keys.append(typeName + QString::fromLatin1(below));
    const std::vector<TKeyState> before = Snapshot(registry, keys);
    try {
        writeKeys();
        MirrorDesktopAssociation(extension, !typeName.isEmpty(), executable);
    } catch (...) {
        Restore(registry, before);
        throw;
    }
#endif
}
