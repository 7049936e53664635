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
    const QString section = valuesSection(form);
    file.eraseSection(section);
    for (QObject *component : formstate::ownedComponents(form)) {
        if (formstate::componentTag(component) >= 0)
            formstate::saveControlValues(file, section, component);
    }
}

void LoadFormValues(QWidget *form, const QString &fileName)
{
    const formstate::ProfileFile file(formstate::settingsFileOrDefault(fileName));
    const QString section = valuesSection(form);
    for (QObject *component : formstate::ownedComponents(form)) {
        if (formstate::componentTag(component) >= 0)
            formstate::loadControlValues(file, section, component);
    }
}
