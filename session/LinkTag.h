#pragma once

#include "pei/ReceivedText.h"

#include <QByteArray>
#include <QtGlobal>

// The tag in front of the text of every message of a link test, by which
// the far end tells which message of which run it holds: "#7f3a:0042 " is
// '#', the run identifier as four lower-case hex digits, ':', the message's
// sequence number in decimal with at least four digits (no other leading
// zeros), and a space. A received text is untrusted: only that exact form
// reads as a tag.
namespace LinkTag {

constexpr int MaxSequence = 999999999;

// The tag of a message; sequence from 1 to MaxSequence.
QByteArray make(quint16 runId, int sequence);
// How many characters the tag of a sequence number takes, its space included.
int length(int sequence);

struct Reading
{
    enum class Kind {
        // The text does not begin like a tag: no message of a link test.
        Untagged,
        // It begins like one ('#', hex digits, ':') but is no tag.
        Malformed,
        Tagged,
    };
    Kind kind = Kind::Untagged;
    quint16 runId = 0;
    int sequence = 0;
};

// Reads the tag at the front of a text.
Reading read(const QByteArray &text);

// The text of a received message as its sender composed it: the "+CMT"
// profile shows the text coding octet 0x01 in front of it, which is dropped.
QByteArray sentText(const ReceivedText::Content &content);

} // namespace LinkTag
