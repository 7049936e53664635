#pragma once

#include "controls/LogLines.h"

#include <QByteArray>
#include <QByteArrayView>

// A search of a log for text, letter case not mattering (Latin-1), that goes
// on a slice at a time so that a long log need not be searched in one go:
// between two steps the log may take new lines and let old ones go. An
// occurrence lies within one line. The search runs from a position to the
// end of the log, then from the top back to that position's line.
class LogSearch
{
public:
    enum class State { Searching, Found, Absent };

    // An empty needle is found nowhere.
    LogSearch(const LogLines &lines, QByteArrayView needle, LogLines::Position from);

    // Looks through about `octets` more octets of the log.
    State step(const LogLines &lines, qsizetype octets);
    // Steps until the search ends.
    State run(const LogLines &lines);
    State state() const { return m_state; }
    // Where the occurrence starts, once found, while its line is kept.
    LogLines::Position found(const LogLines &lines) const;
    int needleLength() const { return int(m_needle.size()); }

private:
    void searchRun(LogLines::Run run, qsizetype octets);

    QByteArray m_needle;
    // The part of the log being looked through, folded like the needle.
    QByteArray m_haystack;
    State m_state = State::Searching;
    bool m_wrapped = false;
    // Where the next step starts and where the search from the top ends
    // (the line after the first), as numbers of lines ever appended.
    qint64 m_line = 0;
    int m_column = 0;
    qint64 m_wrapEnd = 0;
};
