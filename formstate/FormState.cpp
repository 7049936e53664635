#include "formstate/FormState.h"

#include "formstate/ProfileFile.h"
#include "formstate/SettingsLocation.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {

// Read as the default, this says that a key is not stored (or not a number).
constexpr int NotStored = -5000;
constexpr int FarthestEdge = 5000;

enum WindowStateNumber { Normal = 0, Minimised = 1, Maximised = 2 };

struct StateKeys
{
    explicit StateKeys(const QWidget *form)
        : section(QLatin1String(form->metaObject()->className()) + QStringLiteral("State")),
          left(form->objectName() + QStringLiteral(".Left")),
          top(form->objectName() + QStringLiteral(".Top")),
          width(form->objectName() + QStringLiteral(".Width")),
          height(form->objectName() + QStringLiteral(".Height")),
          windowState(form->objectName() + QStringLiteral(".WindowState"))
    {}
    QString section, left, top, width, height, windowState;
};

int windowStateNumber(Qt::WindowStates state)
{
    if (state & Qt::WindowMaximized)
        return Maximised;
    if (state & Qt::WindowMinimized)
        return Minimised;
    return Normal;
}

void setWindowStateNumber(QWidget *form, int number)
{
    const Qt::WindowStates others =
        form->windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized);
    if (number == Normal)
        form->setWindowState(others);
    else if (number == Minimised)
        form->setWindowState(others | Qt::WindowMinimized);
    else if (number == Maximised)
        form->setWindowState(others | Qt::WindowMaximized);
}

bool isOnScreenEdge(int edge)
{
    return edge >= 0 && edge <= FarthestEdge;
}

// Position (frame included) and size the form has, or returns to when it is
// shown normally again.
QRect normalPlacement(const QWidget *form)
{
    const QRect normal = form->normalGeometry();
    if (windowStateNumber(form->windowState()) == Normal || !normal.isValid())
        return {form->pos(), form->size()};
    const QPoint frameOffset = form->geometry().topLeft() - form->pos();
    return {normal.topLeft() - frameOffset, normal.size()};
}

// The part of the form's screen that windows may take.
QRect availableArea(const QWidget *form)
{
    const QScreen *screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

} // namespace

void SaveFormState(QWidget *form, const QString &fileName)
{
    formstate::ProfileFile file(formstate::settingsFileOrDefault(fileName));
    formstate::saveFormState(form, file);
    file.save();
}

void LoadFormState(QWidget *form, const QString &fileName)
{
    const formstate::ProfileFile file(formstate::settingsFileOrDefault(fileName));
    formstate::loadFormState(form, file);
}

void LoadFormPosition(QWidget *form, const QString &fileName)
{
    const formstate::ProfileFile file(formstate::settingsFileOrDefault(fileName));
    const StateKeys keys(form);
    const int storedLeft = file.readInteger(keys.section, keys.left, NotStored);
    const int storedTop = file.readInteger(keys.section, keys.top, NotStored);
    if (storedLeft > NotStored && storedTop > NotStored)
        formstate::setWindowPlacement(form, formstate::WindowPlacement::AsDesigned);
    if (const int left = storedLeft; left > NotStored)
        form->move(left, form->y());
    if (const int top = storedTop; top > NotStored)
        form->move(form->x(), top);
}

namespace formstate {

void saveFormState(QWidget *form, ProfileFile &file)
{
    const StateKeys keys(form);
    file.eraseSection(keys.section);

    QRect placement = normalPlacement(form);
    const bool shownNormally = windowStateNumber(form->windowState()) == Normal;
    if (!isOnScreenEdge(placement.left())) {
        placement.moveLeft(0);
        if (shownNormally)
            form->move(0, form->y());
    }
    if (!isOnScreenEdge(placement.top())) {
        placement.moveTop(0);
        if (shownNormally)
            form->move(form->x(), 0);
    }
    file.writeInteger(keys.section, keys.left, placement.left());
    file.writeInteger(keys.section, keys.top, placement.top());
    file.writeInteger(keys.section, keys.width, placement.width());
    file.writeInteger(keys.section, keys.height, placement.height());
    file.writeInteger(keys.section, keys.windowState, windowStateNumber(form->windowState()));
}

void loadFormState(QWidget *form, const ProfileFile &file)
{
    const StateKeys keys(form);
    const auto stored = [&](const QString &key) {
        return file.readInteger(keys.section, key, NotStored);
    };
    // A stored placement comes back only as far as the screen reaches.
    const QRect screen = availableArea(form);
    if (const int width = stored(keys.width); width > NotStored)
        form->resize(std::min(width, screen.width()), form->height());
    if (const int height = stored(keys.height); height > NotStored)
        form->resize(form->width(), std::min(height, screen.height()));
    // Where the windowing system places the form, a restored position would
    // be replaced at the first show anyway; the form is not moved.
    const bool systemPlaces = windowPlacement(form) == WindowPlacement::SystemChooses;
    const auto within = [](int edge, int low, int high) {
        return std::max(low, std::min(edge, high));
    };
    if (const int left = stored(keys.left); left > NotStored && !systemPlaces)
        form->move(within(left, screen.left(), screen.right() + 1 - form->width()), form->y());
    if (const int top = stored(keys.top); top > NotStored && !systemPlaces)
        form->move(form->x(), within(top, screen.top(), screen.bottom() + 1 - form->height()));
    if (const int state = stored(keys.windowState); state > NotStored)
        setWindowStateNumber(form, state);
}

// Kept on the form itself, so that any form can carry the rule.
constexpr const char *PlacementProperty = "corvaneWindowPlacement";

void setWindowPlacement(QWidget *form, WindowPlacement placement)
{
    form->setProperty(PlacementProperty, static_cast<int>(placement));
}

WindowPlacement windowPlacement(const QWidget *form)
{
    const QVariant stored = form->property(PlacementProperty);
    return stored.isValid() ? static_cast<WindowPlacement>(stored.toInt())
                            : WindowPlacement::AsDesigned;
}

bool hasSizeableBorder(const QWidget *form)
{
    return form->minimumSize() != form->maximumSize() &&
           !form->windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint);
}

} // namespace formstate
