#pragma once

#include <QDate>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <optional>

namespace files {

// The folder that holds the program's log files: $XDG_STATE_HOME/corvane
// when XDG_STATE_HOME is an absolute path, otherwise ~/.local/state/corvane.
QString defaultLogFolder();

// The log files of one pane in a folder. The first file of a day is
// <pane>-<yyyy-MM-dd>.log; when it is full the day goes on in
// <pane>-<yyyy-MM-dd>_002.log, _003 and so on, so that sorting the names
// puts the files in the order they were written.
class LogFolder
{
public:
    struct Part
    {
        QDate day;
        int number = 1;
    };

    // The pane's name must be usable in a file name: not empty, no "/".
    LogFolder(QString folder, QString pane);

    const QString &folder() const { return m_folder; }
    QString pathOf(const Part &part) const;
    // The part a name stands for, when it is one of this pane's files.
    std::optional<Part> partOf(const QString &fileName) const;
    // The last part of the day present, or the first when there is none.
    Part lastPartOf(const QDate &day) const;
    // Creates the folder as needed. A folder that cannot be made shows when a
    // file in it is opened, with the system's reason.
    void make() const;
    // Removes the pane's files of days before the given one; returns the
    // messages of removals that failed.
    QStringList removeDaysBefore(const QDate &firstKept) const;

private:
    QStringList fileNames() const;

    QString m_folder;
    QString m_pane;
    QRegularExpression m_names;
};

} // namespace files
