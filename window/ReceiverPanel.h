#pragma once

#include "pei/RadioProfile.h"
#include "ports/LineSettings.h"

#include <QString>
#include <QWidget>

class PortSelector;
class QComboBox;
class QLabel;
class QPushButton;
class RadioSession;

// The receiver of a link test, at the top of the Series panel: its port
// ("(none)", the default, for no link test), its line and its profile, and
// the state of its session. The choice is made before Connect and locked
// while connected; it is not kept in the settings file, so every start
// begins without a receiver.
class ReceiverPanel : public QWidget
{
    Q_OBJECT

public:
    static const QString NoReceiverText;
    // The second simulated radio, listed when it is there.
    static const QString SecondSimName;

    ReceiverPanel(RadioSession &receiver, QWidget *parent = nullptr);

    QLabel *ReceiverLabel = nullptr;
    QComboBox *ReceiverComboBox = nullptr;
    QPushButton *ReceiverLineButton = nullptr;
    QLabel *ReceiverProfileLabel = nullptr;
    QComboBox *ReceiverProfileComboBox = nullptr;
    QLabel *ReceiverStateLabel = nullptr;
    PortSelector *ReceiverPorts = nullptr;

    // The path the receiver's port opens; empty for none.
    QString receiverPath() const;
    RadioProfile profile() const;
    const LineSettings &line() const { return m_line; }
    // Enabled before Connect, locked while connected.
    void setChoiceEnabled(bool enabled);
    // Lists the ports that the window's selector lists, looking again
    // whenever this list opens.
    void followPorts(PortSelector &ports);

signals:
    // A receiver was chosen, or "(none)".
    void choiceChanged();

private:
    void chooseLine();
    void showState();

    RadioSession &m_receiver;
    LineSettings m_line;
};
