#include "radiosim/PeiFramer.h"

namespace radiosim {

namespace {

constexpr char carriageReturn = '\r';
constexpr char lineFeed = '\n';
constexpr char endOfUserData = '\x1A';

// "AT+CMGS=?" asks for the ranges the command takes: a command of its own.
bool startsMessage(const QByteArray &line)
{
    const QByteArray upper = line.toUpper();
    return upper.startsWith("AT+CMGS=") && upper != "AT+CMGS=?";
}

} // namespace

std::optional<PeiFrame> PeiFramer::push(char byte)
{
    switch (m_state) {
    case State::Line:
        return pushLineByte(byte);
    case State::UserData:
        return pushUserDataByte(byte);
    case State::SkipLine:
        if (byte == carriageReturn || byte == endOfUserData)
            m_state = State::Line;
        return std::nullopt;
    case State::SkipUserData:
        if (byte == endOfUserData)
            m_state = State::Line;
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<PeiFrame> PeiFramer::pushLineByte(char byte)
{
    if (byte == lineFeed)
        return std::nullopt;
    if (byte != carriageReturn && byte != endOfUserData) {
        if (m_line.size() >= maxLineLength) {
            m_line.clear();
            m_state = State::SkipLine;
            return PeiFrame{PeiFrame::Kind::Overlong, {}, {}};
        }
        m_line.append(byte);
        return std::nullopt;
    }
    if (m_line.isEmpty())
        return std::nullopt;
    if (byte == carriageReturn && startsMessage(m_line)) {
        m_state = State::UserData;
        return std::nullopt;
    }
    PeiFrame frame{PeiFrame::Kind::Command, m_line, {}};
    m_line.clear();
    return frame;
}

std::optional<PeiFrame> PeiFramer::pushUserDataByte(char byte)
{
    if (byte == endOfUserData) {
        PeiFrame frame{PeiFrame::Kind::Message, m_line, m_userData};
        m_line.clear();
        m_userData.clear();
        m_state = State::Line;
        return frame;
    }
    if (m_userData.size() >= maxUserDataLength) {
        m_line.clear();
        m_userData.clear();
        m_state = State::SkipUserData;
        return PeiFrame{PeiFrame::Kind::Overlong, {}, {}};
    }
    m_userData.append(byte);
    return std::nullopt;
}

} // namespace radiosim
