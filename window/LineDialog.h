#pragma once

#include "ports/LineSettings.h"

#include <QDialog>
#include <functional>
#include <optional>

class QComboBox;

// The "Line..." dialog: baud rate, data bits, parity, stop bits and flow
// control of the port.
class LineDialog : public QDialog
{
    Q_OBJECT

public:
    explicit LineDialog(const LineSettings &settings, QWidget *parent = nullptr);

    LineSettings settings() const;

    QComboBox *BaudRateBox = nullptr;
    QComboBox *DataBitsBox = nullptr;
    QComboBox *ParityBox = nullptr;
    QComboBox *StopBitsBox = nullptr;
    QComboBox *FlowControlBox = nullptr;

    // Shows the dialog modally; the chosen settings, or nothing when cancelled.
    static std::optional<LineSettings> ask(QWidget *parent, const LineSettings &current);

    // Replaces the modal dialog (tests); an empty function restores it.
    using Handler = std::function<std::optional<LineSettings>(const LineSettings &)>;
    static void setHandler(Handler handler);
};
