#pragma once

#include <QList>
#include <QPointF>
#include <optional>
#include <vector>

// The slowest time of each run of consecutive messages, for a plot that
// stays readable and cheap however long the series: runs of 1, 2, 4, ...
// messages, the shortest that keep at most maxRuns of them. Kept up to
// date as the times come, in any order; an outlier stays in view.
class SlowestPerRun
{
public:
    explicit SlowestPerRun(int maxRuns) : m_maxRuns(maxRuns) {}

    // The series has this many messages now.
    void setMessages(int messages);
    // Message `index` (from 1) took `ms`.
    void add(int index, qint64 ms);
    void clear();

    int runLength() const { return m_runLength; }
    // Per run with a time: the message that took longest (the first of
    // equals) and its time.
    QList<QPointF> points() const;

private:
    struct Slowest
    {
        int index = 0;
        qint64 ms = 0;
    };

    int m_maxRuns;
    int m_runLength = 1;
    std::vector<std::optional<Slowest>> m_runs;
};
