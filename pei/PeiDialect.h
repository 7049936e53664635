#pragma once

#include "pei/Identity.h"
#include "pei/Indication.h"
#include "pei/ResponseScan.h"

#include <QByteArray>
#include <QList>
#include <optional>

// Everything that differs between the PEI dialects that radios speak: the
// bytes of the commands the window writes and how the radio's responses
// read. The framer and the window ask it; one implementation per dialect,
// each stateless. Builders that convert the protocol identifier text throw
// IntegerConversionError when it is not an integer.
class PeiDialect
{
public:
    virtual ~PeiDialect() = default;

    // True when a line (without its leading and trailing line ends) is the
    // header of an indication whose data line follows it.
    virtual bool isIndicationHeader(const QByteArray &line) const = 0;

    // True when a line is information text of an answer, to be kept with the
    // final result that follows ("+CMGS: 0" before "OK"). Any other line
    // that is not a final result stands alone, so an unsolicited line never
    // merges into the answer after it.
    virtual bool isAnswerText(const QByteArray &line) const;

    // Registers the application under the protocol identifier.
    virtual QByteArray registrationCommand(const QByteArray &protocolIdText) const = 0;
    // Selects the Short Data service for commands to identities of a type:
    // written before the first Short Data command of a connection, and again
    // before one whose identity (destination, or caller answered) is of
    // another type than the last selected. Empty when the dialect needs none.
    virtual QByteArray serviceSelectionCommand(Identity::Type type = Identity::Type::Ssi) const;
    // Sends one text message to the destination identity.
    virtual QByteArray textMessageCommand(const QByteArray &protocolIdText, quint8 reportFlags,
                                          quint8 reference, const QByteArray &destIssi,
                                          const QByteArray &message) const = 0;
    // Empty when a text message of this protocol identifier may ask for
    // reports; else why it cannot, to show by the report boxes it disables.
    virtual QByteArray reportRequestRefusal(const QByteArray &protocolIdText) const;
    // A message-window line (without the timestamp) to write when a text
    // message of this protocol identifier is sent; empty when none.
    virtual QByteArray sendingNote(const QByteArray &protocolIdText) const;
    // True when the Destination ISSI field's text is an identity this
    // dialect sends to; nothing is sent to any other.
    virtual bool acceptsDestination(const QByteArray &identity) const = 0;
    // The word shown beside the destination field when it refuses a text.
    virtual QByteArray destinationRefusal() const = 0;
    // The reports a received message (an indication read as Kind::Message)
    // asks for, in sending order, to its calling identity.
    virtual QList<QByteArray> reportCommands(const Indication::Reading &message) const = 0;
    // The acknowledgement a received report (Kind::Report) asks for, to its
    // calling identity; empty when none is due.
    virtual QByteArray acknowledgementCommand(const Indication::Reading &report) const;
    // Asks the radio for the longest user data it takes; empty when the
    // dialect has no such question.
    virtual QByteArray maxLengthQuery() const { return {}; }

    // While registering: true for the radio's acceptance.
    virtual bool isRegistrationAnswer(const QByteArray &response) const = 0;
    // How the response at hand answers a text message.
    virtual ResponseScan::SendingAnswer readSendingAnswer(const QByteArray &response) const = 0;
    // What an indication says; Kind::None for any other response.
    virtual Indication::Reading readIndication(const QByteArray &response) const = 0;
    // The longest user data in bits from the answer to maxLengthQuery();
    // nullopt when the answer does not tell one that can be used (none
    // beyond MessageTextLimit::DefaultUserDataBits).
    virtual std::optional<int> maxLengthBits(const QByteArray &response) const;
};

// Radios that indicate Short Data with "+CMT:" and take four-argument
// "AT+CMGS" commands. Identities are SSIs; every protocol identifier gets
// the SDS-TL header, and the text coding octet only with the text "130".
class CmtDialect : public PeiDialect
{
public:
    bool isIndicationHeader(const QByteArray &line) const override;
    QByteArray registrationCommand(const QByteArray &protocolIdText) const override;
    QByteArray textMessageCommand(const QByteArray &protocolIdText, quint8 reportFlags,
                                  quint8 reference, const QByteArray &destIssi,
                                  const QByteArray &message) const override;
    bool acceptsDestination(const QByteArray &identity) const override;
    QByteArray destinationRefusal() const override;
    QList<QByteArray> reportCommands(const Indication::Reading &message) const override;
    bool isRegistrationAnswer(const QByteArray &response) const override;
    ResponseScan::SendingAnswer readSendingAnswer(const QByteArray &response) const override;
    Indication::Reading readIndication(const QByteArray &response) const override;
};

// Radios that follow the PEI standard: "+CTSDSR:" indications, "AT+CTSP"
// registration, the SDS-TL service chosen with "AT+CTSDS", two-argument
// "AT+CMGS" commands. Identities are SSIs or full identities; text
// messages are coded by their protocol identifier (TextUserData).
class EtsiDialect : public PeiDialect
{
public:
    bool isIndicationHeader(const QByteArray &line) const override;
    QByteArray registrationCommand(const QByteArray &protocolIdText) const override;
    QByteArray serviceSelectionCommand(Identity::Type type) const override;
    QByteArray textMessageCommand(const QByteArray &protocolIdText, quint8 reportFlags,
                                  quint8 reference, const QByteArray &destIssi,
                                  const QByteArray &message) const override;
    QByteArray reportRequestRefusal(const QByteArray &protocolIdText) const override;
    QByteArray sendingNote(const QByteArray &protocolIdText) const override;
    bool acceptsDestination(const QByteArray &identity) const override;
    QByteArray destinationRefusal() const override;
    QList<QByteArray> reportCommands(const Indication::Reading &message) const override;
    QByteArray acknowledgementCommand(const Indication::Reading &report) const override;
    QByteArray maxLengthQuery() const override;
    bool isRegistrationAnswer(const QByteArray &response) const override;
    ResponseScan::SendingAnswer readSendingAnswer(const QByteArray &response) const override;
    Indication::Reading readIndication(const QByteArray &response) const override;
    std::optional<int> maxLengthBits(const QByteArray &response) const override;
};
