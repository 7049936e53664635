#include "window/LineDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace {

LineDialog::Handler &handlerSlot()
{
    static LineDialog::Handler handler;
    return handler;
}

const char *const parityNames[] = {"None", "Odd", "Even", "Mark", "Space"};

QComboBox *choiceBox(QWidget *parent, const char *name)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

void select(QComboBox *box, int value)
{
    box->setCurrentIndex(box->findData(value));
}

} // namespace

LineDialog::LineDialog(const LineSettings &settings, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LineDialog"));
    setWindowTitle(QStringLiteral("Line settings"));
    auto *column = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    column->addLayout(form);

    BaudRateBox = choiceBox(this, "BaudRateBox");
    for (TBaudRate rate : offeredBaudRates())
        BaudRateBox->addItem(QString::number(baudRateValue(rate)), int(rate));
    DataBitsBox = choiceBox(this, "DataBitsBox");
    for (int bits = dbFive; bits <= dbEight; ++bits)
        DataBitsBox->addItem(QString::number(bits + 5), bits);
    ParityBox = choiceBox(this, "ParityBox");
    for (int parity = prNone; parity <= prSpace; ++parity)
        ParityBox->addItem(QLatin1String(parityNames[parity]), parity);
    StopBitsBox = choiceBox(this, "StopBitsBox");
    for (TStopBits stopBits : offeredStopBits())
        StopBitsBox->addItem(stopBits == sbTwoStopBits ? QStringLiteral("2") : QStringLiteral("1"),
                             int(stopBits));
    FlowControlBox = choiceBox(this, "FlowControlBox");
    FlowControlBox->addItem(QStringLiteral("None"), 0);
    FlowControlBox->addItem(QStringLiteral("RTS/CTS (hardware)"), 1);

    form->addRow(QStringLiteral("Baud rate"), BaudRateBox);
    form->addRow(QStringLiteral("Data bits"), DataBitsBox);
    form->addRow(QStringLiteral("Parity"), ParityBox);
    form->addRow(QStringLiteral("Stop bits"), StopBitsBox);
    form->addRow(QStringLiteral("Flow control"), FlowControlBox);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);

    select(BaudRateBox, settings.baudRate);
    select(DataBitsBox, settings.dataBits);
    select(ParityBox, settings.parity);
    select(StopBitsBox, settings.stopBits);
    select(FlowControlBox, settings.rtsCts ? 1 : 0);
}

LineSettings LineDialog::settings() const
{
    LineSettings settings;
    settings.baudRate = TBaudRate(BaudRateBox->currentData().toInt());
    settings.dataBits = TDataBits(DataBitsBox->currentData().toInt());
    settings.parity = TParityBits(ParityBox->currentData().toInt());
    settings.stopBits = TStopBits(StopBitsBox->currentData().toInt());
    settings.rtsCts = FlowControlBox->currentData().toInt() == 1;
    return settings;
}

std::optional<LineSettings> LineDialog::ask(QWidget *parent, const LineSettings &current)
{
    if (handlerSlot())
        return handlerSlot()(current);
    LineDialog dialog(current, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.settings();
}

void LineDialog::setHandler(Handler handler)
{
    handlerSlot() = std::move(handler);
}
