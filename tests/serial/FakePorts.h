#pragma once

#include "serial/PortEnumerator.h"

#include <QCoreApplication>
#include <QList>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

// Ports that the system does not have, for a port list under test. The
// window lists them from its listing thread too, so they are changed under
// a lock.
class FakePorts
{
public:
    // New ports, with a new stamp that tells they changed.
    void set(const QList<serial::PortInfo> &ports)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ports = ports;
        ++m_stamp;
    }
    quint64 stamp() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stamp;
    }
    QList<serial::PortInfo> list() const
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_listings;
        if (QThread::currentThread() != qApp->thread())
            ++m_listingsOffWindowThread;
        // A listing held on the window thread ends by itself, late, so that
        // the test sees the stall instead of hanging.
        ++m_listingsUnderWay;
        m_released.wait_for(lock, MaxHold, [this] { return !m_holding; });
        --m_listingsUnderWay;
        return m_ports;
    }
    // Listings take as long as a listing of many devices may take: until
    // released (or MaxHold has passed), and they list the ports as they are
    // then.
    void holdListings()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_holding = true;
    }
    void releaseListings()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_holding = false;
        }
        m_released.notify_all();
    }
    // Listings begun and not yet ended.
    int listingsUnderWay() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_listingsUnderWay;
    }
    int listingsOffWindowThread() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_listingsOffWindowThread;
    }
    int listings() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_listings;
    }

    static constexpr std::chrono::seconds MaxHold{5};

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_released;
    bool m_holding = false;
    mutable int m_listingsUnderWay = 0;
    QList<serial::PortInfo> m_ports;
    quint64 m_stamp = 1;
    mutable int m_listings = 0;
    mutable int m_listingsOffWindowThread = 0;
};

class FakePortEnumerator : public serial::PortEnumerator
{
public:
    explicit FakePortEnumerator(std::shared_ptr<FakePorts> ports) : m_ports(std::move(ports)) {}
    quint64 changeStamp() const override { return m_ports->stamp(); }
    QList<serial::PortInfo> ports() const override { return m_ports->list(); }

private:
    std::shared_ptr<FakePorts> m_ports;
};
