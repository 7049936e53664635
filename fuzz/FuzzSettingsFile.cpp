// A hostile settings file is read, one key is written back, and every other
// key the file names must read as before. The written key comes from the
// file itself when the first input byte picks one, so that writes replace
// lines in place as well as add them.
#include "formstate/FormStateError.h"
#include "formstate/ProfileFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using formstate::ProfileFile;

namespace {

struct Place
{
    QString section;
    QString key;
};

const QByteArray absent = QByteArrayLiteral("\x01"
                                            "absent"
                                            "\x01");
const QByteArray written = QByteArrayLiteral("written value");

// The names the file's lines offer: every "[...]" line opens a section and
// every line with "=" after it names a key. Deliberately cruder than the
// reader, so that the reader is asked about names it may not take.
QList<Place> namedPlaces(const QByteArray &content)
{
    QList<Place> places;
    QString section;
    for (QByteArray line : content.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[')) {
            section = QString::fromLatin1(line.mid(1, line.indexOf(']') - 1));
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            places.append({section, QString::fromLatin1(line.left(equals))});
    }
    return places;
}

bool samePlace(const Place &a, const Place &b)
{
    const auto same = [](const QString &x, const QString &y) {
        return x.trimmed().compare(y.trimmed(), Qt::CaseInsensitive) == 0;
    };
    return same(a.section, b.section) && same(a.key, b.key);
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("settings.ini"));
    const QByteArray content(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    if (!writeFile(path, content))
        std::abort();

    const QList<Place> places = namedPlaces(content);
    const std::uint8_t pick = data[0];
    const Place target = pick < places.size()
                             ? places[pick]
                             : Place{QStringLiteral("Fuzz"), QStringLiteral("Written")};

    const ProfileFile before(path);
    ProfileFile after(path);
    try {
        after.writeString(target.section, target.key, written);
        after.save();
    } catch (const EFormState &) {
        // A name that cannot be written: the file must be as it was.
        if (readFile(path) != content)
            std::abort();
        return 0;
    }
    const ProfileFile reread(path);
    if (reread.readString(target.section, target.key, absent) != written ||
        after.readString(target.section, target.key, absent) != written)
        std::abort();
    for (const Place &place : places) {
        if (samePlace(place, target))
            continue;
        const QByteArray old = before.readString(place.section, place.key, absent);
        if (reread.readString(place.section, place.key, absent) != old ||
            after.readString(place.section, place.key, absent) != old)
            std::abort();
    }
    return 0;
}
