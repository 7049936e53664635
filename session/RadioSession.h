#pragma once

#include "pei/CommandQueue.h"
#include "pei/Identity.h"
#include "pei/LongMessageAssembly.h"
#include "pei/PeiDialect.h"
#include "pei/RadioProfile.h"
#include "pei/ReceivedText.h"
#include "pei/ResponseFramer.h"
#include "ports/LineSettings.h"
#include "serial/PortEnumerator.h"
#include "session/Moment.h"
#include "session/SeriesStatistics.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
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
// Every command goes through one queue and is written only after the final
// result to the one before, or after that one's time-out: the answer that
// comes belongs to the command in flight, so one lost answer never shifts
// the matching of later ones. An echo of the command is a response of its
// own. The second report answering a message waits its spacing in the
// queue while everything else goes on.
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

    // How long the radio may take to give its final result.
    struct AnswerTimeouts
    {
        // Registration, service selection, the length query and typed commands.
        qint64 commandMs = 10000;
        // Text messages and reports.
        qint64 messageMs = 30000;
    };
    // How long a requested report may take before it counts as missing.
    static constexpr qint64 DefaultReportTimeoutMs = 60000;

    // What the next text message of a series says, read when it is composed.
    struct MessageFields
    {
        QByteArray protocolIdText;
        QByteArray destination;
        QByteArray text;
        // The delay before the message after it, in milliseconds.
        int delayMs = 0;
    };

    // A text message from a peer, once whole.
    struct ReceivedMessage
    {
        // Counts the messages received in the session; reportWritten()
        // names the one a report answers.
        quint64 number = 0;
        QByteArray caller;
        ReceivedText::Content text;
        // The reports its sender asked for: 0, 1 or 2.
        int reportsRequested = 0;
        // When the response that completed it was read.
        Moment at;
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
    // The command at the head of the queue while it waits for the ready line.
    QByteArray PendingCommand;
    int RetryCount = 0;
    int RepeatsLeft = 0;
    std::uint8_t MessageReference = 0;
    std::uint8_t ReportRequestFlags = 0;
    // The line for the next open.
    LineSettings Line;

    // Asked for the fields of every text message as it is composed.
    void setMessageSource(std::function<MessageFields()> source);
    // Where the system's ports are listed from, so that a vanished USB
    // device is recognised by its by-id link under whatever node it comes
    // back as, and by its serial number under its old one; without it a
    // vanished device is waited for at its path alone. The device is looked
    // up at Connect: it is no longer listed once it vanished.
    void setPortEnumerator(std::shared_ptr<serial::PortEnumerator> enumerator);
    void setAnswerTimeouts(const AnswerTimeouts &timeouts) { m_timeouts = timeouts; }
    const AnswerTimeouts &answerTimeouts() const { return m_timeouts; }
    void setReportTimeoutMs(qint64 timeoutMs) { m_reportTimeoutMs = timeoutMs; }
    // Names the radio in front of every line the session writes to the
    // message window and the PEI logger, behind the timestamp, where two
    // radios share them (empty: no name, the lines as with one radio).
    void setLogMark(const QByteArray &mark) { m_logMark = mark; }

    // The profile the next Connect speaks.
    void setProfile(RadioProfile profile) { m_profile = profile; }
    RadioProfile profile() const { return m_profile; }
    // The dialect of the current connection.
    const PeiDialect &dialect() const { return *m_dialect; }

    // Connects to the port at `path`: opens it with the line settings and
    // probes the radio. False when it could not be opened (openFailed()
    // says why); nothing else changes then.
    bool connectTo(const QString &path);
    // Lets the radio go: stops a series, lowers DTR and RTS and closes the
    // port, so nothing more is read, answered or written and the device is
    // free for other programs at once.
    void disconnectRadio();
    // Ends the wait for a vanished device, saying so when there was one.
    void stopWaitingForDevice();
    void registerApplication(const QByteArray &protocolIdText);
    // How much of a series stays in memory: its newest messages (older ones
    // that are done go to the archive), or every message, for a user that
    // looks them up by index until the series ends (a link test).
    enum class SeriesMemory { Newest, Whole };
    // Schedules one message now, and the rest of `repetitions` one per delay.
    void startSeries(int repetitions, int delayMs, SeriesMemory memory = SeriesMemory::Newest);
    void stopSeries();
    // Takes the text messages still waiting for their turn off the queue:
    // they count as not sent. A message written already still gets its answer.
    void dropQueuedMessages();
    bool seriesRunning() const;
    // Sets or clears a report request bit for the messages composed from now.
    void setReportRequested(std::uint8_t flag, bool requested);
    // Queues a typed command line; its answer is only logged.
    void sendTypedCommand(const QByteArray &command);
    // Asks the radio for its own identity ("AT+CNUMF?"); ownIdentityAnswered()
    // tells the answer.
    void askOwnIdentity();
    // The command line takes commands once the radio has answered the probe,
    // while no registration and no message waits for the radio.
    bool commandLineAllowed() const;
    // Watches for the device to come back once it vanished.
    void setReconnectEnabled(bool enabled) { m_reconnectEnabled = enabled; }
    QString connectedPath() const { return m_connectedPath; }

    // Runs an action of the caller; a port that vanished under it is
    // reported once, any other failure passes on.
    void runGuarded(const std::function<void()> &action);

    // Writes a command now if the radio's ready line is up; false when
    // nothing was written.
    bool SendCommand(const QByteArray &Command);
    void StartRetry(std::uint8_t State);
    // One retry of the command held for the ready line.
    void CTSTimer();
    // The safety-net poll of the port.
    void DataTimerTimer();
    // The next message of a series.
    void DelayTimerTimer();
    // Matches a response against the command in flight.
    void DispatchResponse(const QByteArray &Chunk);
    // Shows and answers an indication.
    void HandleReceivedChunk(const QByteArray &Chunk);
    void ComposeAndSendTextMessage();

    // The most bits of user data the radio takes in one message.
    int UserDataBitLimit() const { return m_userDataBitLimit; }
    void setUserDataBitLimit(int bits);
    // Messages queued or written that still wait for their final result.
    int messagesAwaitingAnswer() const;
    // True while a second report waits its spacing after the first.
    bool reportPauseActive() const;
    // Every message of the current series (since the last start) and what
    // the radio answered to it.
    const SeriesStatistics &seriesStatistics() const { return m_series; }
    // The commands waiting for their turn.
    const CommandQueue &commandQueue() const { return m_queue; }

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
    void userDataBitLimitChanged(int bits);
    // A message was not sent: its destination is no identity the radio takes.
    void destinationRefused(const QByteArray &why);
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
    // The port is about to open the device at `path`.
    void openingPort(const QString &path);
    // A text message of the series was composed with this text; its index
    // in seriesStatistics().
    void messageScheduled(int seriesIndex, const QByteArray &text);
    // The write of that message ended.
    void messageWritten(int seriesIndex, const Moment &at);
    // A text message from a peer arrived whole (it is shown and answered as always).
    void textMessageReceived(const RadioSession::ReceivedMessage &message);
    // A report answering the received message of that number was written.
    void reportWritten(quint64 messageNumber);
    // The radio's own identity as it answered askOwnIdentity(); empty when
    // it gave none the dialect can send to.
    void ownIdentityAnswered(const QByteArray &identity);

private:
    // Questions the session asks the radio for itself.
    enum class Question { OwnIdentity };
    // What the session must remember of a queued command.
    struct CommandContext
    {
        // A text message: its place in the series.
        std::optional<SeriesStatistics::Ticket> ticket;
        // A first report: the second one, written its spacing after it.
        QByteArray followingReport;
        // A report: the number of the received message it answers.
        std::optional<quint64> answersMessage;
        // A typed command whose answer the session reads itself.
        std::optional<Question> question;
    };

    void addMessage(const QByteArray &text);
    void logCommand(const QByteArray &command);
    // Runs a timer's work; what it raises is reported, not thrown on.
    void runTimerHandler(const std::function<void()> &handler);
    void afterHandler();

    // The queue.
    quint64 enqueue(PeiCommand::Kind kind, const QByteArray &bytes,
                    CommandContext context = CommandContext(), qint64 notBeforeMs = 0);
    qint64 timeoutFor(PeiCommand::Kind kind) const;
    // Writes what is due, one command at a time.
    void pump();
    // Writes the head command, or holds it for the ready line; false while
    // it is held.
    bool writeHead(const PeiCommand &command);
    void writeNow(const QByteArray &command);
    // Takes a command off the queue that will never be written.
    void dropUnwritten(const PeiCommand &command);
    void commandWritten(const QByteArray &command);
    void writeFailed();
    void wakeUp();
    void scheduleWake();
    void answerInFlight(const QByteArray &response);
    void answerMessage(const CommandContext &context, const QByteArray &response);
    void returnToRegisteredIfDone();
    // Forgets every command and answer of the connection: it has ended.
    void forgetConnection();

    // Queues the service selection for the form of `identity` unless the
    // radio has it already: every Short Data command comes after it.
    void selectServiceFor(const QByteArray &identity);
    void showDroppedParts();
    void askForMaxLength();
    void startDialectSession();
    void readArrivedBytes();
    // Hands on a response cut short once the line has been quiet.
    void flushQuietLine();
    void logAndQueue(const FramedResponse &response);
    void handleQueuedResponses();
    void handleResponse(const FramedResponse &response);
    void sendReports(const QByteArray &caller, const QList<QByteArray> &reports,
                     quint64 messageNumber);
    void keepIdentityText(const QByteArray &response);
    void tellOwnIdentity(const QByteArray &response);
    static CommandContext followingReportContext(const CommandContext &first);
    void enterProbeAnswered();
    // Composes and queues one text message; the fields it used.
    MessageFields composeAndSend();
    // The moment of the response being handled; now for one handed in directly.
    Moment responseMoment() const;

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
    // What the port list knew of the device at Connect.
    std::optional<serial::PortInfo> m_connectedDevice;
    bool m_reconnectEnabled = false;
    AnswerTimeouts m_timeouts;
    qint64 m_reportTimeoutMs = DefaultReportTimeoutMs;
    QByteArray m_logMark;
    // Text messages received in the session so far.
    quint64 m_receivedMessages = 0;
    // What the radio said so far in answer to the question for its identity.
    QByteArray m_identityText;

    bool m_portLost = false;
    // From the probe's answer until Disconnect or the end of the connection.
    bool m_probeAnswered = false;
    QString m_connectedPath;
    // The protocol identifier of the last registration asked for.
    QByteArray m_registrationIdentifier;
    // Set while a reconnected radio is to be registered again.
    QByteArray m_reRegisterIdentifier;

    CommandQueue m_queue;
    std::map<quint64, CommandContext> m_contexts;
    // The head command held for the ready line.
    std::optional<quint64> m_heldId;
    // The identity form the radio's service is selected for; none yet in
    // this connection.
    std::optional<Identity::Type> m_selectedIdentityType;
    LongMessageAssembly m_longMessages;
    // The radio echoes commands; the command in flight has been echoed.
    bool m_radioEchoes = false;
    bool m_inFlightEchoed = false;
    // A response waiting to be handled, with the read that completed it.
    struct ReadResponse
    {
        FramedResponse response;
        quint64 readNumber = 0;
    };
    QList<ReadResponse> m_responseQueue;
    // Reads of the port so far; a response completed by a read that came
    // before its command was written cannot be that command's answer.
    quint64 m_reads = 0;
    quint64 m_readsBeforeWrite = 0;
    std::optional<quint64> m_handlingReadNumber;
    std::optional<qint64> m_handlingReadAtMs;
    SeriesStatistics m_series;
    // Wakes the session for a time-out, a command's earliest write time or a
    // report that goes missing.
    QTimer *m_wake = nullptr;
    // Wakes it when the line has been quiet after part of a response.
    QTimer *m_quietLine = nullptr;
};
