#pragma once

#include "session/RadioSession.h"
#include "session/SeriesRunOptions.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <cstdio>
#include <functional>

class LinkTest;
class QTimer;
class SeriesStatistics;

// Runs one series with a radio session, without a window: it connects,
// registers and sends as a user of the window would, follows the session's
// state and the series statistics, and ends the application's event loop
// with the exit status. What the window would show in a box goes to the
// error stream. A stop signal ends it early, with what happened written out.
class SeriesRun : public QObject
{
    Q_OBJECT

public:
    static constexpr int ExitGood = 0;
    static constexpr int ExitIncomplete = 1;
    static constexpr int ExitUsage = 2;
    // A run stopped by a signal exits with 128 + the signal's number, as a
    // shell reports a program the signal ended: 130 for SIGINT, 143 for SIGTERM.
    static constexpr int ExitSignalBase = 128;

    // A step that waits for the radio gives up after this long.
    static constexpr int StepTimeoutMs = 15000;

    SeriesRun(RadioSession &session, const SeriesRunOptions &options, std::FILE *out,
              std::FILE *err);

    // Makes the run a link test, with the receiving radio's session
    // (options.receiver names its port). Before start().
    void setReceiver(RadioSession &receiver);

    // Starts the run; the event loop then ends with the exit status.
    void start();
    // A stop signal (SIGINT, SIGTERM): the series stops, messages not yet
    // written are dropped, answers already due are awaited up to --wait,
    // then the summary and files are written and the run ends with
    // ExitSignalBase + the signal's number. A second signal ends the wait.
    void interrupt(int signalNumber);

    // The status from the statistics: every message completed, every
    // requested report there with its status.
    static int exitStatusFor(const SeriesRunOptions &options, const SeriesStatistics &series);

private:
    enum class Step { Probing, Registering, Identifying, Sending, Waiting };

    void followSession();
    // What the window would show in a box about this radio goes to the
    // error stream, after `who` ("" for the sender).
    void reportProblemsOf(RadioSession &radio, const QString &who);
    RadioSession::MessageFields messageFields(const QByteArray &destination) const;
    // Sets the radio up as the options say; false when its profile is unknown.
    bool prepare(RadioSession &radio, const QString &profile, const LineSettings &line);
    int exitStatus() const;
    void tick();
    void startSeries();
    bool seriesDone() const;
    void showProgress(bool last);
    // Writes the summary and the files and ends with `status`, or with a stop
    // signal's status when one came.
    void finish(int status);
    void fail(int status, const QString &reason);
    // Reports each output file that could not be written now.
    bool outputsWritable();
    // Writes the files; the status, or ExitUsage when one of them failed
    // (a stop signal's status stays).
    int writeOutputs(int status);
    // What the JSON records of the run itself.
    QJsonObject runRecord(int status) const;
    // Runs a step on the session; what it raises is reported, as the
    // window would show it.
    void act(const std::function<void()> &action);
    // Writes what the window would show in a box.
    void report(const QString &text, const QString &detail = QString());

    // The link test (SeriesRunLink.cpp).
    bool connectReceiver();
    // The sender, and the receiver if there is one, are in the state; when
    // not, which of them is not ("radio" or "receiver").
    bool allAt(std::uint8_t state) const;
    QString notAt(std::uint8_t state) const;
    void registerReceiver();
    // After the registrations: with messages both ways, the sender's own
    // identity is asked first.
    void afterRegistration();
    void startLinkTest();
    bool sending() const;
    int queued() const;
    bool linkDone() const;
    int linkExitStatus() const;
    void closeLinkRun();
    QString summaryText() const;
    // Answers still awaited from either radio.
    int stillWaiting() const;
    void writeCsv(const QString &fileName) const;
    QByteArray jsonText(const QJsonObject &run) const;
    RadioSession &m_session;
    RadioSession *m_receiver = nullptr;
    LinkTest *m_link = nullptr;
    SeriesRunOptions m_options;
    std::FILE *m_out;
    std::FILE *m_err;
    bool m_progressOnTerminal = false;
    Step m_step = Step::Probing;
    // The first stop signal; 0 while none came.
    int m_stopSignal = 0;
    bool m_connectionLost = false;
    bool m_finished = false;
    qint64 m_startedWallMs = 0;
    qint64 m_endedWallMs = 0;
    QTimer *m_ticker = nullptr;
    QElapsedTimer m_stepClock;
    QElapsedTimer m_progressShown;
};
