#include "tests/endtoend/RadioProgram.h"

#include "radiosim/PtyRunner_linux.h"
#include "radiosim/RunnerOptions.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>

namespace {

// Blocks SIGTERM in this thread for its lifetime, so that a thread started
// meanwhile inherits the block: the runner takes the signal through its
// signal descriptor, never by the default action that ends the process.
class StopSignalBlocked
{
public:
    StopSignalBlocked()
    {
        sigset_t stop;
        sigemptyset(&stop);
        sigaddset(&stop, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &stop, &m_previous);
    }
    ~StopSignalBlocked() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    StopSignalBlocked(const StopSignalBlocked &) = delete;
    StopSignalBlocked &operator=(const StopSignalBlocked &) = delete;

private:
    sigset_t m_previous;
};

} // namespace

struct RadioProgram::Runner
{
    std::FILE *output = nullptr;
    std::atomic<bool> finished{false};
    std::thread thread;
};

RadioProgram::RadioProgram(const QStringList &arguments, const QString &outputPath)
    : m_runner(std::make_unique<Runner>())
{
    const radiosim::RunnerCommandLine commandLine = radiosim::parseRunnerCommandLine(
        QStringList{QStringLiteral("corvane-radiosim")} + arguments);
    m_runner->output = std::fopen(outputPath.toLocal8Bit().constData(), "w");
    if (commandLine.action != radiosim::RunnerCommandLine::Action::Run || !m_runner->output) {
        m_runner->finished = true;
        return;
    }
    StopSignalBlocked blocked;
    Runner *runner = m_runner.get();
    runner->thread = std::thread([runner, options = commandLine.options] {
        try {
            radiosim::runRadioOnPseudoTerminal(options, runner->output);
        } catch (const std::exception &error) {
            std::fprintf(stderr, "corvane-radiosim: %s\n", error.what());
        }
        runner->finished = true;
    });
}

RadioProgram::~RadioProgram()
{
    if (m_runner->thread.joinable()) {
        pthread_kill(m_runner->thread.native_handle(), SIGTERM);
        m_runner->thread.join();
    }
    if (m_runner->output)
        std::fclose(m_runner->output);
}

bool RadioProgram::running() const
{
    return !m_runner->finished;
}
