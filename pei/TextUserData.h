#pragma once

#include "pei/ReceivedText.h"

#include <QByteArray>
#include <optional>

// How the text protocols of the standard profile lay out their user data,
// in both directions. After the SDS-TL header (protocol identifier, message
// type octet, message reference, store/forward control when its storage bit
// is set) a text message has a text header octet: one bit "time stamp
// used", then the 7-bit text coding scheme; three octets of time stamp when
// that bit is set; then the text. Simple text has no SDS-TL header: its
// octet after the protocol identifier is a fill bit and the coding scheme.
// A message with a user data header has that header (its length octet, then
// elements) between the text header and the text.
namespace TextUserData {

enum ProtocolId : quint8 {
    SimpleText = 0x02,
    SimpleImmediateText = 0x09,
    Text = 0x82,
    ImmediateText = 0x89,
    WithUserDataHeader = 0x8A,
    Concatenated = 0x8C,
};

enum class Layout {
    // No text header: the user data is shown as it stands.
    Other,
    // No SDS-TL header; the text coding octet, then the text.
    SimpleText,
    // The SDS-TL header, the text header, the text.
    Text,
    // The SDS-TL header, the text header, a user data header, the text.
    TextWithUserDataHeader,
};

Layout layoutOf(int protocolId);

// The text of a message of the standard profile, from its user data after
// the SDS-TL header (after the protocol identifier for simple text).
// Nothing when a header runs past the end of the data, or a concatenation
// element is hostile (wrong length, no parts, a part number of 0 or beyond
// the count). A concatenation of one part reads as a whole message.
std::optional<ReceivedText::Content> read(int protocolId, const QByteArray &userData);

} // namespace TextUserData
