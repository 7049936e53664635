#pragma once

#include <QString>

class QWidget;

// The values of a form's controls, kept in the section named after the
// form's class (TForm1 for the main window) of a settings file; an empty file
// name means the program's settings file (formstate::defaultSettingsFile()).
// A component whose Tag is below 0 is neither written nor read. Which
// components count and the keys of each control class are told in
// formstate/FormComponents.h and formstate/ControlValues.h.

// Erases the section, then writes every component's keys in creation order.
// Throws EFormState ("Unable to write to <file>") at the first key that cannot
// be written; what was written before stays.
void SaveFormValues(QWidget *form, const QString &fileName = QString());

// Reads the section into the controls; whatever is not stored keeps its
// current value, except that an editable combo box always takes the stored
// edit text, empty when there is none. A restored check box or radio button
// that changes state tells its click listeners.
void LoadFormValues(QWidget *form, const QString &fileName = QString());
