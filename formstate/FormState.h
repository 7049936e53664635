#pragma once

#include <QString>

class QWidget;

// The placement of a form, kept in the section named after the form's class
// followed by "State" (TForm1State for the main window), under the form's
// object name N: N.Left and N.Top (the window's position, frame included, as
// move() takes it), N.Width and N.Height (the size of its contents, as
// resize() takes it) and N.WindowState (0 normal, 1 minimised, 2 maximised).
// An empty file name means the program's settings file.

// Erases the section, writes the five keys, and writes the file once. A left or top edge below 0 or
// above 5000 is saved as 0 (the form is moved there first when it is shown
// normally). A maximised or minimised form is saved with the position and
// size it returns to, and its state. Throws EFormState when a key cannot be
// written.
void SaveFormState(QWidget *form, const QString &fileName = QString());

// Full restore, for resizable forms: each of Width, Height, Left, Top and
// WindowState that is stored with a value above -5000 is applied, in that
// order; other window states than 0, 1 and 2 are ignored. The size is bounded
// by the screen's available area, and the position keeps the form within it.
// A form whose placement is WindowPlacement::SystemChooses keeps that rule:
// only its size and state come back.
void LoadFormState(QWidget *form, const QString &fileName = QString());

// Position-only restore, for forms of a fixed size: when both Left and Top
// are stored the form's placement becomes WindowPlacement::AsDesigned, then
// Left and Top are applied under the same test; size and window state are
// left alone.
void LoadFormPosition(QWidget *form, const QString &fileName = QString());

namespace formstate {

class ProfileFile;

// The same on a settings file that is already open; saving changes the file
// object only, until its save().
void saveFormState(QWidget *form, ProfileFile &file);
void loadFormState(QWidget *form, const ProfileFile &file);

// Where a form appears when it is first shown.
enum class WindowPlacement {
    AsDesigned,    // at the position the form is given (every form's default)
    SystemChooses, // where the windowing system puts it
};
void setWindowPlacement(QWidget *form, WindowPlacement placement);
WindowPlacement windowPlacement(const QWidget *form);

// A form with a sizeable border: a normal window whose size is not fixed.
bool hasSizeableBorder(const QWidget *form);

} // namespace formstate
