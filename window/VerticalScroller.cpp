#include "window/VerticalScroller.h"

#include <QEvent>
#include <QScrollBar>

VerticalScroller::VerticalScroller(QWidget *parent) : QScrollArea(parent)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

QSize VerticalScroller::minimumSizeHint() const
{
    QSize hint = QScrollArea::minimumSizeHint();
    if (const QWidget *content = widget())
        hint.setWidth(content->minimumSizeHint().width() + verticalScrollBar()->sizeHint().width());
    return hint;
}

bool VerticalScroller::eventFilter(QObject *watched, QEvent *event)
{
    // The widget's rows changed: so may the width it needs.
    if (watched == widget() && event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return QScrollArea::eventFilter(watched, event);
}
