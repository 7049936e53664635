#pragma once

#include <QList>

class QObject;
class QWidget;

namespace formstate {

// The components whose values a form keeps, in creation order: the form's
// descendants in the order findChildren() lists them, less
// - objects without a name or with one of Qt's internal names ("qt_..."),
//   which cannot be told apart in a settings file (their children still count);
// - the inner parts of a control (the line edit of a combo box, the buttons
//   of an entry field, the scroll buttons of a tab bar), which belong to that
//   control;
// - other windows parented to the form and all they hold.
QList<QObject *> ownedComponents(QWidget *form);

// A component's Tag: its integer property "Tag", 0 when it has none.
int componentTag(const QObject *component);

} // namespace formstate
