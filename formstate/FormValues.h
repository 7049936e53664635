#pragma once

#include <QString>

class QWidget;

// The values of a form's controls, kept in the section named after the
// form's class (TForm1 for the main window) of a settings file; an empty file
// name means the program's settings file (formstate::defaultSettingsFile()).
// A component whose Tag is below 0 is neither written nor read. Which
// components count and the keys of each control class are told in
// formstate/FormComponents.h and formstate/ControlValues.h.

// Erases the section, then writes every component's keys in creation order,
// and writes the file once. Throws EFormState ("Unable to write to <file>")
// when a key cannot be represented or the file cannot be written; the file
// is then left as it was. A settings file that was refused (see
// formstate/ProfileFile.h) is never written.
void SaveFormValues(QWidget *form, const QString &fileName = QString());

// Reads the section into the controls; whatever is not stored keeps its
// current value, except that an editable combo box always takes the stored
// edit text, empty when there is none. A restored check box or radio button
// that changes state tells its click listeners.
void LoadFormValues(QWidget *form, const QString &fileName = QString());

namespace formstate {

class ProfileFile;

// The same on a settings file that is already open; saving changes the file
// object only, until its save().
void saveFormValues(QWidget *form, ProfileFile &file);
void loadFormValues(QWidget *form, const ProfileFile &file);

} // namespace formstate
