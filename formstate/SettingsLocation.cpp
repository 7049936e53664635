#include "formstate/SettingsLocation.h"

#include "formstate/FolderAccess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

// A folder the program may keep the user's files in.
bool holdsUserFiles(const QString &folder)
{
    return !isSystemFolder(folder) && isFolderWritable(folder);
}

QString withSeparator(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
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
    if (!holdsUserFiles(folder))
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

QString dialogFolderFor(const QString &chosen, const QString &programFolder,
                        const QString &documentsFolder, const QString &homeFolder)
{
    const bool programFolderHolds = holdsUserFiles(programFolder);
    const bool isProgramFolder = QDir::cleanPath(chosen) == QDir::cleanPath(programFolder);
    if (!chosen.isEmpty() && (programFolderHolds || !isProgramFolder))
        return chosen;
    if (programFolderHolds)
        return withSeparator(programFolder);
    if (DirectoryExists(documentsFolder))
        return withSeparator(documentsFolder);
    return withSeparator(homeFolder);
}

QString dialogFolder(const QString &chosen)
{
    return dialogFolderFor(chosen, executableFolder(),
                           QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                           QDir::homePath());
}

} // namespace formstate
