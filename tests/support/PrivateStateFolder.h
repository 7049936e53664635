#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

// The log files of the windows and runs a test makes go to a state folder
// of the test's own (XDG_STATE_HOME, which programs it starts inherit),
// never to the user's; it is removed when the test ends.
class PrivateStateFolder
{
public:
    PrivateStateFolder() { qputenv("XDG_STATE_HOME", QFile::encodeName(m_folder.path())); }

private:
    QTemporaryDir m_folder;
};
