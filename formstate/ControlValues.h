#pragma once

#include <QString>

class QObject;

namespace formstate {

class ProfileFile;

// The keys a control keeps in a form's values section, by control class.
// Every key starts with the control's object name C:
//   multi-line pane (QPlainTextEdit, QTextEdit,
//     LogView)                                   C0 = line count, C1..Cn = the lines
//   page control (QTabWidget)                     C = object name of the current page
//   file dialog (TFileDialog)                     C_InitialDir = folder to open in
//   single-line edit (QLineEdit)                  C = the text
//   check box, radio button (checkable
//     QAbstractButton other than a push button)   C = checked, "1" or "0"
//   radio group (QButtonGroup, or a QGroupBox
//     holding radio buttons)                      C = index of the checked button, -1 for none
//   fixed-list combo box (not editable)           C = current index
//   editable combo box                            C0 = entry count, CText = the edit text,
//                                                 C1..Cn = the entries
//   splitter (QSplitter)                          C.Left, C.Top = position of its first handle
//                                                 in the splitter's own coordinates; loading
//                                                 applies the one along its orientation
// A pane is handled as a pane only; any other control gets the keys of every
// row its class matches, in this order.
void saveControlValues(ProfileFile &file, const QString &section, QObject *control);
void loadControlValues(const ProfileFile &file, const QString &section, QObject *control);

} // namespace formstate
