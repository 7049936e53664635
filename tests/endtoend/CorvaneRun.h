#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

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

// corvane started and still running, and what it wrote to stderr so far.
class RunningCorvane
{
public:
    explicit RunningCorvane(const QStringList &arguments);

    bool errorSays(const QString &text);
    const QString &errorSoFar() const { return m_err; }
    testing::AssertionResult signal(int signalNumber);
    // Waits for it to end.
    RunResult finish();

private:
    QProcess m_process;
    QString m_err;
};
