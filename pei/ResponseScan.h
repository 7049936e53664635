#pragma once

#include <QByteArray>
#include <QList>

// Reading the radio's answers to the commands the session wrote, one framed
// response at a time, by its lines: a line is its text without the line
// ends around it, and empty lines do not count. So an answer reads the same
// whether its opening "\r\n" came or was taken by noise or an echo in front
// of it. Pure functions: the session writes the lines (behind its
// timestamp) and moves the link state.
namespace ResponseScan {

// The non-empty lines of a response, without their line ends.
QList<QByteArray> responseLines(const QByteArray &response);

// "OK", "ERROR", "+CME ERROR: <code>" or "+CMS ERROR: <code>": a line text
// (without line ends) that ends the radio's answer to a command.
bool isFinalResultLine(const QByteArray &text);

// True when a line of a response is a final result line: the response is
// (or holds) the answer to a command.
bool endsWithFinalResult(const QByteArray &response);

// The answer to "AT": the line "OK" alone.
bool isProbeAnswer(const QByteArray &response);

// The acceptance of a registration: the lines "+CMGS: 0" and "OK" alone.
bool isRegistrationAnswer(const QByteArray &response);

// How the radio answered a text message.
struct SendingAnswer
{
    enum class Kind {
        // Not an answer to a message.
        None,
        // "+CMGS: 0" and "OK": the radio took the message.
        Completed,
        // "+CME ERROR", "ERROR" or "+CMS ERROR": the radio refused it.
        Refused,
    };
    Kind kind = Kind::None;
    // The message-window line text, without the timestamp.
    QByteArray line;
    // A refusal in short: "CME ERROR 35", "CMS ERROR 500" or "ERROR".
    QByteArray refusal;
};

// Reads the answer to a text message: its lines up to the first final
// result. "+CMGS: 0" alone before "OK" completes it; "+CME ERROR",
// "+CMS ERROR" and "ERROR" refuse it; anything else answers no message.
SendingAnswer readSendingAnswer(const QByteArray &response);
// The refusal a final result line stands for; Kind::None for "OK" and for
// lines that are no final result.
SendingAnswer refusalOf(const QByteArray &finalLine);
// The lines of a response up to and including its first final result line;
// all of them when it has none.
QList<QByteArray> answerLines(const QByteArray &response);

} // namespace ResponseScan
