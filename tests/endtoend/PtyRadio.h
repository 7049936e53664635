#pragma once

#include "tests/endtoend/RadioProgram.h"
#include "tests/endtoend/RadioUnderTest.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

// The corvane-radiosim program as a child process: the window opens the
// pseudo-terminal it prints, so the whole termios path of the serial layer
// runs. The program's output, its log, goes to a file: the program flushes
// every line, and a pipe that the busy window thread does not empty in time
// would hold the radio up.
class PtyRadio : public RadioUnderTest
{
public:
    explicit PtyRadio(const RadioSetup &setup);
    ~PtyRadio() override;
    PtyRadio(const PtyRadio &) = delete;
    PtyRadio &operator=(const PtyRadio &) = delete;

    // The pseudo-terminal's path; empty when the program did not start.
    QString portName() const override;
    // With a network: the second radio's pseudo-terminal.
    QString secondPortName() const;
    bool portOpened() override;
    QList<PeerVerdict> peerVerdicts() override;
    QStringList logLines() override;
    std::optional<radiosim::RadioSim::Counters> closeAndCount(EndToEndWindow &window) override;

private:
    // Takes the lines the program has completed since the last look.
    void readLines();
    QString findLog(const QString &text);

    QTemporaryDir m_outputDir;
    QString m_outputPath;
    qint64 m_outputRead = 0;
    QByteArray m_partialLine;
    RadioProgram m_program;
    // "Device: <path>", or "Device: <path> (ISSI <n>)" for each radio of a pair.
    QStringList m_devicePaths;
    QStringList m_log;
};

// The counters from the line the program logs when a client closes the
// device; nullopt for other lines.
std::optional<radiosim::RadioSim::Counters> countersFromRadioOffLine(const QString &line);
