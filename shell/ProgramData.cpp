#include "ProgramData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString ProgramDataFolder(const QString& name)
{
    const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    if (QFileInfo::exists(beside + name))
        return beside;
    const QString installed = QDir::cleanPath(beside + QStringLiteral("../share/selvane")) + QLatin1Char('/');
    if (QFileInfo::exists(installed + name))
        return installed;
    return beside;
}
