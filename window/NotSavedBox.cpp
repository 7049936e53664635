#include "window/NotSavedBox.h"

#include "files/FileError.h"
#include "window/ModalBox.h"

void showNotSavedBox(QWidget *parent, const files::FileError &error)
{
    showModalBox(parent,
                 {QStringLiteral("Error"),
                  error.message(),
                  ModalBoxRequest::Icon::Error,
                  {QStringLiteral("OK")},
                  QStringLiteral("A file of that name that was there before is as it was.")});
}
