#include "formstate/SplitterPosition.h"

#include <QEvent>
#include <QSplitter>
#include <QSplitterHandle>

namespace formstate {

namespace {

void setFirstHandle(QSplitter &splitter, int position)
{
    if (splitter.count() < 2)
        return;
    const QPoint contentStart = splitter.contentsRect().topLeft();
    const int firstSize =
        position - (splitter.orientation() == Qt::Horizontal ? contentStart.x() : contentStart.y());
    QList<int> sizes = splitter.sizes();
    sizes[1] += sizes[0] - firstSize;
    sizes[0] = firstSize;
    splitter.setSizes(sizes);
}

// Carries a handle move over to the splitter's first showing.
class PendingHandleMove : public QObject
{
public:
    explicit PendingHandleMove(QSplitter &splitter) : QObject(&splitter)
    {
        splitter.installEventFilter(this);
    }

    void await(int position)
    {
        m_position = position;
        m_waiting = true;
    }
    void drop() { m_waiting = false; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && m_waiting) {
            m_waiting = false;
            setFirstHandle(*static_cast<QSplitter *>(watched), m_position);
        }
        return false;
    }

private:
    int m_position = 0;
    bool m_waiting = false;
};

PendingHandleMove *pendingMoveOf(const QSplitter &splitter)
{
    for (QObject *child : splitter.children()) {
        if (auto *pending = dynamic_cast<PendingHandleMove *>(child))
            return pending;
    }
    return nullptr;
}

} // namespace

QPoint firstHandlePosition(const QSplitter &splitter)
{
    if (splitter.count() < 2)
        return {};
    // Along the orientation, where the first widget ends: the handle's own
    // widget may reach into it by a margin, and taking its edge would move
    // the border by that much at every save and restore.
    const QPoint handle = splitter.handle(1)->pos();
    const QPoint contentStart = splitter.contentsRect().topLeft();
    const int firstSize = splitter.sizes().constFirst();
    return splitter.orientation() == Qt::Horizontal
               ? QPoint(contentStart.x() + firstSize, handle.y())
               : QPoint(handle.x(), contentStart.y() + firstSize);
}

void moveFirstHandle(QSplitter &splitter, int position)
{
    PendingHandleMove *pending = pendingMoveOf(splitter);
    if (splitter.isVisible()) {
        if (pending)
            pending->drop();
        setFirstHandle(splitter, position);
        return;
    }
    if (!pending)
        pending = new PendingHandleMove(splitter);
    pending->await(position);
}

} // namespace formstate
