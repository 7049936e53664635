#include "tests/endtoend/SimRadio.h"

#include "radiosim/SimDevice.h"
#include "serial/DeviceRegistry.h"
#include "tests/endtoend/EndToEndWindow.h"

using radiosim::RadioSim;

namespace {
const QString simName = QStringLiteral("SIM");
} // namespace

SimRadio::SimRadio(const RadioSetup &setup) : m_setup(setup)
{
    radiosim::RadioSimOptions options;
    options.peerIntervalMs = setup.peerIntervalMs;
    options.peerReportRequest = setup.peerReportRequest;
    // The device opens and probes in one click, so an echoing radio has
    // its echo on from the start.
    options.echo = setup.echoesProbe || setup.echo;
    options.reportDelaysMs = setup.reportDelaysMs;
    options.dialect = setup.dialect;
    options.peerIdentity =
        setup.peerIdentity.isEmpty() ? QByteArray::number(setup.peerIssi) : setup.peerIdentity;
    options.peerProtocolId = setup.peerProtocolId;
    options.peerCoding = setup.peerCoding;
    options.peerParts = setup.peerParts;
    options.shortReports = setup.shortReports;
    options.shortReportType = setup.shortReportType;
    options.reportsAskAck = setup.reportsAskAck;
    options.ctsdsrForm = setup.ctsdsrForm;
    options.lenientIdentityType = setup.lenientIdentityType;
    options.statusIntervalMs = setup.statusIntervalMs;
    options.answerDelayMs = setup.answerDelayMs;
    options.strict = setup.strict;
    options.dropAnswer = setup.dropAnswer;
    options.junkBeforeAnswer = setup.junkBeforeAnswer;
    radiosim::registerSimDevice(simName, options, setup.followDialect);
    m_clock.start();
}

SimRadio::~SimRadio()
{
    serial::unregisterDevice(simName);
}

QString SimRadio::portName() const
{
    return simName;
}

bool SimRadio::portOpened()
{
    return act([this](RadioSim &sim) {
        sim.setLogger([this](const QString &line) {
            std::lock_guard<std::mutex> lock(m_mutex);
            // Stamped as the radio program stamps its lines.
            m_log.append(QString::asprintf("[%9.3f] ", double(m_clock.elapsed()) / 1000) + line);
            if (const std::optional<PeerVerdict> verdict =
                    peerVerdictFromLog(line, m_clock.elapsed()))
                m_verdicts.append(*verdict);
        });
        if (m_setup.refusedMessageCode)
            sim.failNextMessage(*m_setup.refusedMessageCode);
    });
}

QList<PeerVerdict> SimRadio::peerVerdicts()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_verdicts;
}

QStringList SimRadio::logLines()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

std::optional<RadioSim::Counters> SimRadio::closeAndCount(EndToEndWindow &window)
{
    // The radio goes with the port, so it is asked first.
    const std::optional<RadioSim::Counters> counted = counters();
    window.close();
    return counted;
}

std::optional<RadioSim::Counters> SimRadio::counters() const
{
    RadioSim::Counters counted;
    if (!act([&counted](RadioSim &sim) { counted = sim.counters(); }))
        return std::nullopt;
    return counted;
}

bool SimRadio::act(const std::function<void(RadioSim &)> &action) const
{
    return radiosim::withActiveSim(action, simName);
}
