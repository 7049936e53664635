#pragma once

#include <QComboBox>
#include <QLineEdit>

class SpinButtonPair;

// A single-line field holding one signed 32-bit integer. It refuses keys
// that cannot belong to an integer, clamps its value to
// [MinValue, MaxValue] when the focus leaves it (equal bounds mean no
// bounds), and can carry spin buttons that step the value by Increment.
class TGetLong : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(int minValue READ MinValue WRITE setMinValue)
    Q_PROPERTY(int maxValue READ MaxValue WRITE setMaxValue)
    Q_PROPERTY(int increment READ Increment WRITE setIncrement)
    Q_PROPERTY(int value READ Value WRITE setValue)
    Q_PROPERTY(bool editorEnabled READ EditorEnabled WRITE setEditorEnabled)
    Q_PROPERTY(bool autoSelect READ AutoSelect WRITE setAutoSelect)

public:
    explicit TGetLong(QWidget *parent = nullptr);

    int MinValue() const { return m_minValue; }
    void setMinValue(int value) { m_minValue = value; }
    int MaxValue() const { return m_maxValue; }
    void setMaxValue(int value) { m_maxValue = value; }
    int Increment() const { return m_increment; }
    void setIncrement(int increment) { m_increment = increment; }
    // The text converted and clamped; a text that does not convert reads as
    // MinValue.
    int Value() const { return ReadValue(); }
    // The text when it reads as a number within the bounds, in the form it
    // was typed; otherwise Value in decimal. What the field hands on.
    QString boundedText() const;
    // Clamps and writes the number as decimal text.
    void setValue(int value) { WriteValue(value); }
    // False: the text changes only by stepping.
    bool EditorEnabled() const { return m_editorEnabled; }
    void setEditorEnabled(bool enabled) { m_editorEnabled = enabled; }
    // Select the whole text when the focus arrives other than by a mouse press.
    bool AutoSelect() const { return m_autoSelect; }
    void setAutoSelect(bool autoSelect) { m_autoSelect = autoSelect; }
    // False: leaving the field keeps its text as typed, for a field whose
    // owner checks the text itself and would rather refuse a number than
    // change it into another.
    bool ClampsOnExit() const { return m_clampsOnExit; }
    void setClampsOnExit(bool clamps) { m_clampsOnExit = clamps; }

    // Called by the form once it has set the properties: without a positive
    // Increment the spin buttons go away.
    void Loaded();

    // Value plus or minus Increment, wrapping at the 32-bit limits and then
    // clamped; a read-only field only beeps.
    virtual void StepUp();
    virtual void StepDown();

protected:
    virtual int ReadValue() const;
    virtual void WriteValue(int value);
    virtual bool AcceptsKey(QChar key) const;

    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    int clamped(int value) const;
    bool pasteAndCutAllowed() const;
    bool acceptsAll(const QString &characters) const;
    void updateMinimumHeight();
    void placeSpinButtons();

    SpinButtonPair *m_spinButtons = nullptr;
    int m_minValue = 0;
    int m_maxValue = 0;
    bool m_clampsOnExit = true;
    int m_increment = 0;
    bool m_editorEnabled = true;
    bool m_autoSelect = true;
};

// An editable combo box whose list is a most-recent-first history of the
// texts used in it, at most MaxHistoryLength entries long.
class THistComboBox : public QComboBox
{
    Q_OBJECT
    Q_PROPERTY(int maxHistoryLength READ MaxHistoryLength WRITE setMaxHistoryLength)

public:
    explicit THistComboBox(QWidget *parent = nullptr);

    int MaxHistoryLength() const { return m_maxHistoryLength; }
    void setMaxHistoryLength(int length) { m_maxHistoryLength = length; }

    // Puts the edit text, without surrounding blanks and control characters,
    // at the top of the list and selects it; earlier copies of it go, and
    // the list is cut to MaxHistoryLength (the new entry always stays).
    // A text that is blank does nothing.
    void AddTextToHistory();

private:
    int m_maxHistoryLength = 9;
};
