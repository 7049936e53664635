#pragma once

#include "serial/Comms.h"

#include "SerialTestSupport.h"

#include <QStringList>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>

// The message of the EComPort that `call` raised, or a note that it raised none.
inline std::string comFailure(const std::function<void()> &call)
{
    try {
        call();
    } catch (const EComPort &error) {
        return error.what();
    }
    return "(no EComPort)";
}

// Records OnOpen and OnClose calls in order.
struct OpenCloseLog
{
    QStringList calls;

    void attach(TComPort &port)
    {
        port.OnOpen = [this, &port](QObject *sender) {
            calls << (sender == &port ? "open" : "open from a stranger");
        };
        port.OnClose = [this, &port](QObject *sender) {
            calls << (sender == &port ? "close" : "close from a stranger");
        };
    }
};

// Waits, within a generous limit, until the port holds at least `count` bytes.
inline int waitForInput(TComPort &port, int count)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int available = port.InputCount();
    while (available < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        available = port.InputCount();
    }
    return available;
}

// A port on its own registered test line, with its opens and closes logged.
class PortOnTestLine : public ::testing::Test
{
protected:
    explicit PortOnTestLine(const QString &name) : registered(name)
    {
        port.setDevicePath(registered.name());
        log.attach(port);
    }

    RegisteredLine registered;
    serial::TestLine &line = registered.line();
    OpenCloseLog log; // outlives the port, whose destruction reports a close
    TComPort port;
};
