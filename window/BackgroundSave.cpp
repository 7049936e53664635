#include "window/BackgroundSave.h"

BackgroundSave::BackgroundSave(QObject *owner, Done done) : QObject(owner), m_done(std::move(done))
{}

BackgroundSave *BackgroundSave::start(QObject *owner, Write write, Done done)
{
    auto *save = new BackgroundSave(owner, std::move(done));
    save->m_thread = std::thread([save, write = std::move(write)] {
        try {
            write();
        } catch (const files::FileError &failure) {
            save->m_failure = failure;
        }
        // Dropped if the owner is gone meanwhile.
        QMetaObject::invokeMethod(save, &BackgroundSave::report, Qt::QueuedConnection);
    });
    return save;
}

BackgroundSave::~BackgroundSave()
{
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundSave::report()
{
    // Posted as the thread's last act: the join is immediate.
    m_thread.join();
    deleteLater();
    m_done(m_failure);
}
