#pragma once

#include "files/AppendFile.h"
#include "files/LogFolder.h"

#include <QByteArray>
#include <QDate>

#include <deque>
#include <functional>
#include <optional>

namespace files {

// One line of a pane and the day it belongs to.
struct LogLine
{
    QDate day;
    QByteArray text; // the line's octets, without a line end
};

// Writes a pane's lines to its log files: each line as its octets and CR LF,
// into the file of its day, going on in the day's next part before a file
// would pass the rotation size (a longer line gets a file to itself), and
// removing the pane's files of days more than keepDays before the newest day
// written. Used by one thread at a time.
class LogWriter
{
public:
    using Report = std::function<void(const QString &)>;

    // report receives the messages of old files that could not be removed.
    LogWriter(LogFolder folder, qint64 rotateSize, int keepDays, Report report);

    // Writes lines from the front, removing each once it is in its file, and
    // adds the octets written to `written`. Raises FileError; the lines not
    // written stay, and the next call starts again from the first of them.
    void write(std::deque<LogLine> &lines, qint64 &written);
    // Removes the files of days more than keepDays before the given day.
    void removeOldDays(const QDate &today);
    // Syncs and closes the open file; raises FileError.
    void close();

private:
    bool needsAnotherFile(const LogLine &line, qsizetype unwritten) const;
    void moveOn(const QDate &day);
    void open(const LogFolder::Part &part);

    LogFolder m_folder;
    qint64 m_rotateSize;
    int m_keepDays;
    Report m_report;
    std::optional<AppendFile> m_file;
    LogFolder::Part m_part;
    QDate m_removedBefore; // the day the last removal of old days counted from
};

} // namespace files
