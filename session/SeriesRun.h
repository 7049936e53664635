#pragma once

#include "session/RadioSession.h"
#include "session/SeriesRunOptions.h"

#include <QElapsedTimer>
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
// error stream.
class SeriesRun : public QObject
{
    Q_OBJECT

public:
    static constexpr int ExitGood = 0;
    static constexpr int ExitIncomplete = 1;
    static constexpr int ExitUsage = 2;

    // A step that waits for the radio gives up after this long.
    static constexpr int StepTimeoutMs = 15000;

    SeriesRun(RadioSession &session, const SeriesRunOptions &options, std::FILE *out,
              std::FILE *err);

    // Makes the run a link test, with the receiving radio's session
    // (options.receiver names its port). Before start().
    void setReceiver(RadioSession &receiver);

    // Starts the run; the event loop then ends with the exit status.
    void start();

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
    void finish(int status);
    void fail(int status, const QString &reason);
    bool writeOutputs();
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
    QByteArray csvText() const;
    QByteArray jsonText() const;
    RadioSession &m_session;
    RadioSession *m_receiver = nullptr;
    LinkTest *m_link = nullptr;
    SeriesRunOptions m_options;
    std::FILE *m_out;
    std::FILE *m_err;
    bool m_progressOnTerminal = false;
    Step m_step = Step::Probing;
    QTimer *m_ticker = nullptr;
    QElapsedTimer m_stepClock;
    QElapsedTimer m_progressShown;
};
