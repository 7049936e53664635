#pragma once

#include "files/LogFolder.h"
#include "files/LogWriter.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace files {

// Every line of one pane, on disk: one file per day in a folder (see
// LogFolder for the names), each line as its octets followed by CR LF, as
// saving the pane to a file writes it. A file goes on in the day's next part
// before it passes the rotation size, and the pane's files of days more than
// keepDays old are removed.
//
// append() only queues the line, so the thread that shows the lines never
// waits for the disk; a thread of the log's own writes the queue in large
// pieces. When the disk fails, the failure is reported once, with the
// system's reason, and the lines stay queued up to holdLimit octets and are
// written when the disk takes them again; lines beyond the limit are counted,
// and the count is reported when writing goes on or at close().
class DailyLog
{
public:
    struct Settings
    {
        QString folder = defaultLogFolder();
        QString pane; // in the file names: "messages" -> messages-2026-12-08.log
        qint64 rotateSize = 64 * 1024 * 1024;
        int keepDays = 30;
        qint64 holdLimit = 32 * 1024 * 1024;           // octets of lines queued at most
        std::chrono::milliseconds retryInterval{1000}; // while the disk fails
    };
    // Receives the reports, on the log's own thread: the caller passes them
    // on to its window's thread itself.
    using Report = std::function<void(const QString &)>;
    // The day a line belongs to, asked when the line is appended; by default
    // today's local date (files::LocalDate).
    using Clock = std::function<QDate()>;

    // Starts the writing thread. Raises std::invalid_argument when the pane's
    // name cannot be part of a file name.
    explicit DailyLog(Settings settings, Report report = {}, Clock today = {});
    // As close().
    ~DailyLog();
    DailyLog(const DailyLog &) = delete;
    DailyLog &operator=(const DailyLog &) = delete;

    const Settings &settings() const { return m_settings; }

    // Queues one line of the pane (without its line end). Lines after
    // close() are not taken.
    void append(const QByteArray &line);
    // Writes every queued line, closes the file and ends the thread. Lines
    // that cannot be written then are counted as lost and reported.
    void close();

private:
    void run(const QDate &startDay);
    // Writes what it can; the failure's message, or empty when all is written.
    QString writeOut(std::deque<LogLine> &pending);
    void finish(const QString &error, bool failing, std::size_t unwritten);
    // Reports the lines refused for the limit and the unwritten ones, if any.
    void reportLostLines(qint64 unwritten);

    const Settings m_settings;
    const Report m_report;
    const Clock m_today;
    LogWriter m_writer; // the writing thread's only

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<LogLine> m_queue;
    qint64 m_heldOctets = 0; // queued or being written
    qint64 m_lostLines = 0;  // refused for the limit, not yet reported
    bool m_closing = false;

    std::thread m_thread;
};

} // namespace files
