#pragma once

#include <QWidget>

class QToolButton;

// Two small stacked arrow buttons that step the value of the field they sit
// in. They never take the focus themselves: pressing one moves the focus to
// the field, so that typing goes on there.
class SpinButtonPair : public QWidget
{
    Q_OBJECT

public:
    static constexpr int defaultWidth = 15;
    static constexpr int defaultHeight = 17;

    explicit SpinButtonPair(QWidget *field);

signals:
    void upClicked();
    void downClicked();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QToolButton *makeButton(Qt::ArrowType arrow, const QString &name);
    void focusField();

    QWidget *m_field = nullptr;
    QToolButton *m_upButton = nullptr;
    QToolButton *m_downButton = nullptr;
};
