#include "controls/LogView.h"

#include "controls/Beep.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <climits>
#include <iterator>
#include <utility>

namespace {

constexpr int Margin = 4;
// A search looks through this much of the log between two looks at the
// clock, and yields to the event loop after a slice of this many
// milliseconds.
constexpr qsizetype FindStepOctets = 64 * 1024;
constexpr qint64 FindSliceMs = 10;
// Blocks let go are freed for at most this long per turn of the event loop.
constexpr qint64 ReleaseSliceNs = 4'000'000;

bool isControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

QString groupedDigits(qint64 number)
{
    QString digits = QString::number(number);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}

} // namespace

LogView::LogView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);

    m_findField = new QLineEdit(this);
    m_findField->setObjectName(QStringLiteral("findField"));
    m_findField->setPlaceholderText(QStringLiteral("Find"));
    m_findField->setClearButtonEnabled(true);
    m_findField->hide();
    connect(m_findField, &QLineEdit::returnPressed, this, [this] { find(m_findField->text()); });
    connect(m_findField, &QLineEdit::editingFinished, this, [this] {
        if (!m_findField->hasFocus())
            m_findField->hide();
    });
    m_findTimer.setSingleShot(true);
    m_findTimer.setInterval(0);
    connect(&m_findTimer, &QTimer::timeout, this, &LogView::continueFind);
    m_releaseTimer.setSingleShot(true);
    m_releaseTimer.setInterval(0);
    connect(&m_releaseTimer, &QTimer::timeout, this, &LogView::releaseSome);
    m_layoutTimer.setSingleShot(true);
    connect(&m_layoutTimer, &QTimer::timeout, this, &LogView::layoutPending);

    updateMetrics();
}

// --- lines

void LogView::appendLine(QByteArrayView line)
{
    scheduleLayout();
    m_lines.append(line);
}

QStringList LogView::lines() const
{
    QStringList result;
    result.reserve(lineCount());
    for (int i = 0; i < lineCount(); ++i)
        result << QString::fromLatin1(line(i));
    return result;
}

void LogView::setLines(const QStringList &lines)
{
    scheduleLayout();
    m_search.reset();
    m_findTimer.stop();
    letGo(m_lines.takeAll());
    for (const QString &text : lines)
        m_lines.append(text.toLatin1());
    if (lines.isEmpty())
        m_lines.append(QByteArrayView());
    m_anchor = m_cursor = Mark{};
    m_laidOutDropped = 0;
    m_laidOutNoteRows = 0;
}

void LogView::clear()
{
    setLines({});
}

void LogView::setLimits(int maxLines, qint64 maxBytes)
{
    scheduleLayout();
    letGo(m_lines.setLimits(maxLines, maxBytes));
}

void LogView::letGo(std::vector<LogChunk> chunks)
{
    m_letGo.insert(m_letGo.end(), std::make_move_iterator(chunks.begin()),
                   std::make_move_iterator(chunks.end()));
    if (!m_letGo.empty())
        m_releaseTimer.start();
}

void LogView::releaseSome()
{
    QElapsedTimer slice;
    slice.start();
    while (!m_letGo.empty() && slice.nsecsElapsed() < ReleaseSliceNs)
        m_letGo.pop_front();
    if (m_letGo.empty())
        std::deque<LogChunk>().swap(m_letGo);
    else
        m_releaseTimer.start();
}

std::size_t LogView::bytesHeld() const
{
    std::size_t bytes = m_lines.bytesHeld();
    for (const LogChunk &chunk : m_letGo)
        bytes += chunk.bytesHeld();
    return bytes;
}

void LogView::setDroppedNoteFormat(const QString &format)
{
    m_noteFormat = format;
    viewport()->update();
}

QString LogView::droppedNote() const
{
    const qint64 dropped = m_lines.droppedCount();
    return dropped > 0 ? m_noteFormat.arg(groupedDigits(dropped)) : QString();
}

LogView::Mark LogView::mark(Position at) const
{
    return {m_lines.droppedCount() + at.line, at.column};
}

// A mark on a line that has left stands for the start of the first line.
LogView::Position LogView::position(Mark at) const
{
    const qint64 line = at.line - m_lines.droppedCount();
    return line < 0 ? Position{} : Position{int(line), at.column};
}

// Lines appended in one turn of the event loop are laid out once, after it.
void LogView::scheduleLayout()
{
    if (m_layoutScheduled)
        return;
    m_layoutScheduled = true;
    m_followAfterLayout = isFollowing();
    const qint64 wait =
        m_sinceLayout.isValid() ? qint64(m_layoutIntervalMs) - m_sinceLayout.elapsed() : qint64(0);
    if (wait > 0) {
        m_layoutTimer.start(int(wait));
        return;
    }
    // Not layoutAppended itself: something may have laid out in between.
    QMetaObject::invokeMethod(this, &LogView::layoutPending, Qt::QueuedConnection);
}

void LogView::layoutAppended()
{
    m_layoutScheduled = false;
    m_layoutTimer.stop();
    m_sinceLayout.start();
    // The rows shown stay on the same lines while lines leave the front.
    const qint64 shifted = qint64(verticalScrollBar()->value()) -
                           (m_lines.droppedCount() - m_laidOutDropped) +
                           (noteRows() - m_laidOutNoteRows);
    m_laidOutDropped = m_lines.droppedCount();
    m_laidOutNoteRows = noteRows();
    updateScrollBars();
    QScrollBar *vertical = verticalScrollBar();
    vertical->setValue(m_followAfterLayout ? vertical->maximum()
                                           : int(std::clamp<qint64>(shifted, 0, INT_MAX)));
    viewport()->update();
}

// Lays out at once what was appended in this turn, for what needs rows and
// lines to agree now.
void LogView::layoutPending()
{
    if (m_layoutScheduled)
        layoutAppended();
}

// --- selection, copy, find

QString LogView::selectedText() const
{
    return QString::fromLatin1(m_lines.text(selectionStart(), selectionEnd()));
}

void LogView::select(Position from, Position to)
{
    const auto bounded = [this](Position p) {
        p.line = std::clamp(p.line, 0, lineCount() - 1);
        p.column = std::clamp(p.column, 0, m_lines.length(p.line));
        return p;
    };
    m_anchor = mark(bounded(from));
    m_cursor = mark(bounded(to));
    viewport()->update();
}

void LogView::selectAll()
{
    select({0, 0}, {lineCount() - 1, m_lines.length(lineCount() - 1)});
}

void LogView::copy() const
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void LogView::find(const QString &text)
{
    layoutPending();
    const Position from = hasSelection() ? selectionEnd() : Position{firstVisibleLine(), 0};
    m_search.emplace(m_lines, text.toLatin1(), from);
    m_findTimer.stop();
    continueFind();
}

void LogView::continueFind()
{
    QElapsedTimer slice;
    slice.start();
    while (m_search->step(m_lines, FindStepOctets) == LogSearch::State::Searching) {
        if (slice.elapsed() >= FindSliceMs) {
            m_findTimer.start();
            return;
        }
    }
    const bool found = m_search->state() == LogSearch::State::Found;
    if (found) {
        const Position at = m_search->found(m_lines);
        const Position end{at.line, at.column + m_search->needleLength()};
        select(at, end);
        ensureVisible(at, end);
    } else {
        systemBeep();
    }
    m_search.reset();
    emit findFinished(found);
}

void LogView::ensureVisible(Position from, Position to)
{
    // Layout first, so the scroll bars know every line.
    layoutPending();
    QScrollBar *vertical = verticalScrollBar();
    const int visible = visibleLineCount();
    const int row = from.line + noteRows();
    if (row < vertical->value() || row >= vertical->value() + visible)
        vertical->setValue(row - visible / 2);
    QScrollBar *horizontal = horizontalScrollBar();
    const int left = from.column * m_charWidth;
    const int right = to.column * m_charWidth + 2 * Margin;
    const int width = viewport()->width();
    if (left < horizontal->value() || right > horizontal->value() + width)
        horizontal->setValue(std::max(0, right - width));
    if (left < horizontal->value())
        horizontal->setValue(left);
}

// --- scrolling

bool LogView::isFollowing() const
{
    return verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

int LogView::firstVisibleLine() const
{
    return std::clamp(verticalScrollBar()->value() - noteRows(), 0, lineCount() - 1);
}

int LogView::visibleLineCount() const
{
    return std::max(1, viewport()->height() / m_lineHeight);
}

void LogView::updateMetrics()
{
    const QFontMetrics metrics(font());
    m_lineHeight = std::max(1, metrics.lineSpacing());
    m_charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('M')));
    m_ascent = metrics.ascent();
    // Control characters show as their pictures where the font has them at
    // the same width, else as a middle dot.
    m_controlPictures =
        metrics.inFontUcs4(0x241A) && metrics.horizontalAdvance(QChar(0x241A)) == m_charWidth;
    updateScrollBars();
}

void LogView::updateScrollBars()
{
    QScrollBar *vertical = verticalScrollBar();
    const int visible = visibleLineCount();
    vertical->setRange(0, std::max(0, rowCount() - visible));
    vertical->setPageStep(visible);
    vertical->setSingleStep(1);

    QScrollBar *horizontal = horizontalScrollBar();
    const qint64 contentWidth = qint64(m_lines.longestLength()) * m_charWidth + 2 * Margin;
    const int width = viewport()->width();
    horizontal->setRange(0, int(std::clamp<qint64>(contentWidth - width, 0, INT_MAX)));
    horizontal->setPageStep(width);
    horizontal->setSingleStep(m_charWidth);
}

// --- drawing

QString LogView::displayText(QByteArrayView octets) const
{
    QString text = QString::fromLatin1(octets);
    for (QChar &c : text) {
        if (isControl(static_cast<unsigned char>(c.unicode())))
            c = m_controlPictures ? QChar(c.unicode() == 0x7F ? 0x2421 : 0x2400 + c.unicode())
                                  : QChar(0x00B7);
    }
    return text;
}

void LogView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.setFont(font());
    const QPalette &colours = palette();
    const int scrolledX = horizontalScrollBar()->value();
    const int firstColumn = std::max(0, (scrolledX - Margin) / m_charWidth);
    const int columns = viewport()->width() / m_charWidth + 2;
    const int firstRow = verticalScrollBar()->value();
    const int lastRow = std::min(rowCount() - 1, firstRow + visibleLineCount());
    const Position selFrom = selectionStart();
    const Position selTo = selectionEnd();
    const auto xOf = [&](qint64 column) {
        return int(std::clamp<qint64>(Margin - scrolledX + column * m_charWidth, -m_charWidth,
                                      viewport()->width() + m_charWidth));
    };

    for (int row = firstRow; row <= lastRow; ++row) {
        const int top = (row - firstRow) * m_lineHeight;
        if (row < noteRows()) {
            painter.setPen(colours.color(QPalette::PlaceholderText));
            painter.drawText(Margin - scrolledX, top + m_ascent, droppedNote());
            continue;
        }
        const int i = row - noteRows();
        const QByteArrayView whole = line(i);
        QString shown;
        if (firstColumn < whole.size())
            shown = displayText(whole.sliced(
                firstColumn, std::min<qsizetype>(columns, whole.size() - firstColumn)));
        const int textX = xOf(firstColumn);

        painter.setPen(colours.color(QPalette::Text));
        painter.drawText(textX, top + m_ascent, shown);

        if (hasSelection() && selFrom.line <= i && i <= selTo.line) {
            const int from = i == selFrom.line ? selFrom.column : 0;
            // A selected line end shows as one cell.
            const qint64 to = i == selTo.line ? selTo.column : whole.size() + 1;
            const QRect area(QPoint(xOf(from), top), QPoint(xOf(to) - 1, top + m_lineHeight - 1));
            painter.fillRect(area, colours.brush(QPalette::Highlight));
            painter.save();
            painter.setClipRect(area);
            painter.setPen(colours.color(QPalette::HighlightedText));
            painter.drawText(textX, top + m_ascent, shown);
            painter.restore();
        }
    }
}

void LogView::resizeEvent(QResizeEvent *event)
{
    const bool following = isFollowing();
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    if (following)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    placeFindField();
}

void LogView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateMetrics();
}

// --- keys and mouse

void LogView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->matches(QKeySequence::Find)) {
        showFindField();
    } else if (event->matches(QKeySequence::MoveToStartOfDocument)) {
        verticalScrollBar()->setValue(0);
    } else if (event->matches(QKeySequence::MoveToEndOfDocument)) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else if (event->key() == Qt::Key_Escape && m_findField->isVisible()) {
        m_findField->hide();
    } else {
        // Paging and arrow keys scroll; anything else is not for a read-only pane.
        QAbstractScrollArea::keyPressEvent(event);
    }
}

int LogView::rowAt(const QPoint &point) const
{
    return std::clamp(verticalScrollBar()->value() + point.y() / m_lineHeight, 0, rowCount() - 1);
}

LogView::Position LogView::positionAt(const QPoint &point) const
{
    const int row = rowAt(point);
    if (row < noteRows())
        return Position{};
    Position p;
    p.line = row - noteRows();
    const qint64 x = qint64(point.x()) + horizontalScrollBar()->value() - Margin;
    p.column =
        int(std::clamp<qint64>((x + m_charWidth / 2) / m_charWidth, 0, m_lines.length(p.line)));
    return p;
}

void LogView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    layoutPending();
    const Mark at = mark(positionAt(event->position().toPoint()));
    m_cursor = at;
    if (!(event->modifiers() & Qt::ShiftModifier))
        m_anchor = at;
    m_selecting = true;
    viewport()->update();
}

void LogView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_selecting)
        return;
    const QPoint point = event->position().toPoint();
    // Dragging past the edge scrolls on.
    QScrollBar *vertical = verticalScrollBar();
    if (point.y() < 0)
        vertical->setValue(vertical->value() - 1);
    else if (point.y() > viewport()->height())
        vertical->setValue(vertical->value() + 1);
    layoutPending();
    m_cursor = mark(positionAt(point));
    viewport()->update();
}

void LogView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_selecting) {
        m_selecting = false;
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (hasSelection() && clipboard->supportsSelection())
            clipboard->setText(selectedText(), QClipboard::Selection);
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

// A double click selects the whole line under the mouse.
void LogView::mouseDoubleClickEvent(QMouseEvent *event)
{
    layoutPending();
    if (event->button() != Qt::LeftButton || rowAt(event->position().toPoint()) < noteRows())
        return;
    const int at = positionAt(event->position().toPoint()).line;
    select({at, 0}, {at, m_lines.length(at)});
}

QMenu *LogView::createContextMenu()
{
    auto *menu = new QMenu(this);
    QAction *copyAction = menu->addAction(QStringLiteral("&Copy"), this, &LogView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    menu->addAction(QStringLiteral("Select &All"), this, &LogView::selectAll)
        ->setShortcut(QKeySequence::SelectAll);
    menu->addAction(QStringLiteral("C&lear"), this, &LogView::clear);
    QMenu *kept = menu->addMenu(QStringLiteral("Lines &kept in view"));
    auto *choices = new QActionGroup(kept);
    for (const int lines : LineLimitChoices) {
        QAction *choice =
            kept->addAction(groupedDigits(lines), this, [this, lines] { chooseLineLimit(lines); });
        choice->setCheckable(true);
        choice->setChecked(lines == maxLines());
        choices->addAction(choice);
    }
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Find..."), this, &LogView::showFindField)
        ->setShortcut(QKeySequence::Find);
    return menu;
}

void LogView::chooseLineLimit(int lines)
{
    setLimits(lines, qint64(lines) * LogLines::DefaultMaxBytes / LogLines::DefaultMaxLines);
    emit limitsChosen(maxLines(), maxBytes());
}

void LogView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void LogView::showFindField()
{
    placeFindField();
    m_findField->show();
    m_findField->raise();
    m_findField->selectAll();
    m_findField->setFocus(Qt::ShortcutFocusReason);
}

void LogView::placeFindField()
{
    const QRect area = viewport()->geometry();
    const int width = std::min(area.width(), 240);
    const int height = m_findField->sizeHint().height();
    m_findField->setGeometry(area.right() - width + 1, area.top(), width, height);
}
