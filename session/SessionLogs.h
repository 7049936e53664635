#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>

class RadioSession;

namespace files {
class DailyLog;
}

// The daily log files of a session's two logs in one folder: every line of
// the message window in messages-<day>.log, every line of the PEI logger in
// pei-<day>.log (files::DailyLog), each as its octets and CR LF, the text a
// pane saved to a file holds. Appending only queues; the files are written
// on threads of their own. What goes wrong with them is told through
// problem(), on the thread that made this object.
class SessionLogs : public QObject
{
    Q_OBJECT

public:
    enum class Log { Messages, Pei };

    explicit SessionLogs(const QString &folder, QObject *parent = nullptr);
    // As close().
    ~SessionLogs() override;

    const QString &folder() const { return m_folder; }

    // Queues every line of an entry, as the pane shows it, for the log's file.
    void append(Log log, const QByteArray &entry);
    // Logs every entry the session gives its panes, for a session without
    // a window.
    void follow(const RadioSession &session);
    // Writes what is queued and closes the files; problems found meanwhile
    // are told before it returns. Lines appended after are not taken.
    void close();

signals:
    // A log file could not be written (the lines wait), or can be again, or
    // lines were lost: a sentence with the system's reason.
    void problem(const QString &message);

private:
    void queueProblem(const QString &message);
    void tellProblems();

    QString m_folder;
    std::unique_ptr<files::DailyLog> m_messages;
    std::unique_ptr<files::DailyLog> m_pei;
    // Problems told on the logs' own threads, waiting for this object's.
    std::mutex m_mutex;
    QStringList m_problems;
};
