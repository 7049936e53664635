#include "controls/Getdata.h"

#include "controls/Beep.h"
#include "controls/KeyCharacters.h"
#include "controls/SpinButtonPair.h"
#include "text/IntegerText.h"

#include <QApplication>
#include <QCompleter>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <algorithm>
#include <cstdint>

namespace {

constexpr QChar backspaceKey(8);
constexpr QChar enterKey(13);

// Two's complement reading of the 32 bits, without relying on the
// implementation-defined narrowing of out-of-range values.
int fromBits(quint32 bits)
{
    return bits <= quint32(INT32_MAX) ? int(bits) : -int(~bits) - 1;
}

// Focus that goes to another control of the window, as opposed to the
// window losing activation or a popup menu opening over the field.
bool movesBetweenControls(Qt::FocusReason reason)
{
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
           reason != Qt::MenuBarFocusReason;
}

// Keys that change the text without typing a character.
bool deletesOrRestoresText(const QKeyEvent &event)
{
    return event.matches(QKeySequence::Delete) || event.matches(QKeySequence::DeleteStartOfWord) ||
           event.matches(QKeySequence::DeleteEndOfWord) ||
           event.matches(QKeySequence::DeleteEndOfLine) ||
           event.matches(QKeySequence::DeleteCompleteLine) || event.matches(QKeySequence::Undo) ||
           event.matches(QKeySequence::Redo);
}

void refuseKey(QKeyEvent *event)
{
    systemBeep();
    event->accept();
}

} // namespace

TGetLong::TGetLong(QWidget *parent) : QLineEdit(parent)
{
    m_spinButtons = new SpinButtonPair(this);
    connect(m_spinButtons, &SpinButtonPair::upClicked, this, [this] { StepUp(); });
    connect(m_spinButtons, &SpinButtonPair::downClicked, this, [this] { StepDown(); });
    setText(QStringLiteral("0"));
    // Dropped text would reach the field past the key filter.
    setAcceptDrops(false);
    // Keep the text clear of the spin buttons.
    setTextMargins(0, 0, SpinButtonPair::defaultWidth + 2, 0);
    updateMinimumHeight();
}

void TGetLong::Loaded()
{
    if (m_increment <= 0) {
        m_spinButtons->hide();
        m_increment = 0;
    }
}

int TGetLong::ReadValue() const
{
    return clamped(tryParseInteger(text()).value_or(m_minValue));
}

QString TGetLong::boundedText() const
{
    const std::optional<qint32> number = tryParseInteger(text());
    if (number && clamped(*number) == *number)
        return text();
    return QString::number(Value());
}

void TGetLong::WriteValue(int value)
{
    setText(QString::number(clamped(value)));
}

bool TGetLong::AcceptsKey(QChar key) const
{
    const bool control = key.unicode() < 32 && key != enterKey;
    if (!m_editorEnabled)
        return control && key != backspaceKey;
    return control || key == u'-' || (key >= u'0' && key <= u'9');
}

void TGetLong::StepUp()
{
    if (isReadOnly()) {
        systemBeep();
        return;
    }
    setValue(fromBits(quint32(Value()) + quint32(m_increment)));
}

void TGetLong::StepDown()
{
    if (isReadOnly()) {
        systemBeep();
        return;
    }
    setValue(fromBits(quint32(Value()) - quint32(m_increment)));
}

int TGetLong::clamped(int value) const
{
    if (m_minValue == m_maxValue)
        return value;
    if (value < m_minValue)
        return m_minValue;
    if (value > m_maxValue)
        return m_maxValue;
    return value;
}

bool TGetLong::pasteAndCutAllowed() const
{
    return m_editorEnabled && !isReadOnly();
}

bool TGetLong::acceptsAll(const QString &characters) const
{
    return std::all_of(characters.begin(), characters.end(),
                       [this](QChar character) { return AcceptsKey(character); });
}

void TGetLong::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut)) {
        if (pasteAndCutAllowed())
            QLineEdit::keyPressEvent(event);
        else
            event->accept();
        return;
    }

    if (event->key() == Qt::Key_Up) {
        StepUp();
    } else if (event->key() == Qt::Key_Down) {
        StepDown();
    } else if (!m_editorEnabled && deletesOrRestoresText(*event)) {
        refuseKey(event);
        return;
    } else if (!acceptsAll(typedCharacters(*event))) {
        refuseKey(event);
        return;
    }
    QLineEdit::keyPressEvent(event);
}

// An input method commits text without key presses; it passes the same
// filter, and may not delete text in a field that only steps.
void TGetLong::inputMethodEvent(QInputMethodEvent *event)
{
    const bool deletes = event->replacementLength() > 0 && !m_editorEnabled;
    if (deletes || !acceptsAll(event->commitString())) {
        systemBeep();
        QInputMethodEvent preeditOnly(event->preeditString(), event->attributes());
        QLineEdit::inputMethodEvent(&preeditOnly);
        event->accept();
        return;
    }
    QLineEdit::inputMethodEvent(event);
}

// The middle button pastes the X11 selection.
void TGetLong::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::MiddleButton && !pasteAndCutAllowed()) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

// A field whose text only steps offers the menu of a read-only field, which
// has no cut, paste, delete, undo or redo.
void TGetLong::contextMenuEvent(QContextMenuEvent *event)
{
    const bool wasReadOnly = isReadOnly();
    if (!m_editorEnabled)
        setReadOnly(true);
    QMenu *menu = createStandardContextMenu();
    setReadOnly(wasReadOnly);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void TGetLong::focusInEvent(QFocusEvent *event)
{
    const Qt::FocusReason reason = event->reason();
    if (m_autoSelect && movesBetweenControls(reason) && reason != Qt::MouseFocusReason)
        selectAll();
    // The line edit selects everything by itself when tabbed into; without
    // AutoSelect it must not.
    const bool selectsByItself = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                                 reason == Qt::ShortcutFocusReason;
    if (!m_autoSelect && selectsByItself) {
        QFocusEvent withoutSelection(event->type(), Qt::OtherFocusReason);
        QLineEdit::focusInEvent(&withoutSelection);
        return;
    }
    QLineEdit::focusInEvent(event);
}

// A text that converts to an in-range number keeps its form; any other text
// is replaced by the value it reads as, so the field never shows a number it
// would not use.
void TGetLong::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (!m_clampsOnExit || !movesBetweenControls(event->reason()))
        return;
    const QString bounded = boundedText();
    if (bounded != text())
        setText(bounded);
}

void TGetLong::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    placeSpinButtons();
}

void TGetLong::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        updateMinimumHeight();
        placeSpinButtons();
    }
}

// The text height of the field's font, a quarter of the smaller of it and
// the application font's, four frame lines and two pixels.
void TGetLong::updateMinimumHeight()
{
    const int fieldText = fontMetrics().height();
    const int systemText = QFontMetrics(QApplication::font()).height();
    const int frameLine = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    setMinimumHeight(fieldText + std::min(systemText, fieldText) / 4 + 4 * frameLine + 2);
}

// At the right edge, inside the frame, over its full inner height.
void TGetLong::placeSpinButtons()
{
    const int frame =
        hasFrame() ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this) : 0;
    const int buttonWidth = SpinButtonPair::defaultWidth;
    m_spinButtons->setGeometry(width() - frame - 1 - buttonWidth, frame, buttonWidth,
                               height() - 2 * frame);
}

THistComboBox::THistComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    // Entries come only from AddTextToHistory, not from pressing Enter.
    setInsertPolicy(QComboBox::NoInsert);
    // Offer matching history entries without changing what was typed: an
    // inline completion would send a text the user never finished typing.
    completer()->setCompletionMode(QCompleter::PopupCompletion);
    completer()->setCaseSensitivity(Qt::CaseSensitive);
}

void THistComboBox::AddTextToHistory()
{
    const QString text = currentText();
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && text.at(first).unicode() <= 32)
        ++first;
    while (end > first && text.at(end - 1).unicode() <= 32)
        --end;
    if (first == end)
        return;
    const QString entry = text.mid(first, end - first);
    const int kept = std::max(m_maxHistoryLength, 1);
    // Already the chosen first entry, as for every message of a series:
    // nothing changes, so nothing is redrawn.
    if (text == entry && currentIndex() == 0 && itemText(0) == entry && count() <= kept)
        return;

    insertItem(0, entry);
    setCurrentIndex(0);
    for (int index = count() - 1; index >= 1; --index) {
        if (itemText(index) == entry)
            removeItem(index);
    }
    while (count() > kept)
        removeItem(count() - 1);
}
