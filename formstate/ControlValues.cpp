#include "formstate/ControlValues.h"

#include "controls/LogView.h"
#include "formstate/FileDialog.h"
#include "formstate/FolderAccess.h"
#include "formstate/ProfileFile.h"
#include "formstate/SettingsLocation.h"
#include "formstate/SplitterPosition.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextEdit>

#include <algorithm>
#include <limits>

namespace formstate {

namespace {

QString keyOf(const QObject *control, const QString &suffix)
{
    return control->objectName() + suffix;
}

QString keyOf(const QObject *control, int number)
{
    return keyOf(control, QString::number(number));
}

// Texts travel as Latin-1 octets; a text that is not stored stays as it is.
QString readText(const ProfileFile &file, const QString &section, const QString &key,
                 const QString &current)
{
    return file.contains(section, key) ? QString::fromLatin1(file.readString(section, key, {}))
                                       : current;
}

void writeText(ProfileFile &file, const QString &section, const QString &key, const QString &text)
{
    file.writeString(section, key, text.toLatin1());
}

// A stored count of lines or entries; a negative count counts as none.
int storedCount(const ProfileFile &file, const QString &section, const QString &key)
{
    return std::max(0, file.readInteger(section, key, 0));
}

// The numbered texts 1 to count, up to the first that is not stored: a count
// larger than the entries present adds nothing, and an edited file saying
// "2000000000" cannot make loading run away.
QStringList readNumberedTexts(const ProfileFile &file, const QString &section,
                              const QObject *control, int count)
{
    QStringList texts;
    for (int i = 1; i <= count; ++i) {
        const QString key = keyOf(control, i);
        if (!file.contains(section, key))
            break;
        texts << QString::fromLatin1(file.readString(section, key, {}));
    }
    return texts;
}

void writeNumberedTexts(ProfileFile &file, const QString &section, const QObject *control,
                        const QStringList &texts)
{
    for (int i = 0; i < texts.size(); ++i)
        writeText(file, section, keyOf(control, i + 1), texts[i]);
}

// Multi-line panes.

bool isPane(const QObject *control)
{
    return qobject_cast<const QPlainTextEdit *>(control) ||
           qobject_cast<const QTextEdit *>(control) || qobject_cast<const LogView *>(control);
}

// An empty pane has no lines; otherwise every paragraph and every line
// break within one starts a line.
QStringList documentLines(const QTextDocument &document)
{
    QStringList lines;
    if (document.isEmpty())
        return lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        lines << block.text().split(QChar::LineSeparator);
    return lines;
}

// A pane's lines as the settings file keeps them.
QStringList paneLinesToStore(const QObject *pane)
{
    if (const auto *plain = qobject_cast<const QPlainTextEdit *>(pane))
        return documentLines(*plain->document());
    if (const auto *rich = qobject_cast<const QTextEdit *>(pane))
        return documentLines(*rich->document());
    const auto *log = qobject_cast<const LogView *>(pane);
    // A log holding one empty line is empty.
    if (!log || (log->lineCount() == 1 && log->line(0).isEmpty()))
        return {};
    return log->lines();
}

void setPaneLines(QObject *pane, const QStringList &lines)
{
    if (auto *plain = qobject_cast<QPlainTextEdit *>(pane))
        plain->setPlainText(lines.join(QLatin1Char('\n')));
    else if (auto *rich = qobject_cast<QTextEdit *>(pane))
        rich->setPlainText(lines.join(QLatin1Char('\n')));
    else if (auto *log = qobject_cast<LogView *>(pane))
        log->setLines(lines);
}

void savePane(ProfileFile &file, const QString &section, const QObject *pane)
{
    const QStringList lines = paneLinesToStore(pane);
    file.writeInteger(section, keyOf(pane, QStringLiteral("0")), static_cast<int>(lines.size()));
    writeNumberedTexts(file, section, pane, lines);
}

void loadPane(const ProfileFile &file, const QString &section, QObject *pane)
{
    const int count = storedCount(file, section, keyOf(pane, QStringLiteral("0")));
    if (count == 0)
        return;
    setPaneLines(pane, readNumberedTexts(file, section, pane, count));
}

// Page controls.

void savePages(ProfileFile &file, const QString &section, const QTabWidget &pages)
{
    if (const QWidget *page = pages.currentWidget())
        writeText(file, section, pages.objectName(), page->objectName());
}

void loadPages(const ProfileFile &file, const QString &section, QTabWidget &pages)
{
    const QString wanted = readText(file, section, pages.objectName(), QString());
    // An unnamed page is never the one asked for, even when nothing is stored.
    if (wanted.isEmpty())
        return;
    for (int i = 0; i < pages.count(); ++i) {
        if (pages.widget(i)->objectName() == wanted) {
            pages.setCurrentIndex(i);
            return;
        }
    }
}

// File dialogs.

const QString InitialDirSuffix = QStringLiteral("_InitialDir");

void saveDialogFolder(ProfileFile &file, const QString &section, const TFileDialog &dialog)
{
    const QString key = keyOf(&dialog, InitialDirSuffix);
    const QString fileName = dialog.FileName();
    if (!fileName.isEmpty())
        writeText(file, section, key, fileName.left(fileName.lastIndexOf(QLatin1Char('/')) + 1));
    else if (DirectoryExists(dialog.InitialDir()))
        writeText(file, section, key, dialog.InitialDir());
}

void loadDialogFolder(const ProfileFile &file, const QString &section, TFileDialog &dialog)
{
    dialog.setInitialDir(dialogFolder(
        readText(file, section, keyOf(&dialog, InitialDirSuffix), dialog.InitialDir())));
}

// Check boxes and radio buttons.

QAbstractButton *checkButton(QObject *control)
{
    auto *button = qobject_cast<QAbstractButton *>(control);
    if (!button || !button->isCheckable() || qobject_cast<QPushButton *>(button))
        return nullptr;
    return button;
}

// The state goes through the button's setter, and the button's click
// listeners hear of a change as they would of a user's click. click() itself
// cannot be used: it does nothing on a disabled button, and the boxes that
// are restored at start-up are usually still disabled.
void loadCheckState(const ProfileFile &file, const QString &section, QAbstractButton &button)
{
    const bool checked = file.readBool(section, button.objectName(), button.isChecked());
    if (checked == button.isChecked())
        return;
    button.setChecked(checked);
    // An exclusive group refuses to clear its checked button.
    if (button.isChecked() == checked)
        emit button.clicked(checked);
}

// Radio groups.

QList<QAbstractButton *> radioGroupButtons(const QObject *control)
{
    if (const auto *group = qobject_cast<const QButtonGroup *>(control))
        return group->buttons();
    QList<QAbstractButton *> buttons;
    if (qobject_cast<const QGroupBox *>(control)) {
        for (QRadioButton *radio :
             control->findChildren<QRadioButton *>(QString(), Qt::FindDirectChildrenOnly))
            buttons << radio;
    }
    return buttons;
}

void uncheckAll(QObject *control, const QList<QAbstractButton *> &buttons)
{
    // Exclusive buttons cannot be cleared one by one while exclusive.
    auto *group = qobject_cast<QButtonGroup *>(control);
    const bool groupExclusive = group && group->exclusive();
    if (group)
        group->setExclusive(false);
    for (QAbstractButton *button : buttons) {
        const bool autoExclusive = button->autoExclusive();
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(autoExclusive);
    }
    if (group)
        group->setExclusive(groupExclusive);
}

void saveRadioGroup(ProfileFile &file, const QString &section, const QObject *control,
                    const QList<QAbstractButton *> &buttons)
{
    const auto checked = std::find_if(buttons.begin(), buttons.end(),
                                      [](const QAbstractButton *b) { return b->isChecked(); });
    const int index = checked == buttons.end() ? -1 : static_cast<int>(checked - buttons.begin());
    file.writeInteger(section, control->objectName(), index);
}

void loadRadioGroup(const ProfileFile &file, const QString &section, QObject *control,
                    const QList<QAbstractButton *> &buttons)
{
    const int last = static_cast<int>(buttons.size()) - 1;
    const int index = std::clamp(file.readInteger(section, control->objectName(), 0), -1, last);
    if (index < 0)
        uncheckAll(control, buttons);
    else
        buttons[index]->setChecked(true);
}

// Combo boxes.

void saveComboBox(ProfileFile &file, const QString &section, const QComboBox &combo)
{
    if (!combo.isEditable()) {
        file.writeInteger(section, combo.objectName(), combo.currentIndex());
        return;
    }
    QStringList entries;
    for (int i = 0; i < combo.count(); ++i)
        entries << combo.itemText(i);
    file.writeInteger(section, keyOf(&combo, QStringLiteral("0")), combo.count());
    writeText(file, section, keyOf(&combo, QStringLiteral("Text")), combo.currentText());
    writeNumberedTexts(file, section, &combo, entries);
}

void loadComboBox(const ProfileFile &file, const QString &section, QComboBox &combo)
{
    if (!combo.isEditable()) {
        combo.setCurrentIndex(file.readInteger(section, combo.objectName(), 0));
        return;
    }
    const int count = storedCount(file, section, keyOf(&combo, QStringLiteral("0")));
    if (count != 0) {
        combo.clear();
        combo.addItems(readNumberedTexts(file, section, &combo, count));
    }
    combo.setEditText(
        QString::fromLatin1(file.readString(section, keyOf(&combo, QStringLiteral("Text")), {})));
}

// Splitters.

const QString LeftSuffix = QStringLiteral(".Left");
const QString TopSuffix = QStringLiteral(".Top");

void saveSplitter(ProfileFile &file, const QString &section, const QSplitter &splitter)
{
    if (splitter.count() < 2)
        return;
    const QPoint position = firstHandlePosition(splitter);
    file.writeInteger(section, keyOf(&splitter, LeftSuffix), position.x());
    file.writeInteger(section, keyOf(&splitter, TopSuffix), position.y());
}

void loadSplitter(const ProfileFile &file, const QString &section, QSplitter &splitter)
{
    // Only the coordinate along the splitter's orientation moves the handle.
    const QString key =
        keyOf(&splitter, splitter.orientation() == Qt::Horizontal ? LeftSuffix : TopSuffix);
    // Not asking for the current position as the default: a splitter not
    // laid out yet has none, and moving its handle there would fold it up.
    constexpr int NotStored = std::numeric_limits<int>::min();
    const int position = file.readInteger(section, key, NotStored);
    if (position != NotStored)
        moveFirstHandle(splitter, position);
}

} // namespace

void saveControlValues(ProfileFile &file, const QString &section, QObject *control)
{
    if (isPane(control)) {
        savePane(file, section, control);
        return;
    }
    if (const auto *pages = qobject_cast<const QTabWidget *>(control))
        savePages(file, section, *pages);
    if (const auto *dialog = qobject_cast<const TFileDialog *>(control))
        saveDialogFolder(file, section, *dialog);
    if (const auto *edit = qobject_cast<const QLineEdit *>(control))
        writeText(file, section, edit->objectName(), edit->text());
    if (const QAbstractButton *button = checkButton(control))
        file.writeBool(section, button->objectName(), button->isChecked());
    if (const QList<QAbstractButton *> buttons = radioGroupButtons(control); !buttons.isEmpty())
        saveRadioGroup(file, section, control, buttons);
    if (const auto *combo = qobject_cast<const QComboBox *>(control))
        saveComboBox(file, section, *combo);
    if (const auto *splitter = qobject_cast<const QSplitter *>(control))
        saveSplitter(file, section, *splitter);
}

void loadControlValues(const ProfileFile &file, const QString &section, QObject *control)
{
    if (isPane(control)) {
        loadPane(file, section, control);
        return;
    }
    if (auto *pages = qobject_cast<QTabWidget *>(control))
        loadPages(file, section, *pages);
    if (auto *dialog = qobject_cast<TFileDialog *>(control))
        loadDialogFolder(file, section, *dialog);
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        edit->setText(readText(file, section, edit->objectName(), edit->text()));
    if (QAbstractButton *button = checkButton(control))
        loadCheckState(file, section, *button);
    if (const QList<QAbstractButton *> buttons = radioGroupButtons(control); !buttons.isEmpty())
        loadRadioGroup(file, section, control, buttons);
    if (auto *combo = qobject_cast<QComboBox *>(control))
        loadComboBox(file, section, *combo);
    if (auto *splitter = qobject_cast<QSplitter *>(control))
        loadSplitter(file, section, *splitter);
}

} // namespace formstate
