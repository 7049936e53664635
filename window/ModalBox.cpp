#include "window/ModalBox.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

ModalBoxHandler &handlerSlot()
{
    static ModalBoxHandler handler;
    return handler;
}

QMessageBox::Icon toQt(ModalBoxRequest::Icon icon)
{
    switch (icon) {
    case ModalBoxRequest::Icon::Error:
        return QMessageBox::Critical;
    case ModalBoxRequest::Icon::Warning:
        return QMessageBox::Warning;
    case ModalBoxRequest::Icon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void setModalBoxHandler(ModalBoxHandler handler)
{
    handlerSlot() = std::move(handler);
}

int showModalBox(QWidget *parent, const ModalBoxRequest &request)
{
    if (handlerSlot())
        return handlerSlot()(request);

    QMessageBox box(toQt(request.icon), request.title, request.text, QMessageBox::NoButton, parent);
    box.setInformativeText(request.detail);
    QList<QAbstractButton *> buttons;
    for (const QString &caption : request.buttons)
        buttons.append(box.addButton(caption, QMessageBox::AcceptRole));
    box.exec();
    return static_cast<int>(buttons.indexOf(box.clickedButton()));
}

void showAbortBox(QWidget *parent, const QString &text, const QString &detail)
{
    showModalBox(parent, {QStringLiteral("Error"),
                          text,
                          ModalBoxRequest::Icon::Error,
                          {QStringLiteral("&Abort")},
                          detail});
}
