#include "tests/endtoend/RadioProgram.h"

#include <QProcess>

namespace {

constexpr int stopTimeoutMs = 5000;

} // namespace

struct RadioProgram::Runner
{
    QProcess process;
};

RadioProgram::RadioProgram(const QStringList &arguments, const QString &outputPath)
    : m_runner(std::make_unique<Runner>())
{
    QProcess &process = m_runner->process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(outputPath);
    process.start(QStringLiteral(CORVANE_RADIOSIM_EXECUTABLE), arguments);
}

RadioProgram::~RadioProgram()
{
    QProcess &process = m_runner->process;
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(stopTimeoutMs)) {
        process.kill();
        process.waitForFinished(stopTimeoutMs);
    }
}

bool RadioProgram::running() const
{
    return m_runner->process.state() != QProcess::NotRunning;
}
