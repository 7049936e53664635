#include "window/PortComboBox.h"

PortComboBox::PortComboBox(QWidget *parent) : QComboBox(parent) {}

void PortComboBox::showPopup()
{
    if (OnPopup)
        OnPopup();
    QComboBox::showPopup();
}
