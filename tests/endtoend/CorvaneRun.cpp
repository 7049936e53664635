#include "tests/endtoend/CorvaneRun.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace {

constexpr int runTimeoutMs = 60000;

} // namespace

RunResult runCorvane(const QStringList &arguments)
{
    QProcess corvane;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    corvane.setProcessEnvironment(environment);
    corvane.start(QStringLiteral(CORVANE_EXECUTABLE), arguments);
    RunResult result;
    if (!corvane.waitForFinished(runTimeoutMs)) {
        corvane.kill();
        corvane.waitForFinished();
        result.err = QStringLiteral("corvane did not finish");
        return result;
    }
    result.exitCode = corvane.exitStatus() == QProcess::NormalExit ? corvane.exitCode() : -1;
    result.out = QString::fromLocal8Bit(corvane.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(corvane.readAllStandardError());
    return result;
}
