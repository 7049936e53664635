#include "formstate/OnlyOne.h"

#include "formstate/FormState.h"
#include "formstate/FormStateError.h"
#include "formstate/FormValues.h"
#include "formstate/ProfileFile.h"
#include "formstate/SettingsLocation.h"

#include <QWidget>

TFormEnh::TFormEnh(QWidget *form) : QObject(form) {}

QWidget *TFormEnh::ownerForm() const
{
    auto *owner = qobject_cast<QWidget *>(parent());
    return owner && owner->isWindow() ? owner : nullptr;
}

void TFormEnh::Loaded()
{
    QWidget *form = ownerForm();
    if (!form || !m_enabled)
        return;
    const formstate::ProfileFile file(formstate::settingsFileOrDefault(m_settingsFile));
    m_refusal = file.refusal();
    if (m_saveValues)
        formstate::loadFormValues(form, file);
    if (!m_saveState)
        return;
    if (formstate::hasSizeableBorder(form))
        formstate::loadFormState(form, file);
    else
        LoadFormPosition(form, m_settingsFile);
}

void TFormEnh::FormClosing(bool modalResultOk)
{
    QWidget *form = ownerForm();
    if (!form || !m_enabled || !m_reloadOnClose)
        return;
    if (modalResultOk)
        SaveFormValues(form, m_settingsFile);
    else
        LoadFormValues(form, m_settingsFile);
}

void TFormEnh::FormDestroying()
{
    QWidget *form = ownerForm();
    if (!form || !m_enabled)
        return;
    m_saveFailure.clear();
    // Values and placement reach the file in one write.
    formstate::ProfileFile file(formstate::settingsFileOrDefault(m_settingsFile));
    try {
        if (m_saveValues)
            formstate::saveFormValues(form, file);
        if (m_saveState)
            formstate::saveFormState(form, file);
        file.save();
    } catch (const EFormState &error) {
        m_saveFailure = error.notSavedText();
    }
}
