#include "formstate/ProfileFile.h"

#include "formstate/FormStateError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <utility>

namespace formstate {

namespace {

enum class LineKind { Other, Section, Key };

struct ParsedLine
{
    LineKind kind = LineKind::Other;
    QByteArray name;  // section name or key, blanks around it removed
    QByteArray value; // everything after the first "=", as stored
};

ParsedLine parseLine(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    const QByteArray trimmed = line.trimmed();
    if (trimmed.startsWith('[')) {
        const int close = trimmed.indexOf(']');
        return {LineKind::Section, trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed(), {}};
    }
    const int equals = line.indexOf('=');
    if (equals < 0)
        return {};
    const QByteArray key = line.left(equals).trimmed();
    if (key.isEmpty())
        return {};
    return {LineKind::Key, key, line.mid(equals + 1)};
}

// Case folding over Latin-1, so that "Form1.Left" and "FORM1.LEFT" are one key.
QByteArray fold(const QByteArray &latin1)
{
    return QString::fromLatin1(latin1).toLower().toLatin1();
}

QByteArray foldName(const QString &name)
{
    return fold(name.toLatin1().trimmed());
}

bool isLineBreak(char c)
{
    return c == '\n' || c == '\r';
}

bool canBeSectionName(const QByteArray &name)
{
    return !name.contains(']') && std::none_of(name.begin(), name.end(), isLineBreak);
}

bool canBeKey(const QByteArray &key)
{
    const QByteArray trimmed = key.trimmed();
    return !trimmed.isEmpty() && !trimmed.startsWith('[') && !key.contains('=') &&
           std::none_of(key.begin(), key.end(), isLineBreak);
}

QByteArray firstLine(const QByteArray &value)
{
    const auto end = std::find_if(value.begin(), value.end(), isLineBreak);
    return value.left(static_cast<int>(end - value.begin()));
}

// Index of the first header line of the section, or -1.
int findSection(const QList<QByteArray> &lines, const QByteArray &foldedSection)
{
    for (int i = 0; i < lines.size(); ++i) {
        const ParsedLine parsed = parseLine(lines[i]);
        if (parsed.kind == LineKind::Section && fold(parsed.name) == foldedSection)
            return i;
    }
    return -1;
}

} // namespace

ProfileFile::ProfileFile(QString path) : m_path(std::move(path))
{
    QList<QByteArray> lines;
    if (readLines(lines))
        index(lines);
}

const QByteArray *ProfileFile::find(const QString &section, const QString &key) const
{
    const auto keys = m_sections.constFind(foldName(section));
    if (keys == m_sections.cend())
        return nullptr;
    const auto value = keys->constFind(foldName(key));
    return value == keys->cend() ? nullptr : &*value;
}

bool ProfileFile::contains(const QString &section, const QString &key) const
{
    return find(section, key) != nullptr;
}

QByteArray ProfileFile::readString(const QString &section, const QString &key,
                                   const QByteArray &defaultValue) const
{
    const QByteArray *value = find(section, key);
    return value ? value->left(MaxValueLength) : defaultValue;
}

int ProfileFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const QByteArray *value = find(section, key);
    if (!value)
        return defaultValue;
    bool ok = false;
    const int number = value->left(MaxValueLength).trimmed().toInt(&ok, 10);
    return ok ? number : defaultValue;
}

bool ProfileFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

int ProfileFile::keyCount(const QString &section) const
{
    const auto keys = m_sections.constFind(foldName(section));
    return keys == m_sections.cend() ? 0 : static_cast<int>(keys->size());
}

void ProfileFile::writeString(const QString &section, const QString &key, const QByteArray &value)
{
    const QByteArray sectionName = section.toLatin1();
    const QByteArray keyName = key.toLatin1();
    if (!canBeSectionName(sectionName) || !canBeKey(keyName))
        throw EFormState(m_path);
    QList<QByteArray> lines = linesForUpdate();
    // A file written with CR LF line ends keeps them.
    const QByteArray lineEnd = !lines.isEmpty() && lines.first().endsWith('\r') ? "\r" : "";
    const QByteArray line = keyName + '=' + firstLine(value) + lineEnd;
    const int header = findSection(lines, fold(sectionName.trimmed()));
    if (header < 0) {
        lines << '[' + sectionName + ']' + lineEnd << line;
        writeLines(lines);
        return;
    }
    const QByteArray foldedKey = fold(keyName.trimmed());
    int lastFilled = header;
    for (int i = header + 1; i < lines.size(); ++i) {
        const ParsedLine parsed = parseLine(lines[i]);
        if (parsed.kind == LineKind::Section)
            break;
        if (parsed.kind == LineKind::Key && fold(parsed.name) == foldedKey) {
            lines[i] = line;
            writeLines(lines);
            return;
        }
        if (!lines[i].trimmed().isEmpty())
            lastFilled = i;
    }
    lines.insert(lastFilled + 1, line);
    writeLines(lines);
}

void ProfileFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QByteArray::number(value));
}

void ProfileFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? "1" : "0");
}

void ProfileFile::eraseSection(const QString &section)
{
    if (!QFileInfo::exists(m_path))
        return;
    const QByteArray foldedSection = foldName(section);
    const QList<QByteArray> lines = linesForUpdate();
    QList<QByteArray> kept;
    bool inErased = false;
    for (const QByteArray &line : lines) {
        const ParsedLine parsed = parseLine(line);
        if (parsed.kind == LineKind::Section)
            inErased = fold(parsed.name) == foldedSection;
        if (!inErased)
            kept << line;
    }
    if (kept.size() != lines.size())
        writeLines(kept);
}

bool ProfileFile::readLines(QList<QByteArray> &lines) const
{
    lines.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    lines = content.split('\n');
    // The text after the last line break is a line only when it is not empty.
    if (lines.last().isEmpty())
        lines.removeLast();
    return true;
}

QList<QByteArray> ProfileFile::linesForUpdate() const
{
    // Rewriting a file that exists but cannot be read would lose its contents.
    QList<QByteArray> lines;
    if (!readLines(lines))
        throw EFormState(m_path);
    return lines;
}

void ProfileFile::writeLines(const QList<QByteArray> &lines)
{
    QByteArray content;
    for (const QByteArray &line : lines)
        content += line + '\n';

    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        throw EFormState(m_path);
    QSaveFile file(m_path);
    // A file that may be written in a folder that may not falls back to an in-place write.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        throw EFormState(m_path);
    index(lines);
}

void ProfileFile::index(const QList<QByteArray> &lines)
{
    m_sections.clear();
    QByteArray current;
    bool reading = false; // only the first block of a section is read, as the service does
    for (const QByteArray &line : lines) {
        const ParsedLine parsed = parseLine(line);
        if (parsed.kind == LineKind::Section) {
            current = fold(parsed.name);
            reading = !m_sections.contains(current);
            if (reading)
                m_sections.insert(current, {});
        } else if (parsed.kind == LineKind::Key && reading) {
            KeyValues &keys = m_sections[current];
            const QByteArray key = fold(parsed.name);
            if (!keys.contains(key))
                keys.insert(key, parsed.value);
        }
    }
}

} // namespace formstate
