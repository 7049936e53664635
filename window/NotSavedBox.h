#pragma once

class QWidget;

namespace files {
class FileError;
}

// Says in an error box that a file the user chose could not be written, with
// the system's reason; the file itself was left alone.
void showNotSavedBox(QWidget *parent, const files::FileError &error);
