#include "window/Corvane_main.h"

#include "controls/Getdata.h"
#include "files/FileError.h"
#include "formstate/FormState.h"
#include "formstate/OnlyOne.h"
#include "pei/MessageTextLimit.h"
#include "pei/SdsCodec.h"
#include "serial/Comms.h"
#include "session/LinkTest.h"
#include "session/TimeStamp.h"
#include "session/Timer.h"
#include "window/ActivityLog.h"
#include "window/Application.h"
#include "window/ModalBox.h"
#include "window/NotSavedBox.h"
#include "window/PortSelector.h"
#include "window/SaveDialog.h"
#include "window/SeriesPanel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString stopCaption = QStringLiteral("Stop");
const QString sendCaption = QStringLiteral("Send");

void setEnabledAll(std::initializer_list<QWidget *> controls, bool enabled)
{
    for (QWidget *control : controls)
        control->setEnabled(enabled);
}
} // namespace

TForm1::TForm1(QWidget *parent) : TForm1(QString(), parent) {}

TForm1::TForm1(const QString &settingsFile, QWidget *parent)
    : QWidget(parent), m_session(new RadioSession(this)), ComPort(m_session->ComPort),
      CTS(m_session->CTS), DataTimer(m_session->DataTimer), DelayTimer(m_session->DelayTimer),
      ProbeTimer(m_session->ProbeTimer), Reconnect(m_session->Reconnect),
      RadioState(m_session->RadioState), RxBuffer(m_session->RxBuffer),
      PendingCommand(m_session->PendingCommand), RetryCount(m_session->RetryCount),
      RepeatsLeft(m_session->RepeatsLeft), MessageReference(m_session->MessageReference),
      ReportRequestFlags(m_session->ReportRequestFlags), Line(m_session->Line)
{
    buildControls();
    buildPortControls();
    buildLogs();
    buildReceiver();
    // The windowing system places the main window; only its size comes back.
    formstate::setWindowPlacement(this, formstate::WindowPlacement::SystemChooses);
    buildComponents(settingsFile);
    connectHandlers();
    followSession();
    // The stored field values and placement come back before FormCreate.
    FormEnh1->Loaded();
    FormCreate();
    if (const QString refusal = FormEnh1->Refusal(); !refusal.isEmpty())
        AddMessage(": " + refusal.toLatin1());
    setUpPortHandling();
}

TForm1::~TForm1()
{
    // Saved while the controls still exist, unless closing saved them. No box
    // here: the event loop may be gone already.
    if (!m_settingsSaved) {
        for (const QString &failure : saveSettings())
            qWarning("%s", qPrintable(failure));
    }
    // Closing the port lets the event thread deliver what it holds; what
    // the session says then must not reach the controls being destroyed.
    delete m_link;
    disconnect(m_receiverSession, nullptr, this, nullptr);
    delete m_receiverSession;
    disconnect(m_session, nullptr, this, nullptr);
    delete m_session;
    // Every line shown is in its file before the window is gone.
    disconnect(m_logs, nullptr, this, nullptr);
    connect(m_logs, &SessionLogs::problem,
            [](const QString &problem) { qWarning("%s", qPrintable(problem)); });
    m_logs->close();
}

void TForm1::buildComponents(const QString &settingsFile)
{
    sd = new TSaveDialog(this);
    sd->setObjectName(QStringLiteral("sd"));
    sd->setTitle(QStringLiteral("Save as"));
    sd->setDefaultExt(QStringLiteral("txt"));
    sd->setFilter(QStringLiteral("Text files (*.txt)"));

    FormEnh1 = new TFormEnh(this);
    FormEnh1->setObjectName(QStringLiteral("FormEnh1"));
    FormEnh1->setReLoadOnClose(false);
    FormEnh1->setSettingsFile(settingsFile);
}

void TForm1::connectHandlers()
{
    // Every handler that reaches the port runs guarded: a vanished device
    // is reported once, whichever handler meets it first.
    const auto guarded = [this](void (TForm1::*handler)()) {
        return [this, handler] { runGuarded([this, handler] { (this->*handler)(); }); };
    };
    connect(ConnectButton, &QPushButton::clicked, this, guarded(&TForm1::ConnectButtonClick));
    connect(RegisterButton, &QPushButton::clicked, this, guarded(&TForm1::RegisterButtonClick));
    connect(DisconnectButton, &QPushButton::clicked, this, guarded(&TForm1::DisconnectButtonClick));
    connect(SendButton, &QPushButton::clicked, this, guarded(&TForm1::SendButtonClick));
    connect(CheckBoxRec, &QCheckBox::clicked, this, &TForm1::CheckBoxRecClick);
    connect(CheckBoxCon, &QCheckBox::clicked, this, &TForm1::CheckBoxConClick);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(ProtocolIdentifierEdit, &QLineEdit::textChanged, this, &TForm1::updateMessageLimit);
    connect(Message_Edit, &QComboBox::editTextChanged, this, &TForm1::updateMessageLimit);
    updateMessageLimit();
    connect(DestISSI_Edit, &QLineEdit::textChanged, this, &TForm1::updateSendRules);
    connect(ProtocolIdentifierEdit, &QLineEdit::textChanged, this, &TForm1::updateSendRules);
    connect(RadioProfileComboBox, &QComboBox::currentIndexChanged, this, &TForm1::updateSendRules);
}

void TForm1::followSession()
{
    m_link->setMessageSource(LinkSide::Sender, [this] { return messageFields(); });
    connect(m_session, &RadioSession::messageEntry, this,
            [this](const QByteArray &entry) { showEntry(SessionLogs::Log::Messages, entry); });
    connect(m_session, &RadioSession::peiLogEntry, this,
            [this](const QByteArray &entry) { showEntry(SessionLogs::Log::Pei, entry); });
    connect(m_session, &RadioSession::probeAnswered, this, &TForm1::EnableAfterProbe);
    connect(m_session, &RadioSession::registrationAnswered, this, &TForm1::EnableAfterRegistration);
    connect(m_session, &RadioSession::seriesRunningChanged, this,
            [this](bool running) { SendButton->setText(running ? stopCaption : sendCaption); });
    connect(m_session, &RadioSession::userDataBitLimitChanged, this, &TForm1::updateMessageLimit);
    connect(m_session, &RadioSession::handlerFailed, this, &TApplication::ShowException);
    connect(m_session, &RadioSession::controlsMayHaveChanged, SeriesPanel1,
            &SeriesPanel::seriesMayHaveChanged);
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // What changes from now on is for the next close to save.
    m_settingsSaved = false;
}

void TForm1::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    FormEnh1->FormClosing(false);
    // Saved while the window still runs, so that a failure is told once, in
    // one box, rather than from the destructor.
    const QStringList failures = saveSettings();
    if (!failures.isEmpty())
        showModalBox(this, {QCoreApplication::applicationName(),
                            failures.join(QLatin1Char('\n')),
                            ModalBoxRequest::Icon::Warning,
                            {QStringLiteral("OK")},
                            {}});
}

QStringList TForm1::saveSettings()
{
    QStringList failures;
    if (m_ownSettingsUnsaved) {
        if (const QString failure = saveOwnSettings(); !failure.isEmpty())
            failures += failure;
    }
    FormEnh1->FormDestroying();
    // Both go to the same file: the same failure is told once.
    if (const QString failure = FormEnh1->SaveFailure();
        !failure.isEmpty() && !failures.contains(failure))
        failures += failure;
    m_settingsSaved = true;
    return failures;
}

QString TForm1::TimeStamp() const
{
    return currentTimeStamp();
}

void TForm1::AddMessage(const QByteArray &text)
{
    showEntry(SessionLogs::Log::Messages, TimeStamp().toLatin1() + text);
}

void TForm1::updateMessageLimit()
{
    const int most = MessageTextLimit::maxCharacters(
        UserDataBitLimit(), ProtocolIdentifierEdit->boundedText().toLatin1());
    // The field cuts a longer text, also one restored or picked from the history.
    Message_Edit->lineEdit()->setMaxLength(most);
    const QString text = Message_Edit->currentText();
    CharactersLeftLabel->setText(
        MessageTextLimit::charactersLeftText(most - static_cast<int>(text.size())));
    Latin1WarningLabel->setText(MessageTextLimit::outsideLatin1Warning(text));
}

void TForm1::FormCreate()
{
    RxBuffer.clear();
    setEnabledAll({ConnectButton}, true);
    setEnabledAll({RegisterButton, DisconnectButton, SendButton, CheckBoxRec, CheckBoxCon,
                   ProtocolIdentifierEdit, DestISSI_Edit, Message_Edit, RepititionsEdit, DelayEdit},
                  false);
    DelayTimer->setEnabled(false);
    MessageReference = 0;
    // A stored choice that names no profile shows the default one.
    RadioProfileComboBox->setCurrentIndex(int(radioProfile()));
}

RadioProfile TForm1::radioProfile() const
{
    return radioProfileAt(RadioProfileComboBox->currentIndex());
}

const PeiDialect &TForm1::chosenDialect() const
{
    // Connected, the connection's dialect; before, the one Connect will speak.
    return ComPort->Connected() ? dialect() : dialectOf(radioProfile());
}

void TForm1::updateSendRules()
{
    const QByteArray destination = DestISSI_Edit->text().trimmed().toLatin1();
    const bool accepted = destination.isEmpty() || chosenDialect().acceptsDestination(destination);
    // A word beside the field; the reason in full on its tooltip.
    const QString word = radioProfile() == RadioProfile::Etsi ? QStringLiteral("not an identity")
                                                              : QStringLiteral("not an ISSI");
    DestinationWarningLabel->setText(accepted ? QString() : word);
    DestinationWarningLabel->setToolTip(
        accepted ? QString() : QString::fromLatin1(chosenDialect().destinationRefusal()));

    const QByteArray refusal =
        chosenDialect().reportRequestRefusal(ProtocolIdentifierEdit->boundedText().toLatin1());
    ReportNoteLabel->setText(QString::fromLatin1(refusal));
    for (QCheckBox *box : {CheckBoxRec, CheckBoxCon}) {
        box->setToolTip(QString::fromLatin1(refusal));
        if (refusal.isEmpty()) {
            // Back on only where sending is on.
            box->setEnabled(SendButton->isEnabled());
        } else {
            box->setChecked(false);
            box->setEnabled(false);
        }
    }
    // The flags follow the boxes, as after a click.
    CheckBoxRecClick();
    CheckBoxConClick();
}

RadioSession::MessageFields TForm1::messageFields()
{
    Message_Edit->AddTextToHistory();
    RadioSession::MessageFields fields;
    fields.protocolIdText = ProtocolIdentifierEdit->boundedText().toLatin1();
    fields.destination = DestISSI_Edit->text().trimmed().toLatin1();
    // Characters outside Latin-1 become "?": one character, one octet.
    fields.text = Message_Edit->currentText().toLatin1();
    fields.delayMs = DelayEdit->Value();
    return fields;
}

void TForm1::ConnectButtonClick()
{
    m_session->setProfile(radioProfile());
    const QString path = PortList->pathForText(ComPortComboBox->currentText());
    markRadios(path);
    m_session->connectTo(path);
    connectReceiver();
}

void TForm1::RegisterButtonClick()
{
    const QByteArray protocolIdText = ProtocolIdentifierEdit->boundedText().toLatin1();
    m_session->registerApplication(protocolIdText);
    registerReceiver(protocolIdText);
}

void TForm1::SendButtonClick()
{
    if (SendButton->text() == stopCaption) {
        m_link->stop();
        SendButton->setText(sendCaption);
        return;
    }
    if (receiverConnected()) {
        startLinkTest();
        return;
    }
    m_link->end();
    m_session->startSeries(RepititionsEdit->Value(), DelayEdit->Value());
}

void TForm1::DisconnectButtonClick()
{
    disconnectReceiver();
    try {
        m_session->disconnectRadio();
    } catch (...) {
        // A vanished port must not leave Connect disabled for good.
        resetSessionControls();
        throw;
    }
    resetSessionControls();
}

void TForm1::CheckBoxRecClick()
{
    m_session->setReportRequested(SdsCodec::ReceivedReportFlag, CheckBoxRec->isChecked());
}

void TForm1::CheckBoxConClick()
{
    m_session->setReportRequested(SdsCodec::ConsumedReportFlag, CheckBoxCon->isChecked());
}

void TForm1::EnableAfterProbe()
{
    setEnabledAll({ConnectButton, ComPortComboBox, RadioProfileComboBox}, false);
    setEnabledAll({RegisterButton, DisconnectButton, ProtocolIdentifierEdit}, true);
}

void TForm1::EnableAfterRegistration()
{
    setEnabledAll({RegisterButton}, false);
    setEnabledAll({SendButton, CheckBoxRec, CheckBoxCon, DestISSI_Edit, Message_Edit,
                   RepititionsEdit, DelayEdit},
                  true);
    updateSendRules();
}

void TForm1::Button1Click()
{
    savePane(MessagesPad_Memo);
}

void TForm1::Button2Click()
{
    savePane(CommandLogger_Memo);
}
