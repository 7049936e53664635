#pragma once

#include "serial/DeviceRegistry.h"
#include "serial/TestDevice.h"

#include <QString>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <spawn.h>
#include <stdexcept>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

// A pseudo-terminal pair: the test plays the far end on the master side,
// the port opens the slave by its path.
class PtyPair
{
public:
    PtyPair()
    {
        char name[128] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        m_path = QString::fromLatin1(name);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        // A program the test starts holds only what it is handed.
        ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
        ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    }
    ~PtyPair()
    {
        closeMaster();
        ::close(m_slave);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    QString path() const { return m_path; }
    int master() const { return m_master; }
    // The slave descriptor openpty gave; it sees the settings the port made.
    int slave() const { return m_slave; }
    // The far end goes away: the slave side hangs up.
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};

// Another program ("sleep") that holds `fd` open as its standard input
// until this object goes.
class ProgramHolding
{
public:
    explicit ProgramHolding(int fd)
    {
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, fd, STDIN_FILENO);
        char program[] = "sleep";
        char seconds[] = "600";
        char *argv[] = {program, seconds, nullptr};
        const int err = ::posix_spawnp(&m_pid, "sleep", &actions, nullptr, argv, environ);
        ::posix_spawn_file_actions_destroy(&actions);
        if (err != 0)
            throw std::runtime_error("posix_spawnp sleep failed");
    }
    ~ProgramHolding() { end(); }
    ProgramHolding(const ProgramHolding &) = delete;
    ProgramHolding &operator=(const ProgramHolding &) = delete;

    pid_t pid() const { return m_pid; }
    // Ends the program and waits until it is gone.
    void end()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

// A test line registered under a device name for the time of one test.
class RegisteredLine
{
public:
    explicit RegisteredLine(const QString &name = QStringLiteral("TESTLINE"))
        : m_name(name), m_line(std::make_shared<serial::TestLine>())
    {
        serial::registerDevice(m_name, serial::TestDevice::factory(m_line));
    }
    ~RegisteredLine() { serial::unregisterDevice(m_name); }
    RegisteredLine(const RegisteredLine &) = delete;
    RegisteredLine &operator=(const RegisteredLine &) = delete;

    const QString &name() const { return m_name; }
    serial::TestLine &line() { return *m_line; }
    std::shared_ptr<serial::TestLine> shared() const { return m_line; }

private:
    QString m_name;
    std::shared_ptr<serial::TestLine> m_line;
};
