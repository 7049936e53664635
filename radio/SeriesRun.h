#pragma once

#include "radio/SeriesRunOptions.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <cstdio>

class QTimer;
class SeriesStatistics;
class TForm1;

// Runs one series with the window's own controller, never shown: it fills
// the fields and presses the buttons a user would, follows the controller's
// state and the series statistics, and ends the application's event loop
// with the exit status. Boxes the controller would show are written to the
// error stream instead.
class SeriesRun : public QObject
{
    Q_OBJECT

public:
    static constexpr int ExitGood = 0;
    static constexpr int ExitIncomplete = 1;
    static constexpr int ExitUsage = 2;

    // A step that waits for the radio gives up after this long.
    static constexpr int StepTimeoutMs = 15000;

    SeriesRun(TForm1 &form, const SeriesRunOptions &options, std::FILE *out, std::FILE *err);
    ~SeriesRun() override;

    // Starts the run; the event loop then ends with the exit status.
    void start();

    // The status from the statistics: every message completed, every
    // requested report there with its status.
    static int exitStatusFor(const SeriesRunOptions &options, const SeriesStatistics &series);

private:
    enum class Step { Probing, Registering, Sending, Waiting };

    // The dialect of the profile; false (with the reason written) when the
    // controller cannot speak it.
    bool selectProfile();
    void tick();
    void startSeries();
    bool seriesDone() const;
    void showProgress(bool last);
    void finish(int status);
    void fail(int status, const QString &reason);
    bool writeOutputs();

    TForm1 &m_form;
    SeriesRunOptions m_options;
    std::FILE *m_out;
    std::FILE *m_err;
    bool m_progressOnTerminal = false;
    Step m_step = Step::Probing;
    QTimer *m_ticker = nullptr;
    QElapsedTimer m_stepClock;
    QElapsedTimer m_progressShown;
    bool m_finished = false;
};
