#include "files/LogFolder.h"

#include "files/FileError.h"
#include "files/SystemCalls_linux.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <stdexcept>
#include <utility>

namespace files {

namespace {

const QString DayFormat = QStringLiteral("yyyy-MM-dd");
// Digits of a part's number: three keep the names in order up to 999 parts a day.
constexpr int PartDigits = 3;

} // namespace

QString defaultLogFolder()
{
    const QString configured = qEnvironmentVariable("XDG_STATE_HOME");
    const QString stateHome = QDir::isAbsolutePath(configured)
                                  ? configured
                                  : QDir::homePath() + QStringLiteral("/.local/state");
    return stateHome + QStringLiteral("/corvane");
}

LogFolder::LogFolder(QString folder, QString pane)
    : m_folder(std::move(folder)), m_pane(std::move(pane)),
      m_names(QRegularExpression::anchoredPattern(
          QRegularExpression::escape(m_pane) +
          QStringLiteral("-(\\d{4}-\\d{2}-\\d{2})(?:_(\\d{%1,9}))?\\.log").arg(PartDigits)))
{
    if (m_pane.isEmpty() || m_pane.contains(QLatin1Char('/')))
        throw std::invalid_argument("a log file's pane name must be usable in a file name");
}

QString LogFolder::pathOf(const Part &part) const
{
    QString name = m_pane + QLatin1Char('-') + part.day.toString(DayFormat);
    if (part.number > 1)
        name += QLatin1Char('_') +
                QStringLiteral("%1").arg(part.number, PartDigits, 10, QLatin1Char('0'));
    return m_folder + QLatin1Char('/') + name + QStringLiteral(".log");
}

std::optional<LogFolder::Part> LogFolder::partOf(const QString &fileName) const
{
    const QRegularExpressionMatch match = m_names.match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate day = QDate::fromString(match.captured(1), DayFormat);
    const int number = match.hasCaptured(2) ? match.captured(2).toInt() : 1;
    if (!day.isValid() || number < 1)
        return std::nullopt;
    return Part{day, number};
}

QStringList LogFolder::fileNames() const
{
    return QDir(m_folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

LogFolder::Part LogFolder::lastPartOf(const QDate &day) const
{
    Part last{day, 1};
    for (const QString &fileName : fileNames()) {
        const std::optional<Part> part = partOf(fileName);
        if (part && part->day == day && part->number > last.number)
            last = *part;
    }
    return last;
}

void LogFolder::make() const
{
    QDir().mkpath(m_folder);
}

QStringList LogFolder::removeDaysBefore(const QDate &firstKept) const
{
    QStringList failures;
    for (const QString &fileName : fileNames()) {
        const std::optional<Part> part = partOf(fileName);
        if (!part || part->day >= firstKept)
            continue;
        const QString path = m_folder + QLatin1Char('/') + fileName;
        if (const int error = sys::removeFile(QFile::encodeName(path)))
            failures += FileError(FileError::Operation::Remove, path, error).message();
    }
    return failures;
}

} // namespace files
