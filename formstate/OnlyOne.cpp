#include "formstate/OnlyOne.h"

#include "formstate/FormState.h"
#include "formstate/FormValues.h"

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
    if (m_saveValues)
        LoadFormValues(form, m_settingsFile);
    if (!m_saveState)
        return;
    if (formstate::hasSizeableBorder(form))
        LoadFormState(form, m_settingsFile);
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
    if (m_saveValues)
        SaveFormValues(form, m_settingsFile);
    if (m_saveState)
        SaveFormState(form, m_settingsFile);
}
