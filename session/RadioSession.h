#pragma once

#include "pei/PeiDialect.h"
#include "pei/RadioProfile.h"
#include "pei/ResponseFramer.h"
#include "ports/LineSettings.h"
#include "session/SeriesStatistics.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

class CommandWriter;
class EComPort;
class QTimer;
class ReconnectWatch;
class TComPort;
class TTimer;

// States of the dialogue with the radio.
enum : std::uint8_t {
    rsProbing = 0,
    rsReady = 1,
    rsRegistering = 2,
    rsRegistered = 3,
    rsSending = 4,
};

// The dialogue with one radio on one serial port, without a window: the
// port and its line, the dialect, framing and matching of the radio's
// responses, registration, series, the reports that received messages ask
// for, and getting a vanished device back. Everything happens on the thread
// that created it, from its caller's calls and its own timers; it tells its
// users what happened through signals. Several sessions may run in one
// process, each on its own port.
//
// The actions (connectTo, registerApplication, ...) raise what the port or
// the codec raises, as the window's handlers always have: a failure of the
// port that means the device is gone is handled here and reported once. A
// failure inside the session's own timers is caught and reported through
// handlerFailed(), so that no exception leaves the event loop.
class RadioSession : public QObject
{
    Q_OBJECT

public:
    // How long the probe may go unanswered before the session says what to check.
    static constexpr int SilentProbeSeconds = 3;

    // What the next text message of a series says, read when it is composed.
    struct MessageFields
    {
        QByteArray protocolIdText;
        QByteArray destination;
        QByteArray text;
        // The delay before the message after it, in milliseconds.
        int delayMs = 0;
    };

    explicit RadioSession(QObject *parent = nullptr);
    ~RadioSession() override;

    // The port and its timers.
    TComPort *ComPort = nullptr;
    TTimer *CTS = nullptr;
    TTimer *DataTimer = nullptr;
    TTimer *DelayTimer = nullptr;
    QTimer *ProbeTimer = nullptr;
    ReconnectWatch *Reconnect = nullptr;

    // The state of the dialogue.
    std::uint8_t RadioState = rsProbing;
    // Bytes received from the port and not yet handed on as a response.
    ResponseFramer RxBuffer{dialectOf(RadioProfile::Cmt)};
    QByteArray PendingCommand;
    int RetryCount = 0;
    int RepeatsLeft = 0;
    std::uint8_t MessageReference = 0;
    std::uint8_t ReportRequestFlags = 0;
    // The line for the next open.
    LineSettings Line;

    // Asked for the fields of every text message as it is composed.
    void setMessageSource(std::function<MessageFields()> source);
    // Finds the stable by-id link of a device, so that a vanished device is
    // recognised under whatever node it comes back as.
    void setByIdLinkLookup(std::function<QString(const QString &device)> lookup);

    // The profile the next Connect speaks.
    void setProfile(RadioProfile profile) { m_profile = profile; }
    RadioProfile profile() const { return m_profile; }
    // The dialect of the current connection.
    const PeiDialect &dialect() const { return *m_dialect; }

    // Connects to the port at `path`: opens it with the line settings and
    // probes the radio. False when it could not be opened (openFailed()
    // says why); nothing else changes then.
    bool connectTo(const QString &path);
    // Lowers DTR and RTS; the port stays open and a series goes on.
    void disconnectRadio();
    // Ends the wait for a vanished device, saying so when there was one.
    void stopWaitingForDevice();
    void registerApplication(const QByteArray &protocolIdText);
    // Sends one message now, and the rest of `repetitions` one per delay.
    void startSeries(int repetitions, int delayMs);
    void stopSeries();
    bool seriesRunning() const;
    // Sets or clears a report request bit for the messages composed from now.
    void setReportRequested(std::uint8_t flag, bool requested);
    // Sends a typed command line; false when the radio was not ready.
    bool sendTypedCommand(const QByteArray &command);
    // The command line takes commands in the ready and registered states.
    bool commandLineAllowed() const;
    // Watches for the device to come back once it vanished.
    void setReconnectEnabled(bool enabled) { m_reconnectEnabled = enabled; }
    QString connectedPath() const { return m_connectedPath; }

    // Runs an action of the caller; a port that vanished under it is
    // reported once, any other failure passes on.
    void runGuarded(const std::function<void()> &action);

    // The operations of the dialogue, for callers that drive it step by step.
    bool SendCommand(const QByteArray &Command);
    void StartRetry(std::uint8_t State);
    void CTSTimer();
    void DataTimerTimer();
    void DelayTimerTimer();
    void DispatchResponse(const QByteArray &Chunk);
    void HandleReceivedChunk(const QByteArray &Chunk);
    void ComposeAndSendTextMessage();

    // The most bits of user data the radio takes in one message.
    int UserDataBitLimit() const { return m_userDataBitLimit; }
    void setUserDataBitLimit(int bits);
    // Messages written to the radio that still wait for its answer.
    int messagesAwaitingAnswer() const;
    // True during the pause between the two reports answering one message.
    bool reportPauseActive() const;
    // Every message of the current series (since the last start) and what
    // the radio answered to it.
    const SeriesStatistics &seriesStatistics() const { return m_series; }

    // What a written command that waits for the radio's final answer was.
    // The answer to LengthQuery tells the longest user data.
    enum class AnswerFor { Message, Report, Command, LengthQuery };

signals:
    // A line for the message window, behind its timestamp.
    void messageEntry(const QByteArray &entry);
    // An entry for the PEI logger: a command written or a response read.
    void peiLogEntry(const QByteArray &entry);
    // The radio answered the probe; its registration may be asked for.
    void probeAnswered();
    // The radio accepted the registration; messages may be sent.
    void registrationAnswered();
    // The session ended without Disconnect (the device vanished).
    void sessionEnded();
    // Waiting for a vanished device to come back; Disconnect ends the wait.
    void waitingForDevice();
    // A vanished device is back and registration is being asked for again.
    void registeringAgain(const QString &protocolIdText);
    void seriesRunningChanged(bool running);
    // Connect no longer asks for the reports: the requests were cleared.
    void reportRequestsCleared();
    void userDataBitLimitChanged(int bits);
    // The port was opened at `path` for a Connect of the user's.
    void portOpened(const QString &path);
    // The port at `path` could not be opened: errno value `error`.
    void openFailed(const QString &path, int error);
    // The modem lines may have changed, or the port opened or closed.
    void modemLinesChanged();
    // The radio never raised its ready line for a held command.
    void readyTimeout(const QString &text);
    // The device vanished: the port's failure, shown once per loss.
    void portLost(const QString &message);
    // A failure inside a timer of the session, which had no caller to raise it to.
    void handlerFailed(const QString &message);
    // Anything changed that decides what the user may do next.
    void controlsMayHaveChanged();

private:
    // A text message as the series statistics know it.
    struct OutgoingMessage
    {
        std::uint8_t reference = 0;
        QByteArray destination;
        std::uint8_t reportFlags = 0;
    };

    void addMessage(const QByteArray &text);
    void logCommand(const QByteArray &command);
    // Runs a timer's work; what it raises is reported, not thrown on.
    void runTimerHandler(const std::function<void()> &handler);
    void afterHandler();

    void sendOrHold(const QByteArray &command, std::uint8_t state,
                    const std::optional<OutgoingMessage> &message = std::nullopt);
    void messageWritten(const OutgoingMessage &message, const QByteArray &command);
    void commandWritten(const QByteArray &command);
    void forgetMessageWrites();
    void awaitAnswer(AnswerFor what);
    qint64 responseReadAtMs() const;
    void clearReportRequests();
    bool selectServiceIfDue();
    void sendTextMessageCommand(const QByteArray &command, const OutgoingMessage &message);
    void askForMaxLength();
    void startDialectSession();
    void readArrivedBytes();
    void logAndQueue(const FramedResponse &response);
    void handleQueuedResponses();
    void sendReport(const QByteArray &report);
    void sendReports(const QList<QByteArray> &reports);
    void endReportPause();
    void cancelReportPause();
    void forgetEarlierAnswers();
    void enterProbeAnswered();
    // Composes and sends one text message; the fields it used.
    MessageFields composeAndSend();

    // The port (RadioSessionPort.cpp).
    int openPort(const QString &path);
    void stopPortActivity();
    void startProbe();
    bool handlePortError(const EComPort &error);
    void onPortLost(const EComPort &error);
    bool reopenLostPort(const QString &device);
    void registerAgainIfDue();

    RadioProfile m_profile = RadioProfile::Cmt;
    const PeiDialect *m_dialect = &dialectOf(RadioProfile::Cmt);
    int m_userDataBitLimit;
    CommandWriter *m_writer = nullptr;
    std::function<MessageFields()> m_messageSource;
    std::function<QString(const QString &)> m_byIdLinkLookup;
    bool m_reconnectEnabled = false;

    bool m_portLost = false;
    // From the probe's answer until Disconnect or the end of the connection.
    bool m_probeAnswered = false;
    QString m_connectedPath;
    // The protocol identifier of the last registration asked for.
    QByteArray m_registrationIdentifier;
    // Set while a reconnected radio is to be registered again.
    QByteArray m_reRegisterIdentifier;

    // Written commands that wait for their final answer, oldest first.
    std::deque<AnswerFor> m_awaitingAnswer;
    // The pending command of the retry timer, when it is a text message.
    std::optional<OutgoingMessage> m_pendingMessage;
    // ... with the service selection written in front of it.
    bool m_pendingHasSelection = false;
    // The service selection still to be written before the next message.
    QByteArray m_serviceSelectionDue;
    QList<FramedResponse> m_responseQueue;
    std::optional<qint64> m_handlingReadAtMs;
    // Message commands handed to the writer whose write has not finished.
    std::deque<QByteArray> m_messageWritesUnderWay;
    // The last command written while no message write was under way, and
    // when: a write that finishes at once does so before its caller knows
    // it is a message.
    QByteArray m_lastFinishedWrite;
    qint64 m_lastFinishedWriteAtMs = 0;
    SeriesStatistics m_series;
    QTimer *m_reportPause = nullptr;
    QByteArray m_reportAfterPause;
    // Timer ticks that fell due during the pause, run when it ends.
    bool m_seriesTickDeferred = false;
    bool m_retryTickDeferred = false;
};
