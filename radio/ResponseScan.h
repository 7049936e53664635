#pragma once

#include <QByteArray>
#include <QList>

// Matching of the radio's answers to the commands the window sent. Pure
// functions: the window writes the lines (behind its timestamp) and moves the
// link state.
namespace ResponseScan {

// While probing: only the chunk "\r\nOK\r\n", whole and alone, answers "AT".
bool isProbeAnswer(const QByteArray &chunk);

// While registering: only the chunk "\r\n+CMGS: 0\r\n\r\nOK\r\n", whole and alone.
bool isRegistrationAnswer(const QByteArray &chunk);

struct SendingScan
{
    // Message-window line texts in order, without the timestamp.
    QList<QByteArray> lines;
    // At least one send completion was seen: the link is registered again.
    bool completed = false;
};

// While sending: reads send completions, the delivery reports that follow a
// completion, and "+CME ERROR" answers from the front of the chunk, and stops
// at the first thing it does not recognise.
SendingScan scanSendingResponse(const QByteArray &chunk);

} // namespace ResponseScan
