#include "app/program_info.h"

#include "app/install_layout.h"

#include <QDir>
#include <QFileInfo>

QString versionText(int version)
{
    QString text = QString::number(version);
    text.insert(1, QLatin1Char('.'));
    text.insert(3, QLatin1Char('.'));
    if (text.endsWith(QLatin1Char('0'))) {
        text.truncate(3);
    }
    return text;
}

QString programTitle()
{
    return QStringLiteral("Tessaline ") + versionText(programVersion);
}

QString programFolder()
{
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return QFileInfo(executable).absolutePath() + QLatin1Char('/');
}

QString programDataFolder()
{
    return dataFolderFor(programFolder());
}

QString dataFolderFor(const QString& programFolder)
{
    if (QFileInfo(programFolder + QStringLiteral("gfx")).isDir()) {
        return programFolder;
    }
    return QDir::cleanPath(programFolder + QString::fromUtf8(installedDataFromProgram)) + u'/';
}
