#pragma once

#include "serial/ComTypes.h"

#include <cstdint>

class TComPort;

// The three groups of settings a port publishes as objects. Each refers to
// its port; a changed value is applied to it at once (nothing happens while
// the port is closed). Assignment copies the values and the port reference
// and applies nothing.

class TParity
{
public:
    explicit TParity(TComPort *port = nullptr) : m_port(port) {}

    TParityBits Bits() const { return m_bits; }
    void setBits(TParityBits bits);
    bool Check() const { return m_check; }
    void setCheck(bool check);
    bool Replace() const { return m_replace; }
    void setReplace(bool replace);
    uint8_t ReplaceChar() const { return m_replaceChar; }
    void setReplaceChar(uint8_t replaceChar);

    TComPort *port() const { return m_port; }
    bool sameValues(const TParity &other) const;
    // Copies the values only, keeping this object's port.
    void assignValues(const TParity &other);

private:
    void apply();

    TComPort *m_port = nullptr;
    TParityBits m_bits = prNone;
    bool m_check = false;
    bool m_replace = false;
    uint8_t m_replaceChar = 0;
};

class TFlowControl
{
public:
    explicit TFlowControl(TComPort *port = nullptr) : m_port(port) {}

    bool OutCtsFlow() const { return m_outCtsFlow; }
    void setOutCtsFlow(bool on);
    bool OutDsrFlow() const { return m_outDsrFlow; }
    void setOutDsrFlow(bool on);
    TDtrFlowControl ControlDtr() const { return m_controlDtr; }
    void setControlDtr(TDtrFlowControl control);
    TRtsFlowControl ControlRts() const { return m_controlRts; }
    void setControlRts(TRtsFlowControl control);
    bool XonXoffOut() const { return m_xonXoffOut; }
    void setXonXoffOut(bool on);
    bool XonXoffIn() const { return m_xonXoffIn; }
    void setXonXoffIn(bool on);

    TComPort *port() const { return m_port; }
    bool sameValues(const TFlowControl &other) const;
    void assignValues(const TFlowControl &other);

private:
    void apply();

    TComPort *m_port = nullptr;
    bool m_outCtsFlow = false;
    bool m_outDsrFlow = false;
    TDtrFlowControl m_controlDtr = dtrDisable;
    TRtsFlowControl m_controlRts = rtsDisable;
    bool m_xonXoffOut = false;
    bool m_xonXoffIn = false;
};

// Milliseconds as the port's time-out record takes them; -1 stands for the
// all-ones pattern (MAXDWORD).
class TComTimeouts
{
public:
    explicit TComTimeouts(TComPort *port = nullptr) : m_port(port) {}

    int32_t ReadInterval() const { return m_readInterval; }
    void setReadInterval(int32_t ms);
    int32_t ReadTotalMultiplier() const { return m_readTotalMultiplier; }
    void setReadTotalMultiplier(int32_t ms);
    int32_t ReadTotalConstant() const { return m_readTotalConstant; }
    void setReadTotalConstant(int32_t ms);
    int32_t WriteTotalMultiplier() const { return m_writeTotalMultiplier; }
    void setWriteTotalMultiplier(int32_t ms);
    int32_t WriteTotalConstant() const { return m_writeTotalConstant; }
    void setWriteTotalConstant(int32_t ms);

    TComPort *port() const { return m_port; }
    bool sameValues(const TComTimeouts &other) const;
    void assignValues(const TComTimeouts &other);

private:
    void apply();

    TComPort *m_port = nullptr;
    int32_t m_readInterval = -1;
    int32_t m_readTotalMultiplier = 0;
    int32_t m_readTotalConstant = 0;
    int32_t m_writeTotalMultiplier = 100;
    int32_t m_writeTotalConstant = 1000;
};
