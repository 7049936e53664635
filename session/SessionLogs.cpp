#include "session/SessionLogs.h"

#include "files/DailyLog.h"
#include "session/EntryLines.h"
#include "session/RadioSession.h"

namespace {

files::DailyLog::Settings logSettings(const QString &folder, const char *name)
{
    files::DailyLog::Settings settings;
    settings.folder = folder;
    settings.pane = QString::fromLatin1(name);
    return settings;
}

} // namespace

SessionLogs::SessionLogs(const QString &folder, QObject *parent) : QObject(parent), m_folder(folder)
{
    const auto report = [this](const QString &message) { queueProblem(message); };
    m_messages = std::make_unique<files::DailyLog>(logSettings(folder, "messages"), report);
    m_pei = std::make_unique<files::DailyLog>(logSettings(folder, "pei"), report);
}

SessionLogs::~SessionLogs()
{
    close();
}

void SessionLogs::append(Log log, const QByteArray &entry)
{
    files::DailyLog &file = log == Log::Messages ? *m_messages : *m_pei;
    forEachEntryLine(entry, [&file](QByteArrayView line) { file.append(line.toByteArray()); });
}

void SessionLogs::follow(const RadioSession &session)
{
    connect(&session, &RadioSession::messageEntry, this,
            [this](const QByteArray &entry) { append(Log::Messages, entry); });
    connect(&session, &RadioSession::peiLogEntry, this,
            [this](const QByteArray &entry) { append(Log::Pei, entry); });
}

void SessionLogs::close()
{
    m_messages->close();
    m_pei->close();
    tellProblems();
}

void SessionLogs::queueProblem(const QString &message)
{
    bool first = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        first = m_problems.isEmpty();
        m_problems.append(message);
    }
    if (first)
        QMetaObject::invokeMethod(this, &SessionLogs::tellProblems, Qt::QueuedConnection);
}

void SessionLogs::tellProblems()
{
    QStringList problems;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        problems.swap(m_problems);
    }
    for (const QString &message : problems)
        emit problem(message);
}
