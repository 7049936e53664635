#include "serial/CommApi.h"

#include "serial/DeviceRegistry.h"
#include "serial/Transfer_linux.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace serial {

CommHandle::CommHandle(std::unique_ptr<SerialDevice> device) : m_device(std::move(device)) {}

CommHandle::~CommHandle()
{
    // The device must outlive every transfer that still works on it.
    std::vector<std::shared_ptr<Transfer>> running;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto &weak : m_transfers)
            if (auto transfer = weak.lock())
                running.push_back(transfer);
    }
    for (const auto &transfer : running) {
        transfer->cancel();
        transfer->join();
    }
}

CommTimeouts CommHandle::timeouts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_timeouts;
}

void CommHandle::setTimeouts(const CommTimeouts &timeouts)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_timeouts = timeouts;
}

void CommHandle::addTransfer(const std::shared_ptr<Transfer> &transfer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_transfers.erase(
        std::remove_if(m_transfers.begin(), m_transfers.end(),
                       [](const std::weak_ptr<Transfer> &weak) { return weak.expired(); }),
        m_transfers.end());
    m_transfers.push_back(transfer);
}

void CommHandle::cancelTransfers(uint32_t flags)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto &weak : m_transfers) {
        const auto transfer = weak.lock();
        if (!transfer)
            continue;
        const bool isWrite = transfer->kind() == Transfer::Kind::Write;
        if ((isWrite && (flags & PURGE_TXABORT)) || (!isWrite && (flags & PURGE_RXABORT)))
            transfer->cancel();
    }
}

bool CommHandle::readRunning() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::any_of(m_transfers.begin(), m_transfers.end(), [](const auto &weak) {
        const auto transfer = weak.lock();
        return transfer && transfer->kind() == Transfer::Kind::Read && !transfer->finished();
    });
}

Overlapped::Overlapped() = default;

Overlapped::~Overlapped()
{
    if (m_transfer) {
        m_transfer->cancel();
        m_transfer->join();
    }
}

std::unique_ptr<CommHandle> createFile(const QString &name, int &error)
{
    std::unique_ptr<SerialDevice> device = createDevice(name);
    error = device->open(name);
    if (error != 0)
        return nullptr;
    return std::make_unique<CommHandle>(std::move(device));
}

void closeHandle(std::unique_ptr<CommHandle> &handle)
{
    // A closed port drops DTR and RTS, as the driver's hang-up on close
    // would; that stays off so that opening does not toggle them. A device
    // that is gone cannot take the change, which is of no concern then.
    if (handle) {
        handle->device().escapeCommFunction(CLRDTR);
        handle->device().escapeCommFunction(CLRRTS);
    }
    handle.reset();
}

int setupComm(CommHandle *handle, uint32_t inQueue, uint32_t outQueue)
{
    if (!handle)
        return EBADF;
    return handle->device().setupComm(inQueue, outQueue);
}

int setCommState(CommHandle *handle, const Dcb &dcb)
{
    if (!handle)
        return EBADF;
    return handle->device().setCommState(dcb);
}

int setCommTimeouts(CommHandle *handle, const CommTimeouts &timeouts)
{
    if (!handle)
        return EBADF;
    const int err = handle->device().setCommTimeouts(timeouts);
    if (err == 0)
        handle->setTimeouts(timeouts);
    return err;
}

int readFile(CommHandle *handle, char *buffer, uint32_t count, uint32_t &done,
             Overlapped &overlapped)
{
    done = 0;
    if (!handle)
        return EBADF;
    const auto start = SteadyClock::now();
    QByteArray collected(static_cast<qsizetype>(count), '\0');
    uint32_t got = 0;
    if (count > 0) {
        const int err = handle->device().read(collected.data(), count, got);
        if (err != 0)
            return err;
    }
    const ReadTimer timer(handle->timeouts(), count, start);
    if (timer.completeWith(got)) {
        std::memcpy(buffer, collected.constData(), got);
        done = got;
        return 0;
    }
    overlapped.m_event.reset();
    try {
        overlapped.m_transfer = Transfer::startRead(handle->device(), timer, std::move(collected),
                                                    got, buffer, overlapped.m_event);
    } catch (const std::system_error &error) {
        return error.code().value(); // no thread or event to continue with
    }
    handle->addTransfer(overlapped.m_transfer);
    return ERROR_IO_PENDING;
}

int readAvailable(CommHandle *handle, QByteArray &out, uint32_t maxBytes, uint32_t &done)
{
    // One read takes what a line discipline holds (4 KiB on Linux) or more.
    constexpr uint32_t ReadChunk = 64 * 1024;
    done = 0;
    if (!handle)
        return EBADF;
    if (handle->readRunning())
        return EBUSY;
    const qsizetype start = out.size();
    int err = 0;
    while (done < maxBytes) {
        const uint32_t room = std::min(ReadChunk, maxBytes - done);
        out.resize(start + qsizetype(done) + qsizetype(room));
        uint32_t got = 0;
        err = handle->device().read(out.data() + start + done, room, got);
        done += got;
        if (err != 0 || got < room)
            break;
    }
    out.resize(start + qsizetype(done));
    // Bytes read before a failure are handed out; a device that failed
    // fails again at the next call.
    return done > 0 ? 0 : err;
}

int writeFile(CommHandle *handle, const char *buffer, uint32_t count, uint32_t &done,
              Overlapped &overlapped)
{
    done = 0;
    if (!handle)
        return EBADF;
    const auto start = SteadyClock::now();
    uint32_t sent = 0;
    if (count > 0) {
        const int err = handle->device().write(buffer, count, sent);
        if (err != 0)
            return err;
    }
    if (sent == count) {
        done = count;
        return 0;
    }
    overlapped.m_event.reset();
    try {
        overlapped.m_transfer = Transfer::startWrite(handle->device(), handle->timeouts(), count,
                                                     QByteArray(buffer + sent, count - sent), start,
                                                     overlapped.m_event);
    } catch (const std::system_error &error) {
        return error.code().value();
    }
    handle->addTransfer(overlapped.m_transfer);
    return ERROR_IO_PENDING;
}

int getOverlappedResult(CommHandle *handle, Overlapped &overlapped, uint32_t &done, bool wait)
{
    done = 0;
    if (!handle)
        return EBADF;
    Transfer *transfer = overlapped.m_transfer.get();
    if (!transfer)
        return EINVAL;
    if (!transfer->finished()) {
        if (!wait)
            return ERROR_IO_INCOMPLETE;
        overlapped.m_event.wait(INFINITE);
    }
    transfer->join();
    done = transfer->transferred();
    if (transfer->result() != 0)
        return transfer->result();
    transfer->deliver();
    return 0;
}

int clearCommError(CommHandle *handle, uint32_t &errors, ComStat &stat)
{
    errors = 0;
    stat = ComStat();
    if (!handle)
        return EBADF;
    return handle->device().clearCommError(errors, stat);
}

int getCommModemStatus(CommHandle *handle, uint32_t &status)
{
    status = 0;
    if (!handle)
        return EBADF;
    return handle->device().getCommModemStatus(status);
}

int escapeCommFunction(CommHandle *handle, uint32_t function)
{
    if (!handle)
        return EBADF;
    return handle->device().escapeCommFunction(function);
}

int purgeComm(CommHandle *handle, uint32_t flags)
{
    if (!handle)
        return EBADF;
    const int err = handle->device().purgeComm(flags);
    if (err == 0)
        handle->cancelTransfers(flags);
    return err;
}

} // namespace serial
