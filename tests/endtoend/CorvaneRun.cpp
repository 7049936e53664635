#include "tests/endtoend/CorvaneRun.h"

#include <QProcessEnvironment>
#include <signal.h>

namespace {

constexpr int runTimeoutMs = 60000;

void startCorvane(QProcess &corvane, const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    corvane.setProcessEnvironment(environment);
    corvane.start(QStringLiteral(CORVANE_EXECUTABLE), arguments);
}

RunResult finishedRun(QProcess &corvane, const QString &errSoFar = QString())
{
    RunResult result;
    if (!corvane.waitForFinished(runTimeoutMs)) {
        corvane.kill();
        corvane.waitForFinished();
        result.err = QStringLiteral("corvane did not finish");
        return result;
    }
    result.exitCode = corvane.exitStatus() == QProcess::NormalExit ? corvane.exitCode() : -1;
    result.out = QString::fromLocal8Bit(corvane.readAllStandardOutput());
    result.err = errSoFar + QString::fromLocal8Bit(corvane.readAllStandardError());
    return result;
}

} // namespace

RunResult runCorvane(const QStringList &arguments)
{
    QProcess corvane;
    startCorvane(corvane, arguments);
    return finishedRun(corvane);
}

RunningCorvane::RunningCorvane(const QStringList &arguments)
{
    startCorvane(m_process, arguments);
}

bool RunningCorvane::errorSays(const QString &text)
{
    m_err += QString::fromLocal8Bit(m_process.readAllStandardError());
    return m_err.contains(text);
}

testing::AssertionResult RunningCorvane::signal(int signalNumber)
{
    const qint64 pid = m_process.processId();
    if (pid <= 0 || ::kill(pid_t(pid), signalNumber) != 0)
        return testing::AssertionFailure() << "corvane could not be signalled";
    return testing::AssertionSuccess();
}

RunResult RunningCorvane::finish()
{
    return finishedRun(m_process, m_err);
}
