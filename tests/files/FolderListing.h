#pragma once

#include <QDir>
#include <QStringList>

// The names in a folder, hidden ones included, sorted.
inline QStringList namesIn(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}
