#include "window/Application.h"

#include "window/AppIcon.h"
#include "window/ModalBox.h"

#include <exception>

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Corvane"));
    // Names the desktop entry, so that a desktop groups the window under it.
    setDesktopFileName(QStringLiteral("corvane"));
    setWindowIcon(corvaneIcon());
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        // Messages of the serial layer and the codec are 8-bit text.
        ShowException(QString::fromLatin1(e.what()));
    } catch (...) {
        ShowException(QStringLiteral("Unknown exception"));
    }
    return false;
}

void TApplication::ShowException(const QString &message)
{
    showModalBox(
        activeWindow(),
        {applicationName(), message, ModalBoxRequest::Icon::Error, {QStringLiteral("OK")}, {}});
}
