#include "window/SaveDialog.h"

#include "formstate/SettingsLocation.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {
TSaveDialog::Handler &handlerSlot()
{
    static TSaveDialog::Handler handler;
    return handler;
}
} // namespace

void TSaveDialog::setHandler(Handler handler)
{
    handlerSlot() = std::move(handler);
}

QString TSaveDialog::startPath() const
{
    if (!FileName().isEmpty())
        return FileName();
    return formstate::dialogFolder(InitialDir());
}

bool TSaveDialog::Execute(QWidget *parent)
{
    QString chosen;
    if (handlerSlot()) {
        chosen = handlerSlot()(*this);
    } else {
        QFileDialog dialog(parent, m_title, startPath(), m_filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(m_defaultExt);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
    }
    if (chosen.isEmpty())
        return false;
    setFileName(chosen);
    return true;
}
