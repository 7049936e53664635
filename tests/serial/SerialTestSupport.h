#pragma once

#include "serial/DeviceRegistry.h"
#include "serial/TestDevice.h"

#include <QString>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <stdexcept>
#include <unistd.h>

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
