#pragma once

#include "session/RadioSession.h"
#include "session/SessionLogs.h"

#include <QByteArray>
#include <QWidget>
#include <cstdint>
#include <functional>

class LineStatusStrip;
class LinkTest;
class PortSelector;
namespace formstate {
class ProfileFile;
}
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSplitter;
class LogView;
class QTimer;
class ReceiverPanel;
class SeriesPanel;
class TComPort;
class TFormEnh;
class TGetLong;
class THistComboBox;
class TSaveDialog;
class TTimer;

// The main window: the controls of one radio session, which it drives as
// the user does and whose signals it shows.
class TForm1 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);
    // A window that keeps its state in the given settings file (empty: the
    // program's default file).
    explicit TForm1(const QString &settingsFile, QWidget *parent = nullptr);
    ~TForm1() override;

    // The dialogue with the radio behind the controls.
    RadioSession &session() { return *m_session; }
    const RadioSession &session() const { return *m_session; }
    // The receiving radio of a link test, and the test (MainWindowLink.cpp).
    RadioSession &receiverSession() { return *m_receiverSession; }
    const LinkTest &linkTest() const { return *m_link; }

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
    // Beside the destination: why the radio cannot take it.
    QLabel *DestinationWarningLabel = nullptr;
    QLabel *Label3 = nullptr;
    THistComboBox *Message_Edit = nullptr;
    QLabel *CharactersLeftLabel = nullptr;
    QLabel *Latin1WarningLabel = nullptr;
    // Why the report boxes are off for the protocol identifier.
    QLabel *ReportNoteLabel = nullptr;
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
    // At the top of the series panel: the receiver of a link test.
    ReceiverPanel *ReceiverPanel1 = nullptr;
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
    // Opens the folder of the panes' daily log files.
    QPushButton *LogFolderButton = nullptr;

private:
    // Declared before the names below, which refer into it.
    RadioSession *m_session;
    RadioSession *m_receiverSession = nullptr;
    LinkTest *m_link = nullptr;

public:
    // Non-visual components: the session's port and timers, and the window's own.
    TComPort *const ComPort;
    TTimer *const CTS;
    TTimer *const DataTimer;
    TTimer *const DelayTimer;
    QTimer *const ProbeTimer;
    ReconnectWatch *const Reconnect;
    TSaveDialog *sd = nullptr;
    TFormEnh *FormEnh1 = nullptr;
    PortSelector *PortList = nullptr;

    // Controller variables, kept by the session.
    std::uint8_t &RadioState;
    ResponseFramer &RxBuffer;
    QByteArray &PendingCommand;
    int &RetryCount;
    int &RepeatsLeft;
    std::uint8_t &MessageReference;
    std::uint8_t &ReportRequestFlags;
    LineSettings &Line;

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
    void CTSTimer() { m_session->CTSTimer(); }
    void DataTimerTimer() { m_session->DataTimerTimer(); }
    void DelayTimerTimer() { m_session->DelayTimerTimer(); }

    bool SendCommand(const QByteArray &Command) { return m_session->SendCommand(Command); }
    void StartRetry(std::uint8_t State) { m_session->StartRetry(State); }
    void DispatchResponse(const QByteArray &Chunk) { m_session->DispatchResponse(Chunk); }
    void EnableAfterProbe();
    void EnableAfterRegistration();
    void ComposeAndSendTextMessage() { m_session->ComposeAndSendTextMessage(); }
    void HandleReceivedChunk(const QByteArray &Chunk) { m_session->HandleReceivedChunk(Chunk); }
    QString TimeStamp() const;

    // Appends a timestamped line to the message window.
    void AddMessage(const QByteArray &text);
    // The daily log files of both panes (MainWindowLogs.cpp).
    const SessionLogs &logs() const { return *m_logs; }

    // The most bits of user data the radio takes in one message; the message
    // field is limited to what fits.
    int UserDataBitLimit() const { return m_session->UserDataBitLimit(); }
    void setUserDataBitLimit(int bits) { m_session->setUserDataBitLimit(bits); }
    // The port beyond the dialogue with the radio (MainWindowPort.cpp).
    static constexpr int SilentProbeSeconds = RadioSession::SilentProbeSeconds;
    void LineButtonClick();
    void CommandLineEnter();
    // The command line takes commands in the ready and registered states.
    bool commandLineAllowed() const { return m_session->commandLineAllowed(); }
    // Runs a handler; a port that vanished under it is reported once.
    void runGuarded(const std::function<void()> &handler) { m_session->runGuarded(handler); }
    // Messages written to the radio that still wait for its answer.
    int messagesAwaitingAnswer() const { return m_session->messagesAwaitingAnswer(); }
    // True during the pause between the two reports answering one message.
    bool reportPauseActive() const { return m_session->reportPauseActive(); }
    // Every message of the current series (since the last Send click) and
    // what the radio answered to it.
    const SeriesStatistics &seriesStatistics() const { return m_session->seriesStatistics(); }

    // The profile chosen in the selector; Connect speaks its dialect.
    RadioProfile radioProfile() const;
    // The dialect of the current connection.
    const PeiDialect &dialect() const { return m_session->dialect(); }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void buildComponents(const QString &settingsFile);
    void connectHandlers();
    void followSession();
    // The fields of the next text message, as the session composes it.
    RadioSession::MessageFields messageFields();
    // Limits the message field, and updates its counter and warning.
    void updateMessageLimit();
    // The destination and the report boxes as the profile and the protocol
    // identifier allow them.
    void updateSendRules();
    const PeiDialect &chosenDialect() const;
    void buildPortControls();
    void setUpPortHandling();
    QString settingsPath() const;
    void showOpenError(const QString &path, int error);
    void showPortLost(const QString &message);
    void resetSessionControls();
    void afterHandler();
    // Enables the command line once it has stayed allowed for a moment.
    void enableCommandLineIfAllowed();
    void showModemLines();
    void notePortOpened(const QString &path);
    // Saves the settings file; the sentences of what could not be saved.
    QStringList saveSettings();
    // Writes the typed path, the line settings and the panes' limits to the
    // settings file; the sentence that says why they were not saved, or
    // empty when they were.
    QString saveOwnSettings();
    // The same, with a failure told in the message window.
    void storeOwnSettings();
    // The log panes (MainWindowLogs.cpp).
    void buildLogs();
    // Shows an entry in its pane and queues its lines for the pane's log file.
    void showEntry(SessionLogs::Log log, const QByteArray &entry);
    void loadPaneLimits(const formstate::ProfileFile &settings);
    void savePaneLimits(formstate::ProfileFile &settings) const;
    void openLogFolder();
    // Asks for a file and writes the pane there in the background; a
    // failure shows in a box.
    void savePane(const LogView *pane);

    SessionLogs *m_logs = nullptr;
    // The link test (MainWindowLink.cpp).
    void buildReceiver();
    void followReceiver();
    bool receiverConnected() const;
    // Names both radios in the log panes when a receiver takes part.
    void markRadios(const QString &senderPath);
    void connectReceiver();
    void registerReceiver(const QByteArray &protocolIdText);
    void startLinkTest();
    void disconnectReceiver();
    void showLinkRows();

    // Puts off enabling the command line: a series allows it between the
    // answer to one message and the next message, a hundred times a second,
    // and a redraw each time costs the window more than the series.
    QTimer *m_commandLineEnabling = nullptr;
    // The box of a lost connection is open.
    bool m_lossBoxOpen = false;
    // Closing saved the settings, and the window has not been shown since.
    bool m_settingsSaved = false;
    // A save of the window's own settings failed; they are saved again at close.
    bool m_ownSettingsUnsaved = false;
};
