#include "controls/SpinButtonPair.h"

#include <QToolButton>

SpinButtonPair::SpinButtonPair(QWidget *field) : QWidget(field), m_field(field)
{
    setFocusPolicy(Qt::NoFocus);
    m_upButton = makeButton(Qt::UpArrow, QStringLiteral("stepUpButton"));
    m_downButton = makeButton(Qt::DownArrow, QStringLiteral("stepDownButton"));
    connect(m_upButton, &QToolButton::clicked, this, &SpinButtonPair::upClicked);
    connect(m_downButton, &QToolButton::clicked, this, &SpinButtonPair::downClicked);
    resize(defaultWidth, defaultHeight);
}

QToolButton *SpinButtonPair::makeButton(Qt::ArrowType arrow, const QString &name)
{
    auto *button = new QToolButton(this);
    button->setObjectName(name);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::pressed, this, &SpinButtonPair::focusField);
    return button;
}

void SpinButtonPair::focusField()
{
    if (m_field->focusPolicy() != Qt::NoFocus && !m_field->hasFocus())
        m_field->setFocus(Qt::OtherFocusReason);
}

// Placed by hand: a layout would impose the buttons' size hints as the
// pair's minimum and keep it from its small fixed size.
void SpinButtonPair::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int upperHeight = height() / 2;
    m_upButton->setGeometry(0, 0, width(), upperHeight);
    m_downButton->setGeometry(0, upperHeight, width(), height() - upperHeight);
}
