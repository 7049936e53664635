#include "formstate/ProfileFile.h"

#include "files/AtomicFile.h"
#include "files/FileError.h"
#include "files/ReadWhole.h"
#include "formstate/FormStateError.h"

#include <QDir>
#include <QFileInfo>

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

} // namespace

ProfileFile::ProfileFile(QString path) : m_path(std::move(path))
{
    read();
}

void ProfileFile::read()
{
    using Outcome = files::ReadResult::Outcome;
    const files::ReadResult result = files::readWhole(m_path, MaxFileSize);
    switch (result.outcome) {
    case Outcome::Missing:
        return;
    case Outcome::Folder:
        refuse(Status::Refused, QStringLiteral("is a folder"));
        return;
    // Reading a FIFO would wait for a writer, and a device may never end.
    case Outcome::NotRegular:
        refuse(Status::Refused, QStringLiteral("is not a regular file"));
        return;
    case Outcome::TooLarge:
        refuse(Status::Refused, QStringLiteral("is larger than 1 MiB"));
        return;
    case Outcome::Failed:
        refuse(Status::Unreadable,
               QStringLiteral("cannot be read (%1)").arg(files::systemReason(result.errorNumber)));
        return;
    case Outcome::Read:
        break;
    }
    m_status = Status::Read;
    QList<QByteArray> lines = result.bytes.split('\n');
    // The text after the last line break is a line only when it is not empty.
    if (lines.last().isEmpty())
        lines.removeLast();
    if (!lines.isEmpty() && lines.first().endsWith('\r'))
        m_lineEnd = "\r";
    index(lines);
}

void ProfileFile::refuse(Status status, const QString &reason)
{
    m_status = status;
    m_refusalReason = reason;
}

QString ProfileFile::refusal() const
{
    if (m_refusalReason.isEmpty())
        return {};
    return QStringLiteral("The settings file %1 %2: the stored settings are not used, and it "
                          "will not be written.")
        .arg(m_path, m_refusalReason);
}

void ProfileFile::index(const QList<QByteArray> &lines)
{
    m_blocks.clear();
    m_blocks.append(Block{});
    for (const QByteArray &line : lines) {
        const ParsedLine parsed = parseLine(line);
        if (parsed.kind == LineKind::Section)
            m_blocks.append(Block{fold(parsed.name), true, {}, {}});
        Block &block = m_blocks.last();
        if (parsed.kind == LineKind::Key) {
            const QByteArray key = fold(parsed.name);
            if (!block.keyLines.contains(key))
                block.keyLines.insert(key, static_cast<int>(block.lines.size()));
        }
        block.lines.append(line);
    }
    indexSections();
}

void ProfileFile::indexSections()
{
    m_sections.clear();
    // Only the first block of a section is read, as the service does.
    for (int i = 0; i < m_blocks.size(); ++i) {
        if (m_blocks[i].headed && !m_sections.contains(m_blocks[i].foldedName))
            m_sections.insert(m_blocks[i].foldedName, i);
    }
}

const QByteArray *ProfileFile::findLine(const QString &section, const QString &key) const
{
    const auto block = m_sections.constFind(foldName(section));
    if (block == m_sections.cend())
        return nullptr;
    const Block &found = m_blocks[*block];
    const auto line = found.keyLines.constFind(foldName(key));
    return line == found.keyLines.cend() ? nullptr : &found.lines[*line];
}

bool ProfileFile::contains(const QString &section, const QString &key) const
{
    return findLine(section, key) != nullptr;
}

QByteArray ProfileFile::readString(const QString &section, const QString &key,
                                   const QByteArray &defaultValue) const
{
    const QByteArray *line = findLine(section, key);
    return line ? parseLine(*line).value.left(MaxValueLength) : defaultValue;
}

int ProfileFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const QByteArray *line = findLine(section, key);
    if (!line)
        return defaultValue;
    bool ok = false;
    const int number = parseLine(*line).value.left(MaxValueLength).trimmed().toInt(&ok, 10);
    return ok ? number : defaultValue;
}

bool ProfileFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileFile::writeString(const QString &section, const QString &key, const QByteArray &value)
{
    const QByteArray sectionName = section.toLatin1();
    const QByteArray keyName = key.toLatin1();
    if (!canBeSectionName(sectionName) || !canBeKey(keyName))
        throw EFormState(m_path);
    m_changed = true;
    const QByteArray line = keyName + '=' + firstLine(value) + m_lineEnd;
    const QByteArray foldedSection = fold(sectionName.trimmed());
    const QByteArray foldedKey = fold(keyName.trimmed());
    auto found = m_sections.constFind(foldedSection);
    if (found == m_sections.cend()) {
        m_blocks.append(Block{foldedSection, true, {'[' + sectionName + ']' + m_lineEnd}, {}});
        found = m_sections.insert(foldedSection, static_cast<int>(m_blocks.size() - 1));
    }
    Block &block = m_blocks[*found];
    if (const auto existing = block.keyLines.constFind(foldedKey);
        existing != block.keyLines.cend()) {
        block.lines[*existing] = line;
        return;
    }
    // After the last line that is not blank; only blank lines follow it, so
    // no key changes its place.
    int lastFilled = static_cast<int>(block.lines.size()) - 1;
    while (lastFilled > 0 && block.lines[lastFilled].trimmed().isEmpty())
        --lastFilled;
    block.lines.insert(lastFilled + 1, line);
    block.keyLines.insert(foldedKey, lastFilled + 1);
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
    const QByteArray foldedSection = foldName(section);
    const auto erased = std::remove_if(m_blocks.begin(), m_blocks.end(), [&](const Block &block) {
        return block.headed && block.foldedName == foldedSection;
    });
    if (erased == m_blocks.end())
        return;
    m_blocks.erase(erased, m_blocks.end());
    m_changed = true;
    indexSections();
}

void ProfileFile::save()
{
    // A file that was not read is kept as it is: rewriting it would lose its contents.
    if (m_status == Status::Refused || m_status == Status::Unreadable || !m_changed)
        return;
    // A folder that cannot be made shows below, with the system's reason.
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    try {
        files::AtomicFile file(m_path);
        for (const Block &block : m_blocks) {
            for (const QByteArray &line : block.lines) {
                file.write(line);
                file.write("\n");
            }
        }
        file.commit();
    } catch (const files::FileError &error) {
        throw EFormState(m_path, error.reason());
    }
    m_changed = false;
}

} // namespace formstate
