#include "formstate/FormComponents.h"

#include "controls/LogView.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTextEdit>
#include <QVariant>

namespace formstate {

namespace {

bool hasOwnName(const QObject *object)
{
    const QString name = object->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

bool keepsItsPartsToItself(const QObject *object)
{
    return qobject_cast<const QLineEdit *>(object) || qobject_cast<const QComboBox *>(object) ||
           qobject_cast<const QAbstractSpinBox *>(object) ||
           qobject_cast<const QPlainTextEdit *>(object) ||
           qobject_cast<const QTextEdit *>(object) || qobject_cast<const LogView *>(object) ||
           qobject_cast<const QAbstractButton *>(object) || qobject_cast<const QTabBar *>(object);
}

bool isWindowOfItsOwn(const QObject *object)
{
    const auto *widget = qobject_cast<const QWidget *>(object);
    return widget && widget->isWindow();
}

void collect(const QObject *parent, QList<QObject *> &components)
{
    for (QObject *child : parent->children()) {
        if (isWindowOfItsOwn(child))
            continue;
        if (hasOwnName(child))
            components << child;
        if (!keepsItsPartsToItself(child))
            collect(child, components);
    }
}

} // namespace

QList<QObject *> ownedComponents(QWidget *form)
{
    QList<QObject *> components;
    collect(form, components);
    return components;
}

int componentTag(const QObject *component)
{
    return component->property("Tag").toInt();
}

} // namespace formstate
