// The main window's controls: names, captions, hints, sizes and layout.
#include "window/Corvane_main.h"

#include "controls/Getdata.h"
#include "controls/LogView.h"
#include "pei/RadioProfile.h"
#include "window/PortComboBox.h"
#include "window/SeriesPanel.h"
#include "window/VerticalScroller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <limits>

namespace {

// A series writes lines on nearly every turn of the event loop; a redraw of
// the panes per turn would cost the window several times the CPU of the
// series itself. Five redraws a second still read as live, and a line after a
// quiet spell shows at once.
constexpr int PaneLayoutIntervalMs = 200;

template <typename T> T *named(T *object, const char *name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

QPushButton *button(QWidget *parent, const char *name, const char *caption,
                    const char *hint = nullptr)
{
    auto *b = named(new QPushButton(QString::fromLatin1(caption), parent), name);
    if (hint)
        b->setToolTip(QString::fromLatin1(hint));
    return b;
}

QLabel *label(QWidget *parent, const char *name, const char *caption)
{
    return named(new QLabel(QString::fromLatin1(caption), parent), name);
}

TGetLong *numberField(QWidget *parent, const char *name, int minValue, int maxValue, int value)
{
    auto *field = named(new TGetLong(parent), name);
    field->setMinValue(minValue);
    field->setMaxValue(maxValue);
    field->setIncrement(0);
    field->setValue(value);
    field->Loaded();
    return field;
}

LogView *logPane(QWidget *parent, const char *name)
{
    auto *pane = named(new LogView(parent), name);
    pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Log panes stay out of the settings file.
    pane->setProperty("Tag", -1);
    pane->setLayoutInterval(PaneLayoutIntervalMs);
    return pane;
}

} // namespace

void TForm1::buildControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Corvane version 2.0"));
    resize(680, 480);
    setMinimumSize(680, 480);

    auto *windowLayout = new QVBoxLayout(this);
    windowLayout->setContentsMargins(0, 0, 0, 0);
    windowLayout->setSpacing(0);

    // Upper panel: the buttons at the left, the labelled fields beside them.
    Panel1 = named(new QWidget(this), "Panel1");
    // Room for the message field's counter and warning below it.
    Panel1->setFixedHeight(160);
    windowLayout->addWidget(Panel1);
    auto *upper = new QHBoxLayout(Panel1);
    upper->setContentsMargins(8, 6, 8, 6);

    auto *buttons = new QVBoxLayout;
    ConnectButton = button(Panel1, "ConnectButton", "Connect",
                           "Connect a radio to the Selected COM Port and click this button to see "
                           "if the radio supports AT commands for Short Data");
    RegisterButton = button(Panel1, "RegisterButton", "Register",
                            "Fill out the Protocol Identifier field and then Register this "
                            "application using that Protocol Identifer");
    DisconnectButton = button(Panel1, "DisconnectButton", "Disconnect");
    SendButton = button(Panel1, "SendButton", "Send",
                        "Enter Destination ISSI and Text message to send before pressing this "
                        "Send button");
    for (QPushButton *b : {ConnectButton, RegisterButton, DisconnectButton, SendButton}) {
        b->setFixedWidth(90);
        buttons->addWidget(b);
    }
    upper->addLayout(buttons);

    auto *fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    fields->setVerticalSpacing(4);
    upper->addLayout(fields, 1);

    ComPortLabel = label(Panel1, "ComPortLabel", "Com Port");
    ComPortComboBox = named(new PortComboBox(Panel1), "ComPortComboBox");
    ComPortComboBox->setEditable(true);
    ComPortComboBox->addItems({QStringLiteral("COM1"), QStringLiteral("COM2"),
                               QStringLiteral("COM3"), QStringLiteral("COM4")});
    ComPortComboBox->setEditText(QStringLiteral("Select COM port"));

    Label1 = label(Panel1, "Label1", "Protocol Identifier");
    Label1->setToolTip(QStringLiteral("Protocol Identifier"));
    ProtocolIdentifierEdit = numberField(Panel1, "ProtocolIdentifierEdit", 0, 255, 0);
    Label2 = label(Panel1, "Label2", "Destination ISSI");
    // An ISSI is 24 bits.
    DestISSI_Edit = numberField(Panel1, "DestISSI_Edit", 1, 16777215, 1);
    Label3 = label(Panel1, "Label3", "Text message to send");
    Message_Edit = named(new THistComboBox(Panel1), "Message_Edit");
    Message_Edit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    Label6 = label(Panel1, "Label6", "Repititions");
    RepititionsEdit = numberField(Panel1, "RepititionsEdit", 1, 999999999, 1);
    Label7 = label(Panel1, "Label7", "Delay (msec)");
    DelayEdit = numberField(Panel1, "DelayEdit", 0, std::numeric_limits<int>::max(), 0);
    CheckBoxRec = named(new QCheckBox(QStringLiteral("Received TL flag"), Panel1), "CheckBoxRec");
    CheckBoxCon = named(new QCheckBox(QStringLiteral("Consumed TL flag"), Panel1), "CheckBoxCon");

    fields->addWidget(ComPortLabel, 0, 0);
    fields->addWidget(ComPortComboBox, 0, 1);
    fields->addWidget(Label6, 0, 2);
    fields->addWidget(RepititionsEdit, 0, 3);
    fields->addWidget(Label1, 1, 0);
    fields->addWidget(ProtocolIdentifierEdit, 1, 1);
    fields->addWidget(Label7, 1, 2);
    fields->addWidget(DelayEdit, 1, 3);
    fields->addWidget(Label2, 2, 0);
    // A destination the radio cannot take is refused beside the field, never
    // changed into another number.
    DestISSI_Edit->setClampsOnExit(false);
    DestinationWarningLabel = label(Panel1, "DestinationWarningLabel", "");
    DestinationWarningLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
    auto *destinationRow = new QHBoxLayout;
    destinationRow->addWidget(DestISSI_Edit, 1);
    destinationRow->addWidget(DestinationWarningLabel);
    fields->addLayout(destinationRow, 2, 1);
    fields->addWidget(CheckBoxRec, 2, 2);
    fields->addWidget(CheckBoxCon, 2, 3);
    fields->addWidget(Label3, 3, 0);
    fields->addWidget(Message_Edit, 3, 1, 1, 3);
    CharactersLeftLabel = label(Panel1, "CharactersLeftLabel", "");
    Latin1WarningLabel = label(Panel1, "Latin1WarningLabel", "");
    Latin1WarningLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
    // Why the report boxes are off, when the protocol identifier has no room
    // for report requests.
    ReportNoteLabel = label(Panel1, "ReportNoteLabel", "");
    ReportNoteLabel->setStyleSheet(QStringLiteral("color: #705000;"));
    auto *messageNotes = new QHBoxLayout;
    messageNotes->addWidget(CharactersLeftLabel);
    messageNotes->addSpacing(12);
    messageNotes->addWidget(Latin1WarningLabel, 1);
    messageNotes->addWidget(ReportNoteLabel);
    fields->addLayout(messageNotes, 4, 1, 1, 3);
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(3, 1);

    // Lower panel: the message window above the PEI logger window, the
    // series panel beside them. The outer splitter has no name, so the
    // settings file keeps the layout it always had.
    Panel6 = named(new QWidget(this), "Panel6");
    windowLayout->addWidget(Panel6, 1);
    auto *lower = new QVBoxLayout(Panel6);
    lower->setContentsMargins(0, 0, 0, 0);
    auto *beside = new QSplitter(Qt::Horizontal, Panel6);
    beside->setHandleWidth(3);
    lower->addWidget(beside);
    Splitter1 = named(new QSplitter(Qt::Vertical, beside), "Splitter1");
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    beside->addWidget(Splitter1);

    const auto logPanel = [this](const char *panelName, const char *labelName, const char *caption,
                                 const char *buttonName, const char *buttonCaption,
                                 const char *paneName, QLabel **labelOut, QPushButton **buttonOut,
                                 LogView **paneOut) {
        auto *panel = named(new QWidget(Splitter1), panelName);
        auto *column = new QVBoxLayout(panel);
        column->setContentsMargins(4, 2, 4, 2);
        column->setSpacing(2);
        auto *header = new QHBoxLayout;
        *labelOut = label(panel, labelName, caption);
        *buttonOut = button(panel, buttonName, buttonCaption);
        header->addWidget(*labelOut);
        header->addStretch(1);
        header->addWidget(*buttonOut);
        column->addLayout(header);
        *paneOut = logPane(panel, paneName);
        column->addWidget(*paneOut, 1);
        Splitter1->addWidget(panel);
        return panel;
    };
    Panel2 = logPanel("Panel2", "Label4", "Message window:", "Button1", "Save Msg Window to File",
                      "MessagesPad_Memo", &Label4, &Button1, &MessagesPad_Memo);
    Panel4 =
        logPanel("Panel4", "Label5", "PEI logger window:", "Button2", "Save Log Window to File",
                 "CommandLogger_Memo", &Label5, &Button2, &CommandLogger_Memo);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({129, 480 - 160 - 129 - 3});

    // The panel scrolls rather than squeezes its rows together where the
    // window is too small to show it whole.
    auto *seriesScroller = new VerticalScroller(beside);
    SeriesPanel1 = named(new SeriesPanel(m_session->seriesStatistics()), "SeriesPanel1");
    seriesScroller->setWidget(SeriesPanel1);
    beside->addWidget(seriesScroller);
    beside->setStretchFactor(0, 1);
    beside->setStretchFactor(1, 0);
    beside->setSizes({680 - 300 - 3, 300});

    // The radio profile sits above everything: it decides every byte on the
    // line, so a user meets it first. Created last, as the settings file
    // lists controls in creation order and older files keep theirs.
    auto *profileStrip = named(new QWidget(this), "ProfilePanel");
    windowLayout->insertWidget(0, profileStrip);
    auto *profileRow = new QHBoxLayout(profileStrip);
    profileRow->setContentsMargins(8, 6, 8, 0);
    RadioProfileLabel = label(profileStrip, "RadioProfileLabel", "Radio profile");
    RadioProfileComboBox = named(new QComboBox(profileStrip), "RadioProfileComboBox");
    RadioProfileComboBox->addItems(radioProfileNames());
    RadioProfileComboBox->setToolTip(
        QStringLiteral("The PEI dialect of the radio: choose it before pressing Connect"));
    RadioProfileLabel->setBuddy(RadioProfileComboBox);
    profileRow->addWidget(RadioProfileLabel);
    profileRow->addWidget(RadioProfileComboBox);
    profileRow->addStretch(1);

    // Designed enabled states; FormCreate sets the controller's own.
    for (QWidget *w : std::initializer_list<QWidget *>{
             RegisterButton, DisconnectButton, SendButton, ProtocolIdentifierEdit, DestISSI_Edit,
             Message_Edit, RepititionsEdit, DelayEdit, CheckBoxRec, CheckBoxCon})
        w->setEnabled(false);
}
