#pragma once

#include "controls/LogLines.h"
#include "controls/LogSearch.h"
#include "controls/LogSnapshot.h"

#include <QAbstractScrollArea>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <optional>
#include <vector>

class QLineEdit;
class QMenu;

// A read-only log pane that scales to millions of lines: the lines are kept
// compactly (LogLines) and only the visible ones are drawn, in a fixed-width
// font so that a column is found without measuring text. Appends made in one
// turn of the event loop are laid out together, and with a layout interval
// at most once per interval. The pane follows new lines
// unless the user has scrolled away from the end. Text can be selected with
// the mouse, copied, searched and cleared from the context menu; Tab moves
// the focus on.
//
// The pane keeps only the last lines (see setLimits). Once lines have left
// it, its first row is a note saying how many: the note is not a line of
// the log. It is not counted by lineCount(), not in lines() nor in a
// snapshot, cannot be selected (Select All starts at the first line) and so
// is never copied; a click on it is a click at the start of the first line,
// a double click on it selects nothing.
class LogView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    using Position = LogLines::Position;

    explicit LogView(QWidget *parent = nullptr);

    // One line of Latin-1 octets, without line end.
    void appendLine(QByteArrayView line);
    // The lines in view, the note not counted.
    int lineCount() const { return m_lines.count(); }
    QByteArrayView line(int index) const { return m_lines.line(index); }
    // Every line in view, as text.
    QStringList lines() const;
    // Replaces every line; no lines leave the single empty line.
    void setLines(const QStringList &lines);
    // Back to a single empty line. The memory of the lines is given back in
    // the next turns of the event loop, a few milliseconds' worth in each:
    // freeing hundreds of megabytes at once would hold the window thread
    // for tens of milliseconds.
    void clear();

    // At most `maxLines` lines and `maxBytes` octets of them stay in view
    // (LogLines::setLimits); applies at once, what leaves being freed as
    // after clear().
    void setLimits(int maxLines, qint64 maxBytes);
    int maxLines() const { return m_lines.maxLines(); }
    qint64 maxBytes() const { return m_lines.maxBytes(); }
    // Lines that have left the view since it was last cleared.
    qint64 droppedLineCount() const { return m_lines.droppedCount(); }
    // What the note says: `format` with %1 for the number of lines that
    // have left, its digits grouped by commas. By default
    // "%1 earlier lines are in the log file": "12,345 earlier lines are in
    // the log file".
    void setDroppedNoteFormat(const QString &format);
    // The note as shown; empty while no line has left.
    QString droppedNote() const;
    // The lines in view, for writing elsewhere (LogSnapshot::write), on any
    // thread, while the pane goes on.
    LogSnapshot snapshot() const { return m_lines.snapshot(); }
    // The line-count choices of the context menu; each keeps as many octets
    // per line as the default limits do.
    static constexpr int LineLimitChoices[] = {10000, 100000, 1000000};

    bool hasSelection() const { return !(position(m_anchor) == position(m_cursor)); }
    QString selectedText() const;
    void select(Position from, Position to);
    void selectAll();
    // Puts the selection on the clipboard.
    void copy() const;
    // Looks for the next occurrence of `text` after the selection (or from
    // the first line shown), wrapping to the top; letter case does not
    // matter. A long pane is searched a slice per turn of the event loop, so
    // the window stays live. Ends with the occurrence selected and scrolled
    // into view, or with a beep, and findFinished. A new find, clear or
    // setLines ends a search still running, without findFinished.
    void find(const QString &text);
    bool isFinding() const { return m_search.has_value(); }

    // Lines appended within `ms` of the last layout wait for the interval
    // to end, so that a busy log redraws the pane a few times a second
    // instead of on every turn of the event loop. The first line after a
    // quiet spell still shows at the next turn. 0 (the default): every turn.
    void setLayoutInterval(int ms) { m_layoutIntervalMs = ms; }

    // True while the last line is shown and new lines will be followed.
    bool isFollowing() const;
    int firstVisibleLine() const;

    // The context menu: Copy, Select All, Clear, Lines kept in view, Find.
    QMenu *createContextMenu();
    // The field the Find action opens; Enter finds the next occurrence.
    QLineEdit *findField() const { return m_findField; }
    void showFindField();

    // Octets held for the lines, those let go but not yet freed included,
    // for measuring.
    std::size_t bytesHeld() const;

signals:
    void findFinished(bool found);
    // The user chose other limits in the context menu (not emitted for
    // setLimits), for the owner to keep.
    void limitsChosen(int maxLines, qint64 maxBytes);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    // A position by the number of its line among all appended since the
    // pane was last emptied, so that it stays put as lines leave the front.
    struct Mark
    {
        qint64 line = 0;
        int column = 0;
    };

    Mark mark(Position position) const;
    Position position(Mark mark) const;
    int noteRows() const { return m_lines.droppedCount() > 0 ? 1 : 0; }
    int rowCount() const { return lineCount() + noteRows(); }
    int rowAt(const QPoint &point) const;
    void chooseLineLimit(int lines);
    void letGo(std::vector<LogChunk> chunks);
    void releaseSome();
    void continueFind();
    void layoutPending();
    void scheduleLayout();
    void layoutAppended();
    void updateMetrics();
    void updateScrollBars();
    void placeFindField();
    int visibleLineCount() const;
    Position positionAt(const QPoint &point) const;
    Position selectionStart() const { return std::min(position(m_anchor), position(m_cursor)); }
    Position selectionEnd() const { return std::max(position(m_anchor), position(m_cursor)); }
    void ensureVisible(Position from, Position to);
    QString displayText(QByteArrayView octets) const;

    LogLines m_lines;
    Mark m_anchor;
    Mark m_cursor;
    bool m_selecting = false;
    bool m_layoutScheduled = false;
    bool m_followAfterLayout = false;
    // What the scroll bars were laid out for, to keep the same lines shown
    // as others leave the front.
    qint64 m_laidOutDropped = 0;
    int m_laidOutNoteRows = 0;
    int m_layoutIntervalMs = 0;
    QElapsedTimer m_sinceLayout;
    QTimer m_layoutTimer;
    QString m_noteFormat = QStringLiteral("%1 earlier lines are in the log file");
    std::optional<LogSearch> m_search;
    QTimer m_findTimer;
    // Blocks the lines have left, to be freed.
    std::deque<LogChunk> m_letGo;
    QTimer m_releaseTimer;
    int m_lineHeight = 1;
    int m_charWidth = 1;
    int m_ascent = 0;
    bool m_controlPictures = false;
    QLineEdit *m_findField = nullptr;
};
