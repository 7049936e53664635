#pragma once

#include <QWidget>
#include <cstdint>

class QLabel;

// The modem lines at a glance: the inputs CTS, DSR, DCD and RI as the port
// reports them, the outputs DTR and RTS as the program set them. A lit
// lamp is a line that is on; all lamps are dark while the port is closed.
class LineStatusStrip : public QWidget
{
    Q_OBJECT

public:
    explicit LineStatusStrip(QWidget *parent = nullptr);

    // `modemStatus` holds the MS_*_ON bits of the input lines.
    void showLines(uint32_t modemStatus, bool dtr, bool rts);
    void showOutputs(bool dtr, bool rts);
    void showClosed();

    // For tests: whether the lamp of "CTS", "DSR", "DCD", "RI", "DTR" or "RTS" is lit.
    bool isLit(const QString &line) const;

private:
    void setLamp(int index, bool on);

    QLabel *m_lamps[6] = {};
    bool m_lit[6] = {};
};
