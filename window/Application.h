#pragma once

#include <QApplication>

// The application object: an exception that escapes any event handler is
// shown in an error box with its message, and the program goes on.
class TApplication : public QApplication
{
    Q_OBJECT

public:
    TApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Shows the message of an exception that reached the application.
    static void ShowException(const QString &message);
};
