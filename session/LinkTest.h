#pragma once

#include "session/LinkResults.h"
#include "session/RadioSession.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>

// A link test between two radio sessions: the sender's series (or, both
// ways, the two radios' series in turn) carries a tag in front of every
// text, and what arrives at the other radio is matched to it by that tag
// alone. Each session goes on showing and answering everything as always;
// the link test only listens.
class LinkTest : public QObject
{
    Q_OBJECT

public:
    // A written message that has not arrived after this long is lost.
    static constexpr qint64 DefaultDeliveryTimeoutMs = RadioSession::DefaultReportTimeoutMs;

    LinkTest(RadioSession &sender, RadioSession &receiver, QObject *parent = nullptr);

    RadioSession &session(LinkSide side)
    {
        return side == LinkSide::Sender ? m_sender : m_receiver;
    }

    // The fields of the messages the radio on `side` composes; during a
    // link test their text is tagged.
    void setMessageSource(LinkSide side, std::function<RadioSession::MessageFields()> source);
    void setDeliveryTimeoutMs(qint64 timeoutMs) { m_deliveryTimeoutMs = timeoutMs; }

    // Starts a link test of `count` messages, `delayMs` apart: all from the
    // sender, or with bothWays from the sender and the receiver in turn.
    // Empty when it started; else why it cannot, and nothing was sent.
    QString start(int count, int delayMs, bool bothWays, const QByteArray &protocolIdText);
    // Stops sending; what is on its way is still awaited.
    void stop();
    // True while messages of the link test are still to be composed.
    bool sending() const;
    // Ends the link test: from now on messages go out untagged and what
    // arrives is not counted. The results stay.
    void end();
    bool inUse() const { return m_inUse; }
    // The end of the waiting: every message that has not arrived is lost.
    void closeRun();

    const LinkResults &results() const { return m_results; }

signals:
    // A line for the message window, without its timestamp.
    void note(const QByteArray &line);
    // Starting the receiver's half of the messages failed.
    void failed(const QString &message);

private:
    void follow(LinkSide side);
    RadioSession::MessageFields tagged(LinkSide side, RadioSession::MessageFields fields);
    void startReverse();

    RadioSession &m_sender;
    RadioSession &m_receiver;
    LinkResults m_results;
    std::array<std::function<RadioSession::MessageFields()>, 2> m_sources;
    bool m_inUse = false;
    bool m_bothWays = false;
    int m_count = 0;
    int m_delayMs = 0;
    // Per side: messages composed in this run, and the sequence number of
    // the one being composed.
    std::array<int, 2> m_composed{};
    std::array<int, 2> m_composing{};
    bool m_shorteningNoted = false;
    qint64 m_deliveryTimeoutMs = DefaultDeliveryTimeoutMs;
    // The receiver's first message, one delay after the sender's.
    QTimer m_reverseStart;
    QTimer m_expiry;
};
