#include "serial/ComSettings.h"

#include "serial/Comms.h"
#include "serial/StoreIfDifferent.h"

void TParity::apply()
{
    if (m_port)
        m_port->ApplyLineState();
}

void TParity::setBits(TParityBits bits)
{
    if (serial::storeIfDifferent(m_bits, bits))
        apply();
}

void TParity::setCheck(bool check)
{
    if (serial::storeIfDifferent(m_check, check))
        apply();
}

void TParity::setReplace(bool replace)
{
    if (serial::storeIfDifferent(m_replace, replace))
        apply();
}

void TParity::setReplaceChar(uint8_t replaceChar)
{
    if (serial::storeIfDifferent(m_replaceChar, replaceChar))
        apply();
}

bool TParity::sameValues(const TParity &other) const
{
    return m_bits == other.m_bits && m_check == other.m_check && m_replace == other.m_replace &&
           m_replaceChar == other.m_replaceChar;
}

void TParity::assignValues(const TParity &other)
{
    TComPort *const port = m_port;
    *this = other;
    m_port = port;
}

void TFlowControl::apply()
{
    if (m_port)
        m_port->ApplyLineState();
}

void TFlowControl::setOutCtsFlow(bool on)
{
    if (serial::storeIfDifferent(m_outCtsFlow, on))
        apply();
}

void TFlowControl::setOutDsrFlow(bool on)
{
    if (serial::storeIfDifferent(m_outDsrFlow, on))
        apply();
}

void TFlowControl::setControlDtr(TDtrFlowControl control)
{
    if (serial::storeIfDifferent(m_controlDtr, control))
        apply();
}

void TFlowControl::setControlRts(TRtsFlowControl control)
{
    if (serial::storeIfDifferent(m_controlRts, control))
        apply();
}

void TFlowControl::setXonXoffOut(bool on)
{
    if (serial::storeIfDifferent(m_xonXoffOut, on))
        apply();
}

void TFlowControl::setXonXoffIn(bool on)
{
    if (serial::storeIfDifferent(m_xonXoffIn, on))
        apply();
}

bool TFlowControl::sameValues(const TFlowControl &other) const
{
    return m_outCtsFlow == other.m_outCtsFlow && m_outDsrFlow == other.m_outDsrFlow &&
           m_controlDtr == other.m_controlDtr && m_controlRts == other.m_controlRts &&
           m_xonXoffOut == other.m_xonXoffOut && m_xonXoffIn == other.m_xonXoffIn;
}

void TFlowControl::assignValues(const TFlowControl &other)
{
    TComPort *const port = m_port;
    *this = other;
    m_port = port;
}

void TComTimeouts::apply()
{
    if (m_port)
        m_port->ApplyTimeouts();
}

void TComTimeouts::setReadInterval(int32_t ms)
{
    if (serial::storeIfDifferent(m_readInterval, ms))
        apply();
}

void TComTimeouts::setReadTotalMultiplier(int32_t ms)
{
    if (serial::storeIfDifferent(m_readTotalMultiplier, ms))
        apply();
}

void TComTimeouts::setReadTotalConstant(int32_t ms)
{
    if (serial::storeIfDifferent(m_readTotalConstant, ms))
        apply();
}

void TComTimeouts::setWriteTotalMultiplier(int32_t ms)
{
    if (serial::storeIfDifferent(m_writeTotalMultiplier, ms))
        apply();
}

void TComTimeouts::setWriteTotalConstant(int32_t ms)
{
    if (serial::storeIfDifferent(m_writeTotalConstant, ms))
        apply();
}

bool TComTimeouts::sameValues(const TComTimeouts &other) const
{
    return m_readInterval == other.m_readInterval &&
           m_readTotalMultiplier == other.m_readTotalMultiplier &&
           m_readTotalConstant == other.m_readTotalConstant &&
           m_writeTotalMultiplier == other.m_writeTotalMultiplier &&
           m_writeTotalConstant == other.m_writeTotalConstant;
}

void TComTimeouts::assignValues(const TComTimeouts &other)
{
    TComPort *const port = m_port;
    *this = other;
    m_port = port;
}
