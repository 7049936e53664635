#include "formstate/FormValues.h"

#include "formstate/ControlValues.h"
#include "formstate/FormComponents.h"
#include "formstate/ProfileFile.h"
#include "formstate/SettingsLocation.h"

#include <QWidget>

namespace {

QString valuesSection(const QWidget *form)
{
    return QLatin1String(form->metaObject()->className());
}

} // namespace

void SaveFormValues(QWidget *form, const QString &fileName)
{
    formstate::ProfileFile file(formstate::settingsFileOrDefault(fileName));
    formstate::saveFormValues(form, file);
    file.save();
}

void LoadFormValues(QWidget *form, const QString &fileName)
{
    const formstate::ProfileFile file(formstate::settingsFileOrDefault(fileName));
    formstate::loadFormValues(form, file);
}

namespace formstate {

void saveFormValues(QWidget *form, ProfileFile &file)
{
    const QString section = valuesSection(form);
    file.eraseSection(section);
    for (QObject *component : ownedComponents(form)) {
        if (componentTag(component) >= 0)
            saveControlValues(file, section, component);
    }
}

void loadFormValues(QWidget *form, const ProfileFile &file)
{
    const QString section = valuesSection(form);
    for (QObject *component : ownedComponents(form)) {
        if (componentTag(component) >= 0)
            loadControlValues(file, section, component);
    }
}

} // namespace formstate
