#include "session/SeriesRun.h"

#include "files/FileError.h"
#include "pei/SdsCodec.h"
#include "ports/PortMessages.h"
#include "serial/OpenFailure.h"
#include "session/LinkTest.h"
#include "session/RadioSession.h"
#include "session/SeriesExport.h"
#include "session/SeriesStatistics.h"
#include "session/StopSignals.h"

#include <QCoreApplication>
#include <QJsonValue>
#include <QTimer>
#include <stdexcept>
#include <unistd.h>

namespace {

constexpr int tickIntervalMs = 20;
constexpr int progressIntervalMs = 250;

QByteArray printableLines(const QString &text)
{
    QByteArray bytes = text.toLocal8Bit();
    bytes.replace("\r\n", "\n");
    return bytes;
}

} // namespace

SeriesRun::SeriesRun(RadioSession &session, const SeriesRunOptions &options, std::FILE *out,
                     std::FILE *err)
    : m_session(session), m_options(options), m_out(out), m_err(err),
      m_progressOnTerminal(::isatty(::fileno(err)) == 1), m_startedWallMs(momentNow().wallMs)
{
    m_ticker = new QTimer(this);
    m_ticker->setInterval(tickIntervalMs);
    connect(m_ticker, &QTimer::timeout, this, &SeriesRun::tick);
    followSession();
}

void SeriesRun::followSession()
{
    reportProblemsOf(m_session, QString());
    const QByteArray destination = QByteArray::number(m_options.destination);
    m_session.setMessageSource([this, destination] { return messageFields(destination); });
}

void SeriesRun::reportProblemsOf(RadioSession &radio, const QString &who)
{
    // Nobody is there to press a box's button: its text goes to the error
    // stream, and the run goes on as the window would.
    connect(&radio, &RadioSession::openFailed, this, [this, who](const QString &path, int error) {
        const serial::OpenFailure failure = serial::diagnoseOpenFailure(path, error);
        report(who + PortMessages::openFailureText(path, failure),
               PortMessages::openFailureDetail(path, failure));
    });
    connect(&radio, &RadioSession::readyTimeout, this,
            [this, who](const QString &text) { report(who + text); });
    connect(&radio, &RadioSession::portLost, this, [this, who](const QString &message) {
        m_connectionLost = true;
        report(who + message);
    });
    connect(&radio, &RadioSession::handlerFailed, this,
            [this, who](const QString &message) { report(who + message); });
}

RadioSession::MessageFields SeriesRun::messageFields(const QByteArray &destination) const
{
    return {QByteArray::number(m_options.protocolId), destination, m_options.text.toLatin1(),
            m_options.delayMs};
}

void SeriesRun::report(const QString &text, const QString &detail)
{
    std::fprintf(m_err, "%scorvane: %s\n", m_progressOnTerminal ? "\n" : "",
                 printableLines(text).constData());
    if (!detail.isEmpty())
        std::fprintf(m_err, "corvane: %s\n", printableLines(detail).constData());
}

void SeriesRun::act(const std::function<void()> &action)
{
    try {
        m_session.runGuarded(action);
    } catch (const std::exception &error) {
        report(QString::fromLatin1(error.what()));
    }
}

bool SeriesRun::prepare(RadioSession &radio, const QString &profile, const LineSettings &line)
{
    const int index = int(SeriesRunCommandLine::profiles().indexOf(profile));
    if (index < 0) {
        fail(ExitUsage, QStringLiteral("the profile %1 is not available").arg(profile));
        return false;
    }
    radio.setProfile(RadioProfile(index));
    radio.Line = line;
    if (m_options.answerTimeoutSeconds) {
        const qint64 timeoutMs = qint64(*m_options.answerTimeoutSeconds) * 1000;
        radio.setAnswerTimeouts({timeoutMs, timeoutMs});
    }
    radio.setReportTimeoutMs(qint64(m_options.reportTimeoutSeconds) * 1000);
    return true;
}

void SeriesRun::start()
{
    // A stop signal may come before the event loop starts the run.
    if (m_finished)
        return;
    if (!prepare(m_session, m_options.profile, m_options.line))
        return;
    // Better now than after a long series that then cannot be written down.
    if (!outputsWritable()) {
        fail(ExitUsage, QStringLiteral("the series was not started"));
        return;
    }
    bool opened = false;
    try {
        opened = m_session.connectTo(m_options.port);
    } catch (const std::exception &error) {
        report(QString::fromLatin1(error.what()));
    }
    // The reason went to the error stream, as the window shows it in its box.
    if (!opened) {
        fail(ExitUsage, QStringLiteral("cannot open %1").arg(m_options.port));
        return;
    }
    if (m_receiver && !connectReceiver())
        return;
    m_step = Step::Probing;
    m_stepClock.start();
    m_ticker->start();
}

void SeriesRun::tick()
{
    switch (m_step) {
    case Step::Probing:
        if (allAt(rsReady)) {
            m_step = Step::Registering;
            m_stepClock.start();
            act([this] {
                m_session.registerApplication(QByteArray::number(m_options.protocolId));
            });
            registerReceiver();
        } else if (m_stepClock.elapsed() > StepTimeoutMs) {
            fail(ExitIncomplete,
                 QStringLiteral("the %1 did not answer the probe").arg(notAt(rsReady)));
        }
        return;
    case Step::Registering:
        if (allAt(rsRegistered)) {
            afterRegistration();
        } else if (m_stepClock.elapsed() > StepTimeoutMs) {
            fail(ExitIncomplete,
                 QStringLiteral("the %1 did not answer the registration").arg(notAt(rsRegistered)));
        }
        return;
    case Step::Identifying:
        if (m_stepClock.elapsed() > StepTimeoutMs)
            fail(ExitIncomplete, QStringLiteral("the radio did not tell its own identity"));
        return;
    case Step::Sending:
        showProgress(false);
        // Every message has been composed once the series is no longer running.
        if (!sending()) {
            m_step = Step::Waiting;
            m_stepClock.start();
        }
        return;
    case Step::Waiting:
        showProgress(false);
        // The wait for late answers begins once the last message is written.
        if (queued() > 0)
            m_stepClock.start();
        if (seriesDone() || m_stepClock.elapsed() >= qint64(m_options.waitSeconds) * 1000)
            finish(exitStatus());
        return;
    }
}

void SeriesRun::interrupt(int signalNumber)
{
    if (m_finished)
        return;
    const QString name = StopSignals::name(signalNumber);
    if (m_stopSignal != 0) {
        report(QStringLiteral("%1 again: not waiting any longer").arg(name));
        finish(ExitIncomplete);
        return;
    }
    m_stopSignal = signalNumber;
    if (m_step != Step::Sending && m_step != Step::Waiting) {
        report(QStringLiteral("%1: stopped before the series began").arg(name));
        finish(ExitIncomplete);
        return;
    }
    if (m_link)
        m_link->stop();
    else
        m_session.stopSeries();
    act([this] { m_session.dropQueuedMessages(); });
    if (m_receiver) {
        try {
            m_receiver->runGuarded([this] { m_receiver->dropQueuedMessages(); });
        } catch (const std::exception &error) {
            report(QString::fromLatin1(error.what()));
        }
    }
    // The wait runs from now, unless it had begun already.
    if (m_step == Step::Sending) {
        m_step = Step::Waiting;
        m_stepClock.start();
    }
    if (stillWaiting() > 0)
        report(QStringLiteral("%1: series stopped; waiting up to %2 s for the answers already due "
                              "(another signal ends the wait)")
                   .arg(name)
                   .arg(m_options.waitSeconds));
    else
        report(QStringLiteral("%1: series stopped").arg(name));
    tick();
}

void SeriesRun::startSeries()
{
    // A radio may take less than every radio takes: it said so after the probe.
    const QString tooLong =
        textLengthProblem(m_options.text, m_options.protocolId, m_session.UserDataBitLimit());
    if (!tooLong.isEmpty()) {
        fail(ExitUsage, tooLong);
        return;
    }
    m_session.setReportRequested(SdsCodec::ReceivedReportFlag, m_options.receivedReports);
    m_session.setReportRequested(SdsCodec::ConsumedReportFlag, m_options.consumedReports);
    m_step = Step::Sending;
    m_stepClock.start();
    if (m_link) {
        startLinkTest();
        return;
    }
    act([this] { m_session.startSeries(m_options.count, m_options.delayMs); });
}

bool SeriesRun::seriesDone() const
{
    if (m_link)
        return linkDone();
    const SeriesStatistics::Counts counts = m_session.seriesStatistics().counts();
    const bool allComposed = counts.scheduled == m_options.count || m_stopSignal != 0;
    return allComposed && counts.stillWaiting == 0;
}

int SeriesRun::exitStatus() const
{
    return m_link ? linkExitStatus() : exitStatusFor(m_options, m_session.seriesStatistics());
}

int SeriesRun::exitStatusFor(const SeriesRunOptions &options, const SeriesStatistics &series)
{
    const SeriesStatistics::Counts counts = series.counts();
    const bool good = counts.sent == options.count && counts.completed == options.count &&
                      (!options.receivedReports || counts.receivedReports == options.count) &&
                      (!options.consumedReports || counts.consumedReports == options.count);
    return good ? ExitGood : ExitIncomplete;
}

void SeriesRun::showProgress(bool last)
{
    if (!m_progressOnTerminal)
        return;
    if (!last && m_progressShown.isValid() && m_progressShown.elapsed() < progressIntervalMs)
        return;
    m_progressShown.start();
    const SeriesStatistics::Counts counts = m_session.seriesStatistics().counts();
    std::fprintf(m_err,
                 "\r%d/%d sent, %d queued, %d completed, %d refused, %d received and %d consumed "
                 "reports, %d waiting  %s",
                 counts.sent, m_options.count, counts.queued, counts.completed, counts.refused,
                 counts.receivedReports, counts.consumedReports, counts.stillWaiting,
                 last ? "\n" : "");
    std::fflush(m_err);
}

bool SeriesRun::outputsWritable()
{
    bool writable = true;
    for (const QString &file : {m_options.csvFile, m_options.jsonFile}) {
        if (file.isEmpty())
            continue;
        try {
            SeriesExport::checkWritable(file);
        } catch (const files::FileError &error) {
            report(error.message());
            writable = false;
        }
    }
    return writable;
}

int SeriesRun::writeOutputs(int status)
{
    // Each file on its own: one that fails does not keep the other from being written.
    const auto write = [&](const QString &file, const auto &contents) {
        if (file.isEmpty())
            return;
        try {
            contents(file);
        } catch (const files::FileError &error) {
            std::fprintf(m_err, "corvane: %s\n", error.message().toLocal8Bit().constData());
            if (m_stopSignal == 0)
                status = ExitUsage;
        }
    };
    write(m_options.csvFile, [this](const QString &name) { writeCsv(name); });
    write(m_options.jsonFile,
          [&](const QString &name) { SeriesExport::writeFile(name, jsonText(runRecord(status))); });
    return status;
}

QJsonObject SeriesRun::runRecord(int status) const
{
    return QJsonObject{
        {"options", toJson(m_options)},
        {"started", SeriesExport::isoLocalTime(m_startedWallMs)},
        {"ended", SeriesExport::isoLocalTime(m_endedWallMs)},
        {"connectionLost", m_connectionLost},
        {"stopSignal", m_stopSignal != 0 ? QJsonValue(StopSignals::name(m_stopSignal))
                                         : QJsonValue(QJsonValue::Null)},
        {"exitStatus", status},
    };
}

void SeriesRun::finish(int status)
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_stopSignal != 0)
        status = ExitSignalBase + m_stopSignal;
    m_endedWallMs = momentNow().wallMs;
    m_ticker->stop();
    closeLinkRun();
    showProgress(true);
    std::fputs(summaryText().toLocal8Bit().constData(), m_out);
    std::fflush(m_out);
    QCoreApplication::exit(writeOutputs(status));
}

void SeriesRun::fail(int status, const QString &reason)
{
    m_finished = true;
    m_ticker->stop();
    if (m_progressOnTerminal && m_step != Step::Probing)
        std::fputc('\n', m_err);
    std::fprintf(m_err, "corvane: %s\n", reason.toLocal8Bit().constData());
    QCoreApplication::exit(status);
}
