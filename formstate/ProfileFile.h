#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

namespace formstate {

// An INI file handled the way the desktop's private-profile service handles
// one: "[section]" header lines and "key=value" lines, section names and keys
// matched without regard to letter case, values passed through as octets.
// The file is read when the object is made; every write reads it again,
// changes one place and writes it back at once, so the file always holds
// everything written so far. A missing or unreadable file reads as empty.
class ProfileFile
{
public:
    // Longest value a read returns; a longer stored value is cut.
    static constexpr int MaxValueLength = 2047;

    explicit ProfileFile(QString path);

    const QString &path() const { return m_path; }

    bool contains(const QString &section, const QString &key) const;
    QByteArray readString(const QString &section, const QString &key,
                          const QByteArray &defaultValue) const;
    // A missing value, or one that is not a 32-bit decimal integer, yields the default.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    // True when the stored integer is not 0.
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;
    // How many distinct keys the section holds.
    int keyCount(const QString &section) const;

    // Replaces the key's line in place, or adds it at the end of its section,
    // creating the file, its folder and the section as needed. A value is one
    // line: it is cut at a line break. Throws EFormState when the file cannot
    // be written or the key cannot be represented (empty, holding "=" or a
    // line break, or starting with "[").
    void writeString(const QString &section, const QString &key, const QByteArray &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);
    // Removes every block headed by the section. Throws EFormState when the
    // file cannot be rewritten.
    void eraseSection(const QString &section);

private:
    using KeyValues = QHash<QByteArray, QByteArray>; // folded key -> value

    const QByteArray *find(const QString &section, const QString &key) const;
    bool readLines(QList<QByteArray> &lines) const;
    QList<QByteArray> linesForUpdate() const;
    void writeLines(const QList<QByteArray> &lines);
    void index(const QList<QByteArray> &lines);

    QString m_path;
    QHash<QByteArray, KeyValues> m_sections; // folded section name -> its first block
};

} // namespace formstate
