#include "serial/Comms.h"
#include "serial/StoreIfDifferent.h"

namespace {

const char kSetStateFailed[] = "Unable to set com state: ";
const char kSyncMethodWhileConnected[] = "Cannot set SyncMethod while connected";

void check(int err)
{
    if (err != 0)
        throw EComPort(kSetStateFailed, err);
}

} // namespace

serial::Dcb TComPort::buildDcb() const
{
    serial::Dcb dcb;
    dcb.BaudRate = baudRateValue(m_baudRate);
    dcb.Flags = serial::fBinary;
    if (m_parity.Check())
        dcb.Flags |= serial::fParity;
    if (m_flowControl.OutCtsFlow())
        dcb.Flags |= serial::fOutxCtsFlow;
    if (m_flowControl.OutDsrFlow())
        dcb.Flags |= serial::fOutxDsrFlow;
    dcb.Flags |= (uint32_t(m_flowControl.ControlDtr()) << serial::fDtrControlShift) &
                 serial::fDtrControlMask;
    if (m_flowControl.XonXoffOut())
        dcb.Flags |= serial::fOutX;
    if (m_flowControl.XonXoffIn())
        dcb.Flags |= serial::fInX;
    if (m_parity.Replace())
        dcb.Flags |= serial::fErrorChar;
    if (m_discardNull)
        dcb.Flags |= serial::fNull;
    dcb.Flags |= (uint32_t(m_flowControl.ControlRts()) << serial::fRtsControlShift) &
                 serial::fRtsControlMask;
    dcb.XonLim = static_cast<uint16_t>(m_readBufSize >> 2);
    dcb.XoffLim = static_cast<uint16_t>(m_readBufSize >> 2);
    dcb.ByteSize = static_cast<uint8_t>(m_dataBits + 5);
    dcb.Parity = static_cast<uint8_t>(m_parity.Bits());
    dcb.StopBits = static_cast<uint8_t>(m_stopBits);
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = m_parity.Replace() ? m_parity.ReplaceChar() : 0;
    dcb.EofChar = 0;
    dcb.EvtChar = m_eventChar;
    return dcb;
}

serial::CommTimeouts TComPort::buildTimeouts() const
{
    serial::CommTimeouts timeouts;
    timeouts.ReadIntervalTimeout = static_cast<uint32_t>(m_timeouts.ReadInterval());
    timeouts.ReadTotalTimeoutMultiplier = static_cast<uint32_t>(m_timeouts.ReadTotalMultiplier());
    timeouts.ReadTotalTimeoutConstant = static_cast<uint32_t>(m_timeouts.ReadTotalConstant());
    timeouts.WriteTotalTimeoutMultiplier = static_cast<uint32_t>(m_timeouts.WriteTotalMultiplier());
    timeouts.WriteTotalTimeoutConstant = static_cast<uint32_t>(m_timeouts.WriteTotalConstant());
    return timeouts;
}

void TComPort::ApplyBuffers()
{
    if (m_connected)
        check(serial::setupComm(m_handle.get(), m_readBufSize, m_writeBufSize));
}

void TComPort::ApplyLineState()
{
    if (m_connected)
        check(serial::setCommState(m_handle.get(), buildDcb()));
}

void TComPort::ApplyTimeouts()
{
    if (m_connected)
        check(serial::setCommTimeouts(m_handle.get(), buildTimeouts()));
}

void TComPort::reopenIfConnected()
{
    if (!m_connected)
        return;
    Close();
    Open();
}

void TComPort::setBaudRate(TBaudRate value)
{
    if (serial::storeIfDifferent(m_baudRate, value))
        ApplyLineState();
}

void TComPort::setPort(TPortType value)
{
    if (serial::storeIfDifferent(m_port, value))
        reopenIfConnected();
}

void TComPort::setDevicePath(const QString &value)
{
    if (serial::storeIfDifferent(m_devicePath, value))
        reopenIfConnected();
}

// The port's own settings objects keep referring to this port: taking the
// reference of the copied object would leave later changes unapplied.
void TComPort::setParity(const TParity &value)
{
    if (m_parity.sameValues(value))
        return;
    m_parity.assignValues(value);
    ApplyLineState();
}

void TComPort::setStopBits(TStopBits value)
{
    if (serial::storeIfDifferent(m_stopBits, value))
        ApplyLineState();
}

void TComPort::setDataBits(TDataBits value)
{
    if (serial::storeIfDifferent(m_dataBits, value))
        ApplyLineState();
}

void TComPort::setDiscardNull(bool value)
{
    if (serial::storeIfDifferent(m_discardNull, value))
        ApplyLineState();
}

void TComPort::setEventChar(quint8 value)
{
    if (serial::storeIfDifferent(m_eventChar, value))
        ApplyLineState();
}

// Read when the port opens; an open port keeps the events it started with.
void TComPort::setEvents(TEvents value)
{
    serial::storeIfDifferent(m_events, value);
}

void TComPort::setWriteBufSize(quint32 value)
{
    if (serial::storeIfDifferent(m_writeBufSize, value))
        ApplyBuffers();
}

void TComPort::setReadBufSize(quint32 value)
{
    if (serial::storeIfDifferent(m_readBufSize, value))
        ApplyBuffers();
}

void TComPort::setFlowControl(const TFlowControl &value)
{
    if (m_flowControl.sameValues(value))
        return;
    m_flowControl.assignValues(value);
    ApplyLineState();
}

void TComPort::setTimeouts(const TComTimeouts &value)
{
    if (m_timeouts.sameValues(value))
        return;
    m_timeouts.assignValues(value);
    ApplyTimeouts();
}

void TComPort::setSyncMethod(TSyncMethod value)
{
    if (value == m_syncMethod)
        return;
    if (m_connected)
        throw EComPort(kSyncMethodWhileConnected);
    m_syncMethod = value;
}
