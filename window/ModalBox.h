#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// Every modal message box of the program goes through showModalBox, so
// that tests can answer boxes instead of blocking on them.
struct ModalBoxRequest
{
    enum class Icon { Error, Warning, Information };
    QString title;
    QString text;
    Icon icon = Icon::Error;
    QStringList buttons; // captions; "&" marks the accelerator
    QString detail;      // shown below the text when not empty
};

// Shows the box and returns the index of the button pressed (-1 when the
// box was dismissed otherwise).
int showModalBox(QWidget *parent, const ModalBoxRequest &request);

// Replaces the real box; an empty function restores it.
using ModalBoxHandler = std::function<int(const ModalBoxRequest &)>;
void setModalBoxHandler(ModalBoxHandler handler);

// The error box with a single "&Abort" button used by the controller.
void showAbortBox(QWidget *parent, const QString &text, const QString &detail = QString());
