#pragma once

#include <QByteArray>

// Matching of the radio's answers to the commands the window sent, one
// response at a time. Pure functions: the window writes the lines (behind
// its timestamp) and moves the link state.
namespace ResponseScan {

// "OK", "ERROR", "+CME ERROR: <code>" or "+CMS ERROR: <code>": a line text
// (without line ends) that ends the radio's answer to a command.
bool isFinalResultLine(const QByteArray &text);

// True when the last line of a response is a final result line.
bool endsWithFinalResult(const QByteArray &response);

// While probing: only the response "\r\nOK\r\n", whole and alone, answers "AT".
bool isProbeAnswer(const QByteArray &response);

// While registering: only "\r\n+CMGS: 0\r\n\r\nOK\r\n", whole and alone.
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

// Reads the answer at the front of a response while messages wait for one.
SendingAnswer readSendingAnswer(const QByteArray &response);

} // namespace ResponseScan
