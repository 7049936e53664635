#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <string>

inline QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The content as a string, which test failures print readably.
inline std::string fileText(const QString &path)
{
    return fileContent(path).toStdString();
}

inline void writeFileContent(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write test file %s", qPrintable(path));
}
