#include "window/LineStatusStrip.h"

#include "serial/SerialDevice.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {

struct LineName
{
    const char *name;
    const char *meaning;
};

const LineName lineNames[6] = {
    {"CTS", "Clear To Send: the radio is ready for a command"},
    {"DSR", "Data Set Ready: the radio is present"},
    {"DCD", "Data Carrier Detect"},
    {"RI", "Ring Indicator"},
    {"DTR", "Data Terminal Ready: set by Corvane"},
    {"RTS", "Request To Send: set by Corvane"},
};

} // namespace

LineStatusStrip::LineStatusStrip(QWidget *parent) : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    for (int i = 0; i < 6; ++i) {
        if (i == 4)
            row->addSpacing(10); // the outputs apart from the inputs
        m_lamps[i] = new QLabel(this);
        m_lamps[i]->setObjectName(QStringLiteral("Lamp%1").arg(QLatin1String(lineNames[i].name)));
        row->addWidget(m_lamps[i]);
        m_lit[i] = true; // so that the first setLamp draws it
        setLamp(i, false);
    }
}

void LineStatusStrip::setLamp(int index, bool on)
{
    if (m_lit[index] == on)
        return;
    m_lit[index] = on;
    const char *colour = on ? "#1e9e3a" : "#b8b8b8";
    m_lamps[index]->setText(QStringLiteral("<span style=\"color:%1\">&#9679;</span> %2")
                                .arg(QLatin1String(colour), QLatin1String(lineNames[index].name)));
    m_lamps[index]->setToolTip(
        QStringLiteral("%1: %2").arg(QLatin1String(lineNames[index].meaning),
                                     on ? QStringLiteral("on") : QStringLiteral("off")));
}

void LineStatusStrip::showLines(uint32_t modemStatus, bool dtr, bool rts)
{
    setLamp(0, modemStatus & serial::MS_CTS_ON);
    setLamp(1, modemStatus & serial::MS_DSR_ON);
    setLamp(2, modemStatus & serial::MS_RLSD_ON);
    setLamp(3, modemStatus & serial::MS_RING_ON);
    showOutputs(dtr, rts);
}

void LineStatusStrip::showOutputs(bool dtr, bool rts)
{
    setLamp(4, dtr);
    setLamp(5, rts);
}

void LineStatusStrip::showClosed()
{
    showLines(0, false, false);
}

bool LineStatusStrip::isLit(const QString &line) const
{
    for (int i = 0; i < 6; ++i)
        if (line == QLatin1String(lineNames[i].name))
            return m_lit[i];
    return false;
}
