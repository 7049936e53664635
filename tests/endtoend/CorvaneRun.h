#pragma once

#include <QString>
#include <QStringList>

// What `corvane --run` did, started as a user starts it.
struct RunResult
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the corvane program with the arguments and waits for it. An
// unattended run needs no display: it starts as on a server, with neither a
// display nor a platform for windows named.
RunResult runCorvane(const QStringList &arguments);
