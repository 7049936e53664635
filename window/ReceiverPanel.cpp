#include "window/ReceiverPanel.h"

#include "serial/Comms.h"
#include "serial/DeviceRegistry.h"
#include "session/RadioSession.h"
#include "window/LineDialog.h"
#include "window/PortComboBox.h"
#include "window/PortSelector.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

const QString ReceiverPanel::NoReceiverText = QStringLiteral("(none)");
const QString ReceiverPanel::SecondSimName = QStringLiteral("SIM2");

namespace {

template <typename T> T *named(T *object, const char *name)
{
    object->setObjectName(QLatin1String(name));
    // Out of the settings file: every start begins without a receiver.
    object->setProperty("Tag", -1);
    return object;
}

QString stateName(std::uint8_t state)
{
    switch (state) {
    case rsProbing:
        return QStringLiteral("waiting for the probe's answer");
    case rsReady:
        return QStringLiteral("ready");
    case rsRegistering:
        return QStringLiteral("registering");
    case rsRegistered:
        return QStringLiteral("registered");
    case rsSending:
        return QStringLiteral("sending");
    default:
        return QString();
    }
}

} // namespace

ReceiverPanel::ReceiverPanel(RadioSession &receiver, QWidget *parent)
    : QWidget(parent), m_receiver(receiver)
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);

    ReceiverLabel = named(new QLabel(QStringLiteral("Receiver"), this), "ReceiverLabel");
    ReceiverComboBox = named(new PortComboBox(this), "ReceiverComboBox");
    ReceiverComboBox->setEditable(true);
    ReceiverComboBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    ReceiverComboBox->setToolTip(
        QStringLiteral("A link test: the radio that receives the messages, opened and registered "
                       "with the same protocol identifier on Connect and Register; every message "
                       "then carries a tag by which its arrival is matched. (none): no link test"));
    ReceiverLabel->setBuddy(ReceiverComboBox);
    ReceiverLineButton =
        named(new QPushButton(QStringLiteral("Line..."), this), "ReceiverLineButton");
    ReceiverProfileLabel =
        named(new QLabel(QStringLiteral("Profile"), this), "ReceiverProfileLabel");
    ReceiverProfileComboBox = named(new QComboBox(this), "ReceiverProfileComboBox");
    ReceiverProfileLabel->setBuddy(ReceiverProfileComboBox);
    ReceiverProfileComboBox->addItems(radioProfileNames());
    ReceiverProfileComboBox->setToolTip(QStringLiteral("The PEI dialect of the receiving radio"));
    ReceiverStateLabel = named(new QLabel(this), "ReceiverStateLabel");
    ReceiverStateLabel->setWordWrap(true);

    grid->addWidget(ReceiverLabel, 0, 0);
    grid->addWidget(ReceiverComboBox, 0, 1);
    grid->addWidget(ReceiverLineButton, 0, 2);
    grid->addWidget(ReceiverProfileLabel, 1, 0);
    grid->addWidget(ReceiverProfileComboBox, 1, 1, 1, 2);
    grid->addWidget(ReceiverStateLabel, 2, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    // The window's port selector lists the ports; this one follows it.
    ReceiverPorts = new PortSelector(
        ReceiverComboBox, nullptr, [] { return serial::isRegisteredDevice(QStringLiteral("SIM")); },
        this);
    ReceiverPorts->setObjectName(QStringLiteral("ReceiverPorts"));
    ReceiverPorts->setListAdjustment([](QList<PortEntry> entries) {
        entries.prepend({NoReceiverText, QString()});
        if (serial::isRegisteredDevice(SecondSimName))
            entries.append({SecondSimName, SecondSimName});
        return entries;
    });
    ReceiverComboBox->setEditText(NoReceiverText);
    connect(ReceiverComboBox, &QComboBox::editTextChanged, this, [this] {
        showState();
        emit choiceChanged();
    });
    connect(ReceiverLineButton, &QPushButton::clicked, this, &ReceiverPanel::chooseLine);
    ReceiverLineButton->setToolTip(lineSummary(m_line));

    connect(&m_receiver, &RadioSession::portOpened, this, &ReceiverPanel::showState);
    connect(&m_receiver, &RadioSession::sessionEnded, this, &ReceiverPanel::showState);
    connect(&m_receiver, &RadioSession::controlsMayHaveChanged, this, &ReceiverPanel::showState);
    connect(&m_receiver, &RadioSession::probeAnswered, this, &ReceiverPanel::showState);
    connect(&m_receiver, &RadioSession::registrationAnswered, this, &ReceiverPanel::showState);
    showState();
}

QString ReceiverPanel::receiverPath() const
{
    return ReceiverPorts->pathForText(ReceiverComboBox->currentText());
}

RadioProfile ReceiverPanel::profile() const
{
    return radioProfileAt(ReceiverProfileComboBox->currentIndex());
}

void ReceiverPanel::followPorts(PortSelector &ports)
{
    ReceiverPorts->followListing(ports);
    static_cast<PortComboBox *>(ReceiverComboBox)->OnPopup = [&ports] {
        ports.refreshInBackground();
    };
}

void ReceiverPanel::setChoiceEnabled(bool enabled)
{
    for (QWidget *control :
         {static_cast<QWidget *>(ReceiverComboBox), static_cast<QWidget *>(ReceiverLineButton),
          static_cast<QWidget *>(ReceiverProfileComboBox)})
        control->setEnabled(enabled);
}

void ReceiverPanel::chooseLine()
{
    if (const std::optional<LineSettings> chosen = LineDialog::ask(this, m_line)) {
        m_line = *chosen;
        ReceiverLineButton->setToolTip(lineSummary(m_line));
        showState();
    }
}

void ReceiverPanel::showState()
{
    if (receiverPath().isEmpty()) {
        ReceiverStateLabel->setText(QStringLiteral("No link test: messages go out untagged."));
        return;
    }
    if (!m_receiver.ComPort->Connected()) {
        ReceiverStateLabel->setText(
            QStringLiteral("Not connected; opens on Connect at %1.").arg(lineSummary(m_line)));
        return;
    }
    ReceiverStateLabel->setText(
        QStringLiteral("%1: %2").arg(m_receiver.connectedPath(), stateName(m_receiver.RadioState)));
}
