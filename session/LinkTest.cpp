#include "session/LinkTest.h"

#include "pei/MessageTextLimit.h"
#include "session/LinkTag.h"

#include <QRandomGenerator>
#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {

// How often written messages are looked at for being lost.
constexpr int expiryIntervalMs = 1000;

std::size_t sideIndex(LinkSide side)
{
    return std::size_t(side);
}

} // namespace

LinkTest::LinkTest(RadioSession &sender, RadioSession &receiver, QObject *parent)
    : QObject(parent), m_sender(sender), m_receiver(receiver)
{
    m_reverseStart.setSingleShot(true);
    m_reverseStart.setTimerType(Qt::PreciseTimer);
    connect(&m_reverseStart, &QTimer::timeout, this, &LinkTest::startReverse);
    m_expiry.setInterval(expiryIntervalMs);
    connect(&m_expiry, &QTimer::timeout, this,
            [this] { m_results.expireDeliveries(monotonicNowMs() - m_deliveryTimeoutMs); });
    follow(LinkSide::Sender);
    follow(LinkSide::Receiver);
}

void LinkTest::follow(LinkSide side)
{
    RadioSession &radio = session(side);
    connect(&radio, &RadioSession::messageScheduled, this,
            [this, side](int seriesIndex, const QByteArray &text) {
                int &sequence = m_composing[sideIndex(side)];
                if (m_inUse && sequence > 0)
                    m_results.messageScheduled(sequence, side, seriesIndex, text);
                sequence = 0;
            });
    connect(&radio, &RadioSession::messageWritten, this,
            [this, side](int seriesIndex, const Moment &at) {
                if (m_inUse)
                    m_results.messageWritten(side, seriesIndex, at);
            });
    connect(&radio, &RadioSession::textMessageReceived, this,
            [this, side](const RadioSession::ReceivedMessage &message) {
                if (!m_inUse)
                    return;
                const LinkResults::Verdict verdict =
                    m_results.messageArrived(side, message.number, LinkTag::sentText(message.text),
                                             message.reportsRequested, message.at);
                if (verdict == LinkResults::Verdict::Foreign)
                    emit note(": Link test: the message from " + message.caller +
                              " carries a tag that is not one of this run's; counted as foreign.");
            });
    connect(&radio, &RadioSession::reportWritten, this, [this, side](quint64 number) {
        if (m_inUse)
            m_results.reportSent(side, number);
    });
}

void LinkTest::setMessageSource(LinkSide side, std::function<RadioSession::MessageFields()> source)
{
    m_sources[sideIndex(side)] = std::move(source);
    session(side).setMessageSource([this, side] {
        const auto &user = m_sources[sideIndex(side)];
        return tagged(side, user ? user() : RadioSession::MessageFields());
    });
}

QString LinkTest::start(int count, int delayMs, bool bothWays, const QByteArray &protocolIdText)
{
    const int bitLimit = bothWays
                             ? std::min(m_sender.UserDataBitLimit(), m_receiver.UserDataBitLimit())
                             : m_sender.UserDataBitLimit();
    const int room = MessageTextLimit::maxCharacters(bitLimit, protocolIdText);
    if (LinkTag::length(count) > room)
        return QStringLiteral("a link test tags every message with %1 characters, and the radio "
                              "takes only %2 with protocol identifier %3")
            .arg(LinkTag::length(count))
            .arg(room)
            .arg(QString::fromLatin1(protocolIdText));
    stop();
    m_results.start(quint16(QRandomGenerator::global()->bounded(0x10000)));
    m_inUse = true;
    m_bothWays = bothWays;
    m_count = count;
    m_delayMs = delayMs;
    m_composed = {};
    m_composing = {};
    m_shorteningNoted = false;
    m_expiry.start();
    if (!bothWays) {
        m_sender.startSeries(count, delayMs, RadioSession::SeriesMemory::Whole);
        return {};
    }
    // The two radios take turns: each sends every other message.
    m_sender.startSeries((count + 1) / 2, 2 * delayMs, RadioSession::SeriesMemory::Whole);
    if (count > 1)
        m_reverseStart.start(delayMs);
    return {};
}

void LinkTest::startReverse()
{
    try {
        m_receiver.runGuarded([this] {
            m_receiver.startSeries(m_count / 2, 2 * m_delayMs, RadioSession::SeriesMemory::Whole);
        });
    } catch (const std::exception &error) {
        emit failed(QString::fromLatin1(error.what()));
    }
}

RadioSession::MessageFields LinkTest::tagged(LinkSide side, RadioSession::MessageFields fields)
{
    if (!m_inUse)
        return fields;
    const int composed = ++m_composed[sideIndex(side)];
    const int sequence = !m_bothWays                ? composed
                         : side == LinkSide::Sender ? 2 * composed - 1
                                                    : 2 * composed;
    m_composing[sideIndex(side)] = sequence;
    const QByteArray tag = LinkTag::make(m_results.runId(), sequence);
    const int room =
        MessageTextLimit::maxCharacters(session(side).UserDataBitLimit(), fields.protocolIdText) -
        int(tag.size());
    if (fields.text.size() > room) {
        fields.text.truncate(std::max(room, 0));
        if (!std::exchange(m_shorteningNoted, true))
            emit note(": Link test: the text is shortened to " + QByteArray::number(room) +
                      " characters, to leave room for its tag.");
    }
    fields.text.prepend(tag);
    if (m_bothWays)
        fields.delayMs *= 2;
    return fields;
}

void LinkTest::stop()
{
    m_reverseStart.stop();
    m_sender.stopSeries();
    m_receiver.stopSeries();
}

bool LinkTest::sending() const
{
    return m_sender.seriesRunning() || m_receiver.seriesRunning() || m_reverseStart.isActive();
}

void LinkTest::end()
{
    stop();
    m_inUse = false;
    m_expiry.stop();
}

void LinkTest::closeRun()
{
    m_expiry.stop();
    m_results.closeRun();
}
