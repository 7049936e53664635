#pragma once

#include <QString>

namespace formstate {

// Where a program keeps its settings file: beside the executable, with the
// executable's extension replaced by ".set" (/opt/corvane/corvane ->
// /opt/corvane/corvane.set). When the executable's folder cannot be written
// (a read-only file system, or a system folder such as /usr/bin), the file is
// <configHome>/corvane/corvane.set instead, for reading and writing alike.
QString settingsFileFor(const QString &executablePath, const QString &configHome);

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute
// path, otherwise ~/.config.
QString userConfigHome();

// settingsFileFor() of the running program and the user's configuration folder.
QString defaultSettingsFile();

// The given file name, or defaultSettingsFile() when it is empty.
QString settingsFileOrDefault(const QString &fileName);

// The running program's folder, ending in a separator.
QString executableFolder();

// The folder a file dialog opens in, ending in a separator: the chosen one
// (stored or designed), unless it is empty or the program's own folder where
// files cannot be saved, as in an installed program (earlier versions stored
// that folder as the default). Then: the program's folder where files can be
// saved there, otherwise the documents folder when it exists, otherwise home.
QString dialogFolderFor(const QString &chosen, const QString &programFolder,
                        const QString &documentsFolder, const QString &homeFolder);

// dialogFolderFor() with the running program's folder and the user's folders.
QString dialogFolder(const QString &chosen);

} // namespace formstate
