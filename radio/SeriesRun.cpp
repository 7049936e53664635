#include "radio/SeriesRun.h"

#include "controls/Getdata.h"
#include "radio/Corvane_main.h"
#include "radio/ModalBox.h"
#include "radio/SeriesExport.h"
#include "radio/SeriesStatistics.h"
#include "serial/Comms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QPushButton>
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

SeriesRun::SeriesRun(TForm1 &form, const SeriesRunOptions &options, std::FILE *out, std::FILE *err)
    : m_form(form), m_options(options), m_out(out), m_err(err),
      m_progressOnTerminal(::isatty(::fileno(err)) == 1)
{
    // Nobody is there to press a box's button: its text goes to the error
    // stream, and the run goes on as the window would.
    setModalBoxHandler([this](const ModalBoxRequest &request) {
        std::fprintf(m_err, "%scorvane: %s\n", m_progressOnTerminal ? "\n" : "",
                     printableLines(request.text).constData());
        if (!request.detail.isEmpty())
            std::fprintf(m_err, "corvane: %s\n", printableLines(request.detail).constData());
        return 0;
    });
    m_ticker = new QTimer(this);
    m_ticker->setInterval(tickIntervalMs);
    connect(m_ticker, &QTimer::timeout, this, &SeriesRun::tick);
}

SeriesRun::~SeriesRun()
{
    setModalBoxHandler({});
}

bool SeriesRun::selectProfile()
{
    // The window's own selector: Connect speaks the dialect it names.
    const int index = int(SeriesRunCommandLine::profiles().indexOf(m_options.profile));
    if (index < 0 || index >= m_form.RadioProfileComboBox->count())
        return false;
    m_form.RadioProfileComboBox->setCurrentIndex(index);
    return true;
}

void SeriesRun::start()
{
    if (!selectProfile()) {
        fail(ExitUsage, QStringLiteral("the profile %1 is not available").arg(m_options.profile));
        return;
    }
    m_form.ComPortComboBox->setEditText(m_options.port);
    m_form.Line = m_options.line;
    m_form.ConnectButton->click();
    // The window has said why in its box, which went to the error stream.
    if (!m_form.ComPort->Connected()) {
        fail(ExitUsage, QStringLiteral("cannot open %1").arg(m_options.port));
        return;
    }
    m_step = Step::Probing;
    m_stepClock.start();
    m_ticker->start();
}

void SeriesRun::tick()
{
    switch (m_step) {
    case Step::Probing:
        if (m_form.RadioState == rsReady) {
            m_form.ProtocolIdentifierEdit->setValue(m_options.protocolId);
            m_form.RegisterButton->click();
            m_step = Step::Registering;
            m_stepClock.start();
        } else if (m_stepClock.elapsed() > StepTimeoutMs) {
            fail(ExitIncomplete, QStringLiteral("the radio did not answer the probe"));
        }
        return;
    case Step::Registering:
        if (m_form.RadioState == rsRegistered) {
            startSeries();
        } else if (m_stepClock.elapsed() > StepTimeoutMs) {
            fail(ExitIncomplete, QStringLiteral("the radio did not answer the registration"));
        }
        return;
    case Step::Sending:
        showProgress(false);
        // Every message has been composed once the button reads "Send" again.
        if (m_form.SendButton->text() == QLatin1String("Send")) {
            m_step = Step::Waiting;
            m_stepClock.start();
        }
        return;
    case Step::Waiting:
        showProgress(false);
        if (seriesDone() || m_stepClock.elapsed() >= qint64(m_options.waitSeconds) * 1000)
            finish(exitStatusFor(m_options, m_form.seriesStatistics()));
        return;
    }
}

void SeriesRun::startSeries()
{
    m_form.DestISSI_Edit->setValue(m_options.destination);
    m_form.Message_Edit->setEditText(m_options.text);
    m_form.RepititionsEdit->setValue(m_options.count);
    m_form.DelayEdit->setValue(m_options.delayMs);
    // Clicked, not just set: the click handlers keep the report flags.
    if (m_form.CheckBoxRec->isChecked() != m_options.receivedReports)
        m_form.CheckBoxRec->click();
    if (m_form.CheckBoxCon->isChecked() != m_options.consumedReports)
        m_form.CheckBoxCon->click();
    m_form.SendButton->click();
    m_step = Step::Sending;
    m_stepClock.start();
}

bool SeriesRun::seriesDone() const
{
    const SeriesStatistics::Counts counts = m_form.seriesStatistics().counts();
    return counts.sent == m_options.count && counts.stillWaiting == 0;
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
    const SeriesStatistics::Counts counts = m_form.seriesStatistics().counts();
    std::fprintf(m_err,
                 "\r%d/%d sent, %d completed, %d refused, %d received and %d consumed reports, "
                 "%d waiting  %s",
                 counts.sent, m_options.count, counts.completed, counts.refused,
                 counts.receivedReports, counts.consumedReports, counts.stillWaiting,
                 last ? "\n" : "");
    std::fflush(m_err);
}

bool SeriesRun::writeOutputs()
{
    const SeriesStatistics &series = m_form.seriesStatistics();
    try {
        if (!m_options.csvFile.isEmpty())
            SeriesExport::writeFile(m_options.csvFile, SeriesExport::csv(series));
        if (!m_options.jsonFile.isEmpty())
            SeriesExport::writeFile(m_options.jsonFile, SeriesExport::summaryJson(series));
    } catch (const std::runtime_error &error) {
        std::fprintf(m_err, "corvane: %s\n", error.what());
        return false;
    }
    return true;
}

void SeriesRun::finish(int status)
{
    m_ticker->stop();
    showProgress(true);
    std::fputs(SeriesExport::summaryText(m_form.seriesStatistics()).toLocal8Bit().constData(),
               m_out);
    std::fflush(m_out);
    if (!writeOutputs())
        status = ExitUsage;
    QCoreApplication::exit(status);
}

void SeriesRun::fail(int status, const QString &reason)
{
    m_ticker->stop();
    if (m_progressOnTerminal && m_step != Step::Probing)
        std::fputc('\n', m_err);
    std::fprintf(m_err, "corvane: %s\n", reason.toLocal8Bit().constData());
    QCoreApplication::exit(status);
}
