#include "files/DailyLog.h"

#include "files/FileError.h"
#include "files/LocalDate.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace files {

namespace {

// What a line costs against the hold limit: its octets and its line end.
qint64 heldSize(const QByteArray &line)
{
    return line.size() + 2;
}

} // namespace

DailyLog::DailyLog(Settings settings, Report report, Clock today)
    : m_settings(std::move(settings)),
      m_report(report ? std::move(report) : [](const QString &) {}),
      m_today(today ? std::move(today) : [date = LocalDate()]() mutable { return date.today(); }),
      m_writer(LogFolder(m_settings.folder, m_settings.pane), m_settings.rotateSize,
               m_settings.keepDays, m_report)
{
    m_thread = std::thread([this, startDay = m_today()] { run(startDay); });
}

DailyLog::~DailyLog()
{
    close();
}

void DailyLog::append(const QByteArray &line)
{
    bool wasEmpty = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closing)
            return;
        // Under the lock, so that the clock is asked by one thread at a time.
        const QDate day = m_today();
        if (m_heldOctets + heldSize(line) > m_settings.holdLimit) {
            ++m_lostLines;
            return;
        }
        m_heldOctets += heldSize(line);
        wasEmpty = m_queue.empty();
        m_queue.push_back({day, line});
    }
    // The writer waits only on an empty queue.
    if (wasEmpty)
        m_wake.notify_one();
}

void DailyLog::close()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void DailyLog::run(const QDate &startDay)
{
    m_writer.removeOldDays(startDay);
    std::deque<LogLine> pending;
    std::deque<LogLine> arrived;
    bool failing = false;
    for (;;) {
        bool closing = false;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            // While the disk fails, new lines do not hurry the next try.
            if (failing)
                m_wake.wait_for(lock, m_settings.retryInterval, [this] { return m_closing; });
            else
                m_wake.wait(lock, [this] { return m_closing || !m_queue.empty(); });
            // Taken in one swap: appending never waits for the lines to be moved.
            arrived.swap(m_queue);
            closing = m_closing;
        }
        if (pending.empty())
            pending.swap(arrived);
        std::move(arrived.begin(), arrived.end(), std::back_inserter(pending));
        arrived.clear();
        const QString error = writeOut(pending);
        if (closing) {
            finish(error, failing, pending.size());
            return;
        }
        if (!error.isEmpty() && !failing)
            m_report(error + QStringLiteral(". The lines of the %1 pane are kept until the log "
                                            "file can be written.")
                                 .arg(m_settings.pane));
        if (error.isEmpty() && failing)
            m_report(QStringLiteral("The log file of the %1 pane is written again.")
                         .arg(m_settings.pane));
        failing = !error.isEmpty();
        if (!failing)
            reportLostLines(0);
    }
}

QString DailyLog::writeOut(std::deque<LogLine> &pending)
{
    qint64 written = 0;
    QString error;
    try {
        m_writer.write(pending, written);
    } catch (const FileError &failure) {
        error = failure.message();
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_heldOctets -= written;
    return error;
}

void DailyLog::finish(const QString &error, bool failing, std::size_t unwritten)
{
    if (!error.isEmpty() && !failing)
        m_report(error);
    try {
        m_writer.close();
    } catch (const FileError &failure) {
        m_report(failure.message());
    }
    reportLostLines(static_cast<qint64>(unwritten));
}

void DailyLog::reportLostLines(qint64 unwritten)
{
    qint64 lost = unwritten;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        lost += std::exchange(m_lostLines, 0);
    }
    if (lost > 0)
        m_report(QStringLiteral("%1 %2 of the %3 pane could not be written to its log file.")
                     .arg(lost)
                     .arg(lost == 1 ? QStringLiteral("line") : QStringLiteral("lines"),
                          m_settings.pane));
}

} // namespace files
