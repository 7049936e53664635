#pragma once

#include "files/FileError.h"

#include <QObject>
#include <functional>
#include <optional>
#include <thread>

// Writes a file on a thread of its own, so that the window stays live
// however much there is to write, and tells the window thread when it is
// done. It belongs to the object that started it; destroying that object
// waits for the write to end, and then nobody is told.
class BackgroundSave : public QObject
{
    Q_OBJECT

public:
    // What runs on the thread: it reads only what it was given (a
    // snapshot) and raises files::FileError.
    using Write = std::function<void()>;
    // Called on the owner's thread once the write is over, with its failure
    // when there was one.
    using Done = std::function<void(const std::optional<files::FileError> &failure)>;

    // Starts writing at once; the object deletes itself after `done`.
    static BackgroundSave *start(QObject *owner, Write write, Done done);
    ~BackgroundSave() override;

private:
    BackgroundSave(QObject *owner, Done done);
    void report();

    Done m_done;
    std::optional<files::FileError> m_failure; // the thread's until it ends
    std::thread m_thread;
};
