#include "formstate/SettingsLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using formstate::settingsFileFor;

namespace {

class SettingsLocationTest : public ::testing::Test
{
protected:
    QString folder(const QString &name) const
    {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(path);
        return path;
    }
    QString configHome() const { return m_dir.filePath(QStringLiteral("config")); }

private:
    QTemporaryDir m_dir;
};

TEST_F(SettingsLocationTest, LiesBesideTheExecutableWithItsExtensionReplaced)
{
    const QString bin = folder(QStringLiteral("opt/corvane"));
    const QString dotted = folder(QStringLiteral("opt/corvane.d"));
    EXPECT_EQ(settingsFileFor(bin + "/corvane", configHome()), bin + "/corvane.set");
    EXPECT_EQ(settingsFileFor(bin + "/corvane.bin", configHome()), bin + "/corvane.set");
    EXPECT_EQ(settingsFileFor(dotted + "/corvane", configHome()), dotted + "/corvane.set");
    EXPECT_EQ(settingsFileFor(bin + "/.corvane", configHome()), bin + "/.corvane.set");
}

TEST_F(SettingsLocationTest, MovesToTheUserConfigurationWhenTheFolderCannotBeWritten)
{
    const QString expected = configHome() + "/corvane/corvane.set";
    const QString readOnly = folder(QStringLiteral("readonly"));
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner |
                                                    QFile::ReadOther | QFile::ExeOther));
    EXPECT_EQ(settingsFileFor(readOnly + "/corvane", configHome()), expected);
    EXPECT_EQ(settingsFileFor("/usr/bin/corvane", configHome()), expected);
    EXPECT_EQ(settingsFileFor("/usr/local/bin/corvane", configHome()), expected); // make install
    EXPECT_EQ(settingsFileFor("/bin/corvane", configHome()), expected);
    EXPECT_EQ(settingsFileFor(readOnly + "/missing/corvane", configHome()), expected);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(SettingsLocationTest, UserConfigurationFollowsXdgConfigHome)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    const bool wasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");

    qputenv("XDG_CONFIG_HOME", configHome().toLocal8Bit());
    EXPECT_EQ(formstate::userConfigHome(), configHome());
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(formstate::userConfigHome(), QDir::homePath() + "/.config");
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(formstate::userConfigHome(), QDir::homePath() + "/.config");

    if (wasSet)
        qputenv("XDG_CONFIG_HOME", saved);
}

TEST_F(SettingsLocationTest, DefaultFileIsBesideThisProgram)
{
    // The test program's build folder can be written.
    EXPECT_EQ(formstate::defaultSettingsFile(), QCoreApplication::applicationFilePath() + ".set");
    EXPECT_EQ(formstate::settingsFileOrDefault(QString()), formstate::defaultSettingsFile());
    EXPECT_EQ(formstate::settingsFileOrDefault("/tmp/other.set"), "/tmp/other.set");
    EXPECT_EQ(formstate::executableFolder(), QCoreApplication::applicationDirPath() + "/");
}

TEST_F(SettingsLocationTest, DialogsOfAnInstalledProgramOpenInTheUsersDocuments)
{
    const QString documents = folder(QStringLiteral("home/Documents"));
    const QString home = folder(QStringLiteral("home"));
    const QString readOnly = folder(QStringLiteral("readonly"));
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner |
                                                    QFile::ReadOther | QFile::ExeOther));
    for (const QString &program : {QStringLiteral("/usr/local/bin/"), readOnly + "/"}) {
        EXPECT_EQ(formstate::dialogFolderFor({}, program, documents, home), documents + "/")
            << qPrintable(program);
        // The program's folder, stored as the default by earlier versions.
        EXPECT_EQ(formstate::dialogFolderFor(program, program, documents, home), documents + "/")
            << qPrintable(program);
        EXPECT_EQ(formstate::dialogFolderFor(home + "/logs/", program, documents, home),
                  home + "/logs/");
    }
    const QString noDocuments = home + "/Dokumente";
    EXPECT_EQ(formstate::dialogFolderFor({}, "/usr/bin/", noDocuments, home), home + "/");
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(SettingsLocationTest, DialogsOfAProgramInAWritableFolderOpenBesideIt)
{
    const QString program = folder(QStringLiteral("opt/corvane")) + "/";
    const QString documents = folder(QStringLiteral("home/Documents"));
    EXPECT_EQ(formstate::dialogFolderFor({}, program, documents, "/home/u"), program);
    EXPECT_EQ(formstate::dialogFolderFor(program, program, documents, "/home/u"), program);
    EXPECT_EQ(formstate::dialogFolderFor("/srv/data/", program, documents, "/home/u"),
              "/srv/data/");
    EXPECT_EQ(formstate::dialogFolder({}), formstate::executableFolder());
}

} // namespace
