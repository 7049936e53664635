#include "pei/PeiDialect.h"

#include "pei/SdsCodec.h"

bool PeiDialect::isAnswerText(const QByteArray &line) const
{
    return line.startsWith("+CMGS:");
}

std::optional<int> PeiDialect::maxLengthBits(const QByteArray &) const
{
    return std::nullopt;
}

QByteArray PeiDialect::serviceSelectionCommand(Identity::Type) const
{
    return {};
}

QByteArray PeiDialect::reportRequestRefusal(const QByteArray &) const
{
    return {};
}

QByteArray PeiDialect::sendingNote(const QByteArray &) const
{
    return {};
}

QByteArray PeiDialect::acknowledgementCommand(const Indication::Reading &) const
{
    return {};
}

bool CmtDialect::isIndicationHeader(const QByteArray &line) const
{
    return line.startsWith("+CMT:");
}

QByteArray CmtDialect::registrationCommand(const QByteArray &protocolIdText) const
{
    return SdsCodec::buildRegistrationCommand(protocolIdText);
}

QByteArray CmtDialect::textMessageCommand(const QByteArray &protocolIdText, quint8 reportFlags,
                                          quint8 reference, const QByteArray &destIssi,
                                          const QByteArray &message) const
{
    return SdsCodec::composeTextMessage(protocolIdText, reportFlags, reference, destIssi, message);
}

bool CmtDialect::acceptsDestination(const QByteArray &identity) const
{
    return Identity::isAddressableSsi(identity);
}

QByteArray CmtDialect::destinationRefusal() const
{
    return QByteArrayLiteral("Not an ISSI: a number from 1 to 16777215.");
}

QList<QByteArray> CmtDialect::reportCommands(const Indication::Reading &message) const
{
    return SdsCodec::reportCommands(message.message);
}

bool CmtDialect::isRegistrationAnswer(const QByteArray &response) const
{
    return ResponseScan::isRegistrationAnswer(response);
}

ResponseScan::SendingAnswer CmtDialect::readSendingAnswer(const QByteArray &response) const
{
    return ResponseScan::readSendingAnswer(response);
}

Indication::Reading CmtDialect::readIndication(const QByteArray &response) const
{
    return Indication::read(response);
}
