#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

namespace formstate {

// An INI file handled the way the desktop's private-profile service handles
// one: "[section]" header lines and "key=value" lines, section names and keys
// matched without regard to letter case, values passed through as octets.
// The file is read once, when the object is made, and only when it is a
// regular file of at most MaxFileSize octets; anything else, and a file that
// cannot be read, reads as empty and is refused: save() leaves it alone.
// Writes change the object only; save() writes the whole file beside the old
// one and puts it in its place, so the old file stays whole when that fails.
class ProfileFile
{
public:
    // Longest value a read returns; a longer stored value is cut.
    static constexpr int MaxValueLength = 2047;
    // Largest file that is read.
    static constexpr qint64 MaxFileSize = 1 << 20;

    enum class Status {
        Missing,   // no file: reads as empty, save() creates it
        Read,      // read whole
        Refused,   // a folder, not a regular file, or too large: never written
        Unreadable // could not be read: never written, since that would lose it
    };

    explicit ProfileFile(QString path);

    const QString &path() const { return m_path; }
    Status status() const { return m_status; }
    // For a refused or unreadable file, a sentence that says so and why
    // (with the system's reason where there is one); otherwise empty.
    QString refusal() const;

    bool contains(const QString &section, const QString &key) const;
    QByteArray readString(const QString &section, const QString &key,
                          const QByteArray &defaultValue) const;
    // A missing value, or one that is not a 32-bit decimal integer, yields the default.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    // True when the stored integer is not 0.
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    // Replaces the key's line in place, or adds it at the end of its section,
    // creating the section as needed. A value is one line: it is cut at a
    // line break. Throws EFormState when the key cannot be represented
    // (empty, holding "=" or a line break, or starting with "[").
    void writeString(const QString &section, const QString &key, const QByteArray &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);
    // Removes every block headed by the section.
    void eraseSection(const QString &section);

    // Writes the file when anything changed, creating its folder as needed;
    // never in place. A refused or unreadable file is left alone. Throws
    // EFormState ("Unable to write to <file>: <the system's reason>") when
    // the file cannot be written; the old file is then as it was.
    void save();

private:
    // A section header line and the lines up to the next one; the lines in
    // front of the first header form a block without a name.
    struct Block
    {
        QByteArray foldedName;
        bool headed = false;
        QList<QByteArray> lines;         // the header first, when headed
        QHash<QByteArray, int> keyLines; // folded key -> its first line
    };

    void read();
    void refuse(Status status, const QString &reason);
    void index(const QList<QByteArray> &lines);
    void indexSections();
    const QByteArray *findLine(const QString &section, const QString &key) const;

    QString m_path;
    Status m_status = Status::Missing;
    QString m_refusalReason;
    QByteArray m_lineEnd; // "\r" after every line of a file written with CR LF
    QList<Block> m_blocks;
    QHash<QByteArray, int> m_sections; // folded section name -> its first block
    bool m_changed = false;
};

} // namespace formstate
