#pragma once

#include <QByteArray>
#include <optional>

namespace radiosim {

// One complete unit of input from the terminal side of the PEI.
struct PeiFrame
{
    enum class Kind {
        Command,  // a command line; text holds it without its terminator
        Message,  // an "AT+CMGS=" header line followed by user data ended by 0x1A
        Overlong, // a line or user data past its limit; the rest of it is skipped
    };
    Kind kind = Kind::Command;
    QByteArray text;     // the command line, or the message's header line
    QByteArray userData; // the message's user data (hex text) without the 0x1A
};

// Cuts the byte stream from the terminal into frames one byte at a time, so
// input may arrive in fragments of any size. A line ends with "\r"; a line
// beginning "AT+CMGS=" (any case), other than the question "AT+CMGS=?", is
// followed by user data that ends with 0x1A. Line feeds outside user data are ignored, empty lines
// are dropped, and a 0x1A in a line also ends it, so a terminal that lost its way resynchronises at
// its next message. Memory is bounded: input past a limit is reported once as Overlong and the rest
// up to its terminator is dropped.
class PeiFramer
{
public:
    static constexpr int maxLineLength = 256;
    static constexpr int maxUserDataLength = 1024;

    std::optional<PeiFrame> push(char byte);

private:
    std::optional<PeiFrame> pushLineByte(char byte);
    std::optional<PeiFrame> pushUserDataByte(char byte);

    enum class State { Line, UserData, SkipLine, SkipUserData };
    State m_state = State::Line;
    QByteArray m_line;
    QByteArray m_userData;
};

} // namespace radiosim
