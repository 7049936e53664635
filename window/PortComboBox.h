#pragma once

#include <QComboBox>
#include <functional>

// The port selector: an editable combo box that tells before its list
// opens, so that the list can show the ports that exist right now.
class PortComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit PortComboBox(QWidget *parent = nullptr);

    void showPopup() override;

    std::function<void()> OnPopup;
};
