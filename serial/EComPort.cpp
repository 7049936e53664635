#include "serial/EComPort.h"

EComPort::EComPort(const std::string &message) : std::runtime_error(message) {}

EComPort::EComPort(const char *prefix, int code)
    : std::runtime_error(std::string(prefix) + std::to_string(code)), m_code(code)
{}
