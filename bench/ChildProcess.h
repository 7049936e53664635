#pragma once

// A program the benchmark runs beside itself: started with its output in a
// file, and waited for with the CPU time it used, so that a child and the
// benchmark's own process are measured alike (user and system time).
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

class ChildProcess
{
public:
    struct Ended
    {
        // The exit status, or 128 plus the signal that ended it.
        int status = 0;
        std::chrono::microseconds cpu{0};
    };

    // Starts `program` with `arguments`, its standard output and error
    // appended to `outputPath`, in the benchmark's environment.
    ChildProcess(const std::string &program, const std::vector<std::string> &arguments,
                 const std::string &outputPath = "/dev/null")
    {
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(program.c_str()));
        for (const std::string &argument : arguments)
            argv.push_back(const_cast<char *>(argument.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        if (posix_spawn_file_actions_init(&actions) != 0)
            throw std::runtime_error("posix_spawn_file_actions_init failed");
        int failure = posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(),
                                                       O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (failure == 0)
            failure = posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (failure == 0)
            failure = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failure != 0)
            throw std::runtime_error("cannot start " + program);
    }
    // A child still running is asked to end and waited for.
    ~ChildProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            reap();
        }
    }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    pid_t pid() const { return m_pid; }

    // Waits until the child has ended.
    Ended wait()
    {
        const std::optional<Ended> ended = reap();
        if (!ended)
            throw std::runtime_error("wait4 failed");
        return *ended;
    }

    // Asks the child to end (SIGTERM) and waits for it.
    Ended stop()
    {
        if (::kill(m_pid, SIGTERM) != 0)
            throw std::runtime_error("kill failed");
        return wait();
    }

private:
    std::optional<Ended> reap()
    {
        int status = 0;
        rusage usage{};
        pid_t ended = -1;
        do
            ended = ::wait4(m_pid, &status, 0, &usage);
        while (ended < 0 && errno == EINTR);
        m_pid = -1;
        if (ended < 0)
            return std::nullopt;
        Ended result;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.cpu = std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
        return result;
    }

    pid_t m_pid = -1;
};
