// The link test of an unattended run: a second radio receives the
// messages (or sends every other one back), and the results say what
// arrived.
#include "session/SeriesRun.h"

#include "pei/SdsCodec.h"
#include "session/LinkExport.h"
#include "session/LinkTest.h"
#include "session/SeriesExport.h"

namespace {

// A note of the link test, as the message window has it, for the error stream.
QString noteText(const QByteArray &line)
{
    return QString::fromLatin1(line.startsWith(": ") ? line.mid(2) : line);
}

} // namespace

void SeriesRun::setReceiver(RadioSession &receiver)
{
    m_receiver = &receiver;
    m_link = new LinkTest(m_session, receiver, this);
    reportProblemsOf(receiver, QStringLiteral("receiver %1: ").arg(m_options.receiver));
    const QByteArray destination = QByteArray::number(m_options.destination);
    m_link->setMessageSource(LinkSide::Sender,
                             [this, destination] { return messageFields(destination); });
    connect(m_link, &LinkTest::note, this,
            [this](const QByteArray &line) { report(noteText(line)); });
    connect(m_link, &LinkTest::failed, this, [this](const QString &message) { report(message); });
    // The deliveries are awaited as long as the reports.
    m_link->setDeliveryTimeoutMs(qint64(m_options.reportTimeoutSeconds) * 1000);
}

bool SeriesRun::connectReceiver()
{
    const QString &profile =
        m_options.receiverProfile.isEmpty() ? m_options.profile : m_options.receiverProfile;
    if (!prepare(*m_receiver, profile, m_options.receiverLine))
        return false;
    bool opened = false;
    try {
        opened = m_receiver->connectTo(m_options.receiver);
    } catch (const std::exception &error) {
        report(QString::fromLatin1(error.what()));
    }
    if (!opened)
        fail(ExitUsage, QStringLiteral("cannot open the receiver %1").arg(m_options.receiver));
    return opened;
}

bool SeriesRun::allAt(std::uint8_t state) const
{
    return notAt(state).isEmpty();
}

QString SeriesRun::notAt(std::uint8_t state) const
{
    if (m_session.RadioState != state)
        return QStringLiteral("radio");
    if (m_receiver && m_receiver->RadioState != state)
        return QStringLiteral("receiver");
    return QString();
}

void SeriesRun::registerReceiver()
{
    if (!m_receiver)
        return;
    // Under the same protocol identifier, so the messages reach it.
    try {
        m_receiver->runGuarded(
            [this] { m_receiver->registerApplication(QByteArray::number(m_options.protocolId)); });
    } catch (const std::exception &error) {
        report(QString::fromLatin1(error.what()));
    }
}

void SeriesRun::afterRegistration()
{
    if (!m_link || !m_options.bothWays) {
        startSeries();
        return;
    }
    m_step = Step::Identifying;
    m_stepClock.start();
    connect(&m_session, &RadioSession::ownIdentityAnswered, this,
            [this](const QByteArray &identity) {
                if (m_step != Step::Identifying)
                    return;
                if (identity.isEmpty()) {
                    fail(ExitIncomplete,
                         QStringLiteral("the radio did not tell its own identity (AT+CNUMF?), "
                                        "which --both-ways sends the receiver's messages to"));
                    return;
                }
                m_link->setMessageSource(LinkSide::Receiver,
                                         [this, identity] { return messageFields(identity); });
                startSeries();
            });
    act([this] { m_session.askOwnIdentity(); });
}

void SeriesRun::startLinkTest()
{
    m_receiver->setReportRequested(SdsCodec::ReceivedReportFlag, m_options.receivedReports);
    m_receiver->setReportRequested(SdsCodec::ConsumedReportFlag, m_options.consumedReports);
    QString refusal;
    act([this, &refusal] {
        refusal = m_link->start(m_options.count, m_options.delayMs, m_options.bothWays,
                                QByteArray::number(m_options.protocolId));
    });
    if (!refusal.isEmpty())
        fail(ExitUsage, refusal);
}

bool SeriesRun::sending() const
{
    return m_link ? m_link->sending() : m_session.seriesRunning();
}

int SeriesRun::queued() const
{
    const int receiverQueued = m_receiver ? m_receiver->seriesStatistics().counts().queued : 0;
    return m_session.seriesStatistics().counts().queued + receiverQueued;
}

bool SeriesRun::linkDone() const
{
    const LinkResults::Counts link = m_link->results().counts();
    const bool allComposed = link.messages == m_options.count || m_stopSignal != 0;
    return allComposed && link.inTransit == 0 && m_link->results().settled() && stillWaiting() == 0;
}

int SeriesRun::stillWaiting() const
{
    const int receiverWaiting =
        m_receiver ? m_receiver->seriesStatistics().counts().stillWaiting : 0;
    return m_session.seriesStatistics().counts().stillWaiting + receiverWaiting;
}

int SeriesRun::linkExitStatus() const
{
    const LinkResults &results = m_link->results();
    if (m_options.minDelivery) {
        const std::optional<double> ratio = results.deliveryRatio();
        return ratio && *ratio >= *m_options.minDelivery ? ExitGood : ExitIncomplete;
    }
    // Each radio's own messages answered as a series' are, on its share.
    SeriesRunOptions share = m_options;
    share.count = m_options.bothWays ? (m_options.count + 1) / 2 : m_options.count;
    bool good = exitStatusFor(share, m_session.seriesStatistics()) == ExitGood;
    if (m_options.bothWays) {
        share.count = m_options.count / 2;
        good = good && exitStatusFor(share, m_receiver->seriesStatistics()) == ExitGood;
    }
    const std::vector<LinkMessage> &messages = results.messages();
    good = good && int(messages.size()) == m_options.count &&
           std::all_of(messages.begin(), messages.end(),
                       [](const LinkMessage &message) { return message.deliveredIntactOnce(); });
    return good ? ExitGood : ExitIncomplete;
}

void SeriesRun::closeLinkRun()
{
    if (m_link)
        m_link->closeRun();
}

QString SeriesRun::summaryText() const
{
    if (!m_link)
        return SeriesExport::summaryText(m_session.seriesStatistics());
    return LinkExport::summaryText({&m_session.seriesStatistics(), &m_receiver->seriesStatistics()},
                                   m_link->results(), m_options.bothWays);
}

void SeriesRun::writeCsv(const QString &fileName) const
{
    if (!m_link) {
        SeriesExport::writeCsvFile(fileName,
                                   SeriesExport::CsvSnapshot(m_session.seriesStatistics()));
        return;
    }
    SeriesExport::writeCsvFile(fileName, LinkExport::CsvSnapshot({&m_session.seriesStatistics(),
                                                                  &m_receiver->seriesStatistics()},
                                                                 m_link->results()));
}

QByteArray SeriesRun::jsonText(const QJsonObject &run) const
{
    if (!m_link)
        return SeriesExport::summaryJson(m_session.seriesStatistics(), run);
    return LinkExport::summaryJson({&m_session.seriesStatistics(), &m_receiver->seriesStatistics()},
                                   m_link->results(), m_options.bothWays, run);
}
