#include "formstate/FormComponents.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTabWidget>
#include <QToolButton>
#include <QVariant>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string namesOf(const QList<QObject *> &components)
{
    QStringList names;
    for (const QObject *component : components)
        names << component->objectName();
    return names.join(' ').toStdString();
}

template <typename T, typename Parent> T *named(Parent *parent, const char *name)
{
    auto *object = new T(parent);
    object->setObjectName(QLatin1String(name));
    return object;
}

TEST(FormComponentsTest, NamedDescendantsInCreationOrderWithoutInnerParts)
{
    QWidget form;
    auto *panel = new QWidget(&form); // no name: not a component, but its children are
    named<QLineEdit>(panel, "First_Edit");
    auto *pages = named<QTabWidget>(&form, "Pages");
    auto *page = new QWidget;
    page->setObjectName("PageA");
    pages->addTab(page, "A");
    named<QLineEdit>(page, "OnPage_Edit");
    auto *entry = named<QLineEdit>(&form, "Entry_Edit");
    named<QToolButton>(entry, "SpinButton"); // an entry field's own buttons
    auto *combo = named<QComboBox>(&form, "Combo");
    combo->setEditable(true);
    combo->lineEdit()->setObjectName("Combo_Inner");
    auto *dialog = named<QDialog>(&form, "Other_Form"); // a window of its own
    named<QLineEdit>(dialog, "Dialog_Edit");
    named<QObject>(&form, "sd");

    EXPECT_EQ(namesOf(formstate::ownedComponents(&form)),
              "First_Edit Pages PageA OnPage_Edit Entry_Edit Combo sd");
}

TEST(FormComponentsTest, TagIsTheIntegerPropertyOrZero)
{
    QObject plain;
    QObject log;
    log.setProperty("Tag", -1);
    EXPECT_EQ(formstate::componentTag(&plain), 0);
    EXPECT_EQ(formstate::componentTag(&log), -1);
}

} // namespace
