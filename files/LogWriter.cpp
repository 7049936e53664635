#include "files/LogWriter.h"

#include "files/FileError.h"

#include <utility>

namespace files {

namespace {

// Octets gathered into one write.
constexpr qsizetype PieceSize = 256 * 1024;
const QByteArray LineEnd = QByteArrayLiteral("\r\n");

} // namespace

LogWriter::LogWriter(LogFolder folder, qint64 rotateSize, int keepDays, Report report)
    : m_folder(std::move(folder)), m_rotateSize(rotateSize), m_keepDays(keepDays),
      m_report(std::move(report))
{}

void LogWriter::write(std::deque<LogLine> &lines, qint64 &written)
{
    QByteArray piece;
    std::size_t inPiece = 0;
    const auto writePiece = [&] {
        m_file->append(piece);
        written += piece.size();
        lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(inPiece));
        piece.clear();
        inPiece = 0;
    };
    try {
        while (inPiece < lines.size()) {
            if (needsAnotherFile(lines[inPiece], piece.size())) {
                if (inPiece > 0)
                    writePiece();
                moveOn(lines.front().day);
                continue;
            }
            piece += lines[inPiece].text;
            piece += LineEnd;
            ++inPiece;
            if (piece.size() >= PieceSize)
                writePiece();
        }
        if (inPiece > 0)
            writePiece();
    } catch (const FileError &) {
        // Opened afresh at the next try, which may find the disk mended.
        m_file.reset();
        throw;
    }
}

bool LogWriter::needsAnotherFile(const LogLine &line, qsizetype unwritten) const
{
    if (!m_file || line.day != m_part.day)
        return true;
    const qint64 filled = m_file->size() + unwritten;
    return filled > 0 && filled + line.text.size() + LineEnd.size() > m_rotateSize;
}

void LogWriter::moveOn(const QDate &day)
{
    if (m_file && day == m_part.day) {
        close();
        open({day, m_part.number + 1});
        return;
    }
    if (!m_removedBefore.isValid() || day > m_removedBefore)
        removeOldDays(day);
    m_file.reset();
    open(m_folder.lastPartOf(day));
}

void LogWriter::open(const LogFolder::Part &part)
{
    m_folder.make();
    m_file.emplace(m_folder.pathOf(part));
    m_part = part;
}

void LogWriter::removeOldDays(const QDate &today)
{
    m_removedBefore = today;
    for (const QString &failure : m_folder.removeDaysBefore(today.addDays(-m_keepDays)))
        m_report(failure);
}

void LogWriter::close()
{
    if (!m_file)
        return;
    AppendFile file = std::move(*m_file);
    m_file.reset();
    file.close();
}

} // namespace files
