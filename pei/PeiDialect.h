#pragma once

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
    // Written once per connection before its first text message; empty when
    // the dialect needs none.
    virtual QByteArray serviceSelectionCommand() const { return {}; }
    // Sends one SDS-TL text message to the destination ISSI.
    virtual QByteArray textMessageCommand(const QByteArray &protocolIdText, quint8 reportFlags,
                                          quint8 reference, const QByteArray &destIssi,
                                          const QByteArray &message) const = 0;
    // The reports a received message (an indication read as Kind::Message)
    // asks for, in sending order.
    virtual QList<QByteArray> reportCommands(const Indication::Reading &message) const = 0;
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
// "AT+CMGS" commands.
class CmtDialect : public PeiDialect
{
public:
    bool isIndicationHeader(const QByteArray &line) const override;
    QByteArray registrationCommand(const QByteArray &protocolIdText) const override;
    QByteArray textMessageCommand(const QByteArray &protocolIdText, quint8 reportFlags,
                                  quint8 reference, const QByteArray &destIssi,
                                  const QByteArray &message) const override;
    QList<QByteArray> reportCommands(const Indication::Reading &message) const override;
    bool isRegistrationAnswer(const QByteArray &response) const override;
    ResponseScan::SendingAnswer readSendingAnswer(const QByteArray &response) const override;
    Indication::Reading readIndication(const QByteArray &response) const override;
};

// Radios that follow the PEI standard: "+CTSDSR:" indications, "AT+CTSP"
// registration, the SDS-TL service chosen with "AT+CTSDS", two-argument
// "AT+CMGS" commands.
class EtsiDialect : public PeiDialect
{
public:
    bool isIndicationHeader(const QByteArray &line) const override;
    QByteArray registrationCommand(const QByteArray &protocolIdText) const override;
    QByteArray serviceSelectionCommand() const override;
    QByteArray textMessageCommand(const QByteArray &protocolIdText, quint8 reportFlags,
                                  quint8 reference, const QByteArray &destIssi,
                                  const QByteArray &message) const override;
    QList<QByteArray> reportCommands(const Indication::Reading &message) const override;
    QByteArray maxLengthQuery() const override;
    bool isRegistrationAnswer(const QByteArray &response) const override;
    ResponseScan::SendingAnswer readSendingAnswer(const QByteArray &response) const override;
    Indication::Reading readIndication(const QByteArray &response) const override;
    std::optional<int> maxLengthBits(const QByteArray &response) const override;
};
