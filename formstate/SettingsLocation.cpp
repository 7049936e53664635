#include "formstate/SettingsLocation.h"

#include "formstate/FolderAccess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace formstate {

namespace {

// Folders of the installed system, which a program does not write into
// even when it runs with the rights to do so.
bool isSystemFolder(const QString &folder)
{
    for (const QString &root :
         {QStringLiteral("/usr"), QStringLiteral("/bin"), QStringLiteral("/sbin")}) {
        if (folder == root || folder.startsWith(root + QLatin1Char('/')))
            return true;
    }
    return false;
}

QString withSettingsExtension(const QString &path)
{
    const int nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    // A leading dot starts a hidden file's name, not an extension.
    const QString stem = dot > nameStart ? path.left(dot) : path;
    return stem + QStringLiteral(".set");
}

} // namespace

QString settingsFileFor(const QString &executablePath, const QString &configHome)
{
    const QString executable = QDir::cleanPath(QFileInfo(executablePath).absoluteFilePath());
    const QString folder = QFileInfo(executable).absolutePath();
    if (isSystemFolder(folder) || !isFolderWritable(folder))
        return QDir::cleanPath(configHome + QStringLiteral("/corvane/corvane.set"));
    return withSettingsExtension(executable);
}

QString userConfigHome()
{
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (QDir::isAbsolutePath(configured))
        return configured;
    return QDir::homePath() + QStringLiteral("/.config");
}

QString defaultSettingsFile()
{
    return settingsFileFor(QCoreApplication::applicationFilePath(), userConfigHome());
}

QString settingsFileOrDefault(const QString &fileName)
{
    return fileName.isEmpty() ? defaultSettingsFile() : fileName;
}

QString executableFolder()
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}

} // namespace formstate
