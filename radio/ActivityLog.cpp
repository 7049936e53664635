#include "radio/ActivityLog.h"

#include <QDateTime>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <stdexcept>

QString formatTimeStamp(const QTime &time)
{
    const auto pad = [](int value, int width) {
        return QString::number(value).rightJustified(width, QLatin1Char('0'));
    };
    return pad(time.hour(), 2) + QLatin1Char(':') + pad(time.minute(), 2) + QLatin1Char(':') +
           pad(time.second(), 2) + QLatin1Char('.') + pad(time.msec(), 3);
}

QString currentTimeStamp()
{
    return formatTimeStamp(QTime::currentTime());
}

QStringList entryLines(const QByteArray &entry)
{
    QStringList lines;
    QByteArray line;
    for (int i = 0; i < entry.size(); ++i) {
        const char c = entry.at(i);
        if (c == '\r' || c == '\n') {
            lines.append(QString::fromLatin1(line));
            line.clear();
            if (c == '\r' && i + 1 < entry.size() && entry.at(i + 1) == '\n')
                ++i;
        } else {
            line.append(c);
        }
    }
    // A line end that closes the entry ends its last line; it opens no new one.
    if (!line.isEmpty() || lines.isEmpty())
        lines.append(QString::fromLatin1(line));
    return lines;
}

void appendLogEntry(QPlainTextEdit *pane, const QByteArray &entry)
{
    QScrollBar *bar = pane->verticalScrollBar();
    const bool followEnd = bar->value() == bar->maximum();

    QTextCursor cursor(pane->document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (const QString &line : entryLines(entry)) {
        cursor.insertBlock();
        cursor.insertText(line);
    }
    cursor.endEditBlock();

    if (followEnd)
        bar->setValue(bar->maximum());
}

QStringList paneParagraphs(const QPlainTextEdit *pane)
{
    QStringList lines;
    for (QTextBlock block = pane->document()->begin(); block.isValid(); block = block.next())
        lines.append(block.text());
    return lines;
}

QByteArray paneFileContents(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines) {
        bytes += line.toLatin1();
        bytes += "\r\n";
    }
    return bytes;
}

void savePaneToFile(const QPlainTextEdit *pane, const QString &fileName)
{
    const QByteArray bytes = paneFileContents(paneParagraphs(pane));
    // Written beside the target and renamed over it, so a failed save never
    // destroys an earlier file of that name.
    QSaveFile file(fileName);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error(QStringLiteral("Cannot create file \"%1\". %2")
                                     .arg(fileName, file.errorString())
                                     .toStdString());
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw std::runtime_error(QStringLiteral("Cannot write file \"%1\". %2")
                                     .arg(fileName, file.errorString())
                                     .toStdString());
}
