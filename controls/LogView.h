#pragma once

#include "controls/LogLines.h"

#include <QAbstractScrollArea>
#include <QByteArrayView>
#include <QStringList>

class QLineEdit;
class QMenu;

// A read-only log pane that scales to millions of lines: the lines are kept
// compactly (LogLines) and only the visible ones are drawn, in a fixed-width
// font so that a column is found without measuring text. Appends made in one
// turn of the event loop are laid out together. The pane follows new lines
// unless the user has scrolled away from the end. Text can be selected with
// the mouse, copied, searched and cleared from the context menu; Tab moves
// the focus on.
class LogView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    using Position = LogLines::Position;

    explicit LogView(QWidget *parent = nullptr);

    // One line of Latin-1 octets, without line end.
    void appendLine(QByteArrayView line);
    int lineCount() const { return m_lines.count(); }
    QByteArrayView line(int index) const { return m_lines.line(index); }
    // Every line, as text.
    QStringList lines() const;
    // Replaces every line; no lines leave the single empty line.
    void setLines(const QStringList &lines);
    // Back to a single empty line.
    void clear();

    bool hasSelection() const { return !(m_anchor == m_cursor); }
    QString selectedText() const;
    void select(Position from, Position to);
    void selectAll();
    // Puts the selection on the clipboard.
    void copy() const;
    // Selects the next occurrence of `text` after the selection (or from the
    // first line shown), wrapping to the top, and scrolls it into view.
    // Letter case does not matter. Beeps and returns false when there is none.
    bool find(const QString &text);

    // True while the last line is shown and new lines will be followed.
    bool isFollowing() const;
    int firstVisibleLine() const;

    // The context menu: Copy, Select All, Clear, Find.
    QMenu *createContextMenu();
    // The field the Find action opens; Enter finds the next occurrence.
    QLineEdit *findField() const { return m_findField; }
    void showFindField();

    // Octets held for the lines, for measuring.
    std::size_t bytesHeld() const { return m_lines.bytesHeld(); }

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
    void scheduleLayout();
    void layoutAppended();
    void updateMetrics();
    void updateScrollBars();
    void placeFindField();
    int visibleLineCount() const;
    Position positionAt(const QPoint &point) const;
    Position selectionStart() const { return std::min(m_anchor, m_cursor); }
    Position selectionEnd() const { return std::max(m_anchor, m_cursor); }
    void ensureVisible(Position from, Position to);
    QString displayText(QByteArrayView octets) const;

    LogLines m_lines;
    Position m_anchor;
    Position m_cursor;
    bool m_selecting = false;
    bool m_layoutScheduled = false;
    bool m_followAfterLayout = false;
    int m_lineHeight = 1;
    int m_charWidth = 1;
    int m_ascent = 0;
    bool m_controlPictures = false;
    QLineEdit *m_findField = nullptr;
};
