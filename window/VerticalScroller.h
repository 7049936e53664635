#pragma once

#include <QScrollArea>

// Scrolls its widget up and down only: never narrower than the widget needs
// beside a scroll bar, so rows are never squeezed together nor cut at the
// side when the window is small.
class VerticalScroller : public QScrollArea
{
public:
    explicit VerticalScroller(QWidget *parent = nullptr);

    QSize minimumSizeHint() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
