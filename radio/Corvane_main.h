#pragma once

#include "radio/LineSettings.h"
#include "radio/PeiDialect.h"
#include "radio/RadioProfile.h"
#include "radio/ResponseFramer.h"
#include "radio/SeriesStatistics.h"

#include <QByteArray>
#include <QList>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

class LineStatusStrip;
class PortSelector;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSplitter;
class CommandWriter;
class LogView;
class QTimer;
class SeriesPanel;
class ReconnectWatch;
class EComPort;
class TComPort;
class TFormEnh;
class TGetLong;
class THistComboBox;
class TSaveDialog;
class TTimer;

// States of the dialogue with the radio.
enum : std::uint8_t {
    rsProbing = 0,
    rsReady = 1,
    rsRegistering = 2,
    rsRegistered = 3,
    rsSending = 4,
};

// The main window and the controller of one radio on one serial port.
class TForm1 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);
    // A window that keeps its state in the given settings file (empty: the
    // program's default file).
    explicit TForm1(const QString &settingsFile, QWidget *parent = nullptr);
    ~TForm1() override;

    // Controls, named as their object names.
    QWidget *Panel1 = nullptr;
    QWidget *Panel6 = nullptr;
    QWidget *Panel2 = nullptr;
    QWidget *Panel4 = nullptr;
    QSplitter *Splitter1 = nullptr;
    QPushButton *ConnectButton = nullptr;
    QPushButton *RegisterButton = nullptr;
    QPushButton *DisconnectButton = nullptr;
    QPushButton *SendButton = nullptr;
    QLabel *ComPortLabel = nullptr;
    QComboBox *ComPortComboBox = nullptr;
    QLabel *RadioProfileLabel = nullptr;
    QComboBox *RadioProfileComboBox = nullptr;
    QLabel *Label1 = nullptr;
    TGetLong *ProtocolIdentifierEdit = nullptr;
    QLabel *Label2 = nullptr;
    TGetLong *DestISSI_Edit = nullptr;
    QLabel *Label3 = nullptr;
    THistComboBox *Message_Edit = nullptr;
    QLabel *CharactersLeftLabel = nullptr;
    QLabel *Latin1WarningLabel = nullptr;
    QLabel *Label6 = nullptr;
    TGetLong *RepititionsEdit = nullptr;
    QLabel *Label7 = nullptr;
    TGetLong *DelayEdit = nullptr;
    QCheckBox *CheckBoxRec = nullptr;
    QCheckBox *CheckBoxCon = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    LogView *MessagesPad_Memo = nullptr;
    LogView *CommandLogger_Memo = nullptr;
    // Beside the log panes: the live statistics of the current series.
    SeriesPanel *SeriesPanel1 = nullptr;
    // Below the buttons: any AT command, with its own history.
    QWidget *CommandPanel = nullptr;
    QLabel *CommandLabel = nullptr;
    THistComboBox *CommandLine_Edit = nullptr;
    // The status bar: the line settings, Reconnect and the modem lines.
    QWidget *PortStatusBar = nullptr;
    QLabel *LineLabel = nullptr;
    QPushButton *LineButton = nullptr;
    QCheckBox *ReconnectCheckBox = nullptr;
    LineStatusStrip *LineStatus = nullptr;

    // Non-visual components.
    TComPort *ComPort = nullptr;
    TTimer *CTS = nullptr;
    TTimer *DataTimer = nullptr;
    TTimer *DelayTimer = nullptr;
    TSaveDialog *sd = nullptr;
    TFormEnh *FormEnh1 = nullptr;
    PortSelector *PortList = nullptr;
    ReconnectWatch *Reconnect = nullptr;
    QTimer *ProbeTimer = nullptr;

    // Controller variables.
    std::uint8_t RadioState = rsProbing;
    // Bytes received from the port and not yet handed on as a response.
    ResponseFramer RxBuffer{dialectOf(RadioProfile::Cmt)};
    QByteArray PendingCommand;
    int RetryCount = 0;
    int RepeatsLeft = 0;
    std::uint8_t MessageReference = 0;
    std::uint8_t ReportRequestFlags = 0;

    // Handlers and operations.
    void FormCreate();
    void ConnectButtonClick();
    void RegisterButtonClick();
    void SendButtonClick();
    void DisconnectButtonClick();
    void CheckBoxRecClick();
    void CheckBoxConClick();
    void Button1Click();
    void Button2Click();
    void CTSTimer();
    void DataTimerTimer();
    void DelayTimerTimer();

    bool SendCommand(const QByteArray &Command);
    void StartRetry(std::uint8_t State);
    void DispatchResponse(const QByteArray &Chunk);
    void EnableAfterProbe();
    void EnableAfterRegistration();
    void ComposeAndSendTextMessage();
    void HandleReceivedChunk(const QByteArray &Chunk);
    QString TimeStamp() const;

    // Appends a timestamped line to the message window.
    void AddMessage(const QByteArray &text);

    // The most bits of user data the radio takes in one message; the message
    // field is limited to what fits.
    int UserDataBitLimit() const { return m_userDataBitLimit; }
    void setUserDataBitLimit(int bits);
    // The port beyond the dialogue with the radio (MainWindowPort.cpp).
    static constexpr int SilentProbeSeconds = 3;
    LineSettings Line;
    void LineButtonClick();
    void CommandLineEnter();
    // The command line takes commands in the ready and registered states.
    bool commandLineAllowed() const;
    // Runs a handler; a port that vanished under it is reported once.
    void runGuarded(const std::function<void()> &handler);
    // What a written command that waits for the radio's final answer was.
    // The answer to LengthQuery tells the longest user data.
    enum class AnswerFor { Message, Report, Command, LengthQuery };
    // Notes a command just written; the radio answers them in this order.
    void awaitAnswer(AnswerFor what);
    // Messages written to the radio that still wait for its answer.
    int messagesAwaitingAnswer() const;
    // True during the pause between the two reports answering one message.
    bool reportPauseActive() const;
    // Every message of the current series (since the last Send click) and
    // what the radio answered to it.
    const SeriesStatistics &seriesStatistics() const { return m_series; }

    // The profile chosen in the selector; Connect speaks its dialect.
    RadioProfile radioProfile() const;
    // The dialect of the current connection.
    const PeiDialect &dialect() const { return *m_dialect; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    const PeiDialect *m_dialect = &dialectOf(RadioProfile::Cmt);

    void buildControls();
    void buildComponents(const QString &settingsFile);
    void connectHandlers();
    // A text message as the series statistics know it.
    struct OutgoingMessage
    {
        std::uint8_t reference = 0;
        QByteArray destination;
        std::uint8_t reportFlags = 0;
    };

    void stopSeries();
    // Writes a command, or holds it for the retry timer; enters `state` either
    // way. `message` says which text message the command is, if it is one.
    void sendOrHold(const QByteArray &command, std::uint8_t state,
                    const std::optional<OutgoingMessage> &message = std::nullopt);
    void messageWritten(const OutgoingMessage &message, const QByteArray &command);
    // Tells the statistics when a message's write has finished.
    void commandWritten(const QByteArray &command);
    void forgetMessageWrites();
    // When the response being handled was read; now for one handed in directly.
    qint64 responseReadAtMs() const;
    void clearReportRequests();
    // Limits the message field, and updates its counter and warning.
    void updateMessageLimit();

    int m_userDataBitLimit;
    CommandWriter *m_writer = nullptr;
    void buildPortControls();
    void setUpPortHandling();
    QString settingsPath() const;
    // Opens the device at `path` with the line settings; 0 or the errno
    // value of the failure, after which nothing polls the closed port.
    int openPort(const QString &path);
    void stopPortActivity();
    void startProbe();
    void showOpenError(const QString &path, int error);
    bool handlePortError(const EComPort &error);
    void portLost(const EComPort &error);
    bool reopenLostPort(const QString &device);
    void resetSessionControls();
    void afterHandler();
    void showModemLines();

    bool m_portLost = false;
    QString m_connectedPath;
    // The protocol identifier of the last registration asked for.
    QString m_registrationIdentifier;
    // Set while a reconnected radio is to be registered again.
    QString m_reRegisterIdentifier;
    void forgetEarlierAnswers();
    // Writes the dialect's service selection unless the connection has had
    // it; true when it has now. Every Short Data command comes after it.
    bool selectServiceIfDue();
    // Writes a text message, with the service selection in front when due.
    void sendTextMessageCommand(const QByteArray &command, const OutgoingMessage &message);
    void askForMaxLength();
    // A fresh port session: the chosen profile's dialect, its service
    // selection due again, the default length limit until the radio tells.
    void startDialectSession();
    // Reads what the port holds and frames it; complete responses are logged
    // with the time of their last byte and queued for handling.
    void readArrivedBytes();
    void logAndQueue(const FramedResponse &response);
    // Hands queued responses to the dispatcher and the indication handling,
    // unless the pause between two reports holds them back.
    void handleQueuedResponses();
    void sendReport(const QByteArray &report);
    void sendReports(const QList<QByteArray> &reports);
    void endReportPause();
    void cancelReportPause();

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
