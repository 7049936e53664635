#pragma once

#include <QByteArray>

#include <stdexcept>
#include <string>

// Raised when a text that must hold an integer does not. The message is the
// one the user sees in the application's error box; the text is 8-bit, so
// what() holds its octets unchanged (show it with QString::fromLatin1).
class IntegerConversionError : public std::runtime_error
{
public:
    explicit IntegerConversionError(const QByteArray &text)
        : std::runtime_error("'" + std::string(text.constData(), size_t(text.size())) +
                             "' is not a valid integer value"),
          m_text(text)
    {}

    const QByteArray &text() const { return m_text; }

private:
    QByteArray m_text;
};
