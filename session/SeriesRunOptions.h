#pragma once

#include "ports/LineSettings.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

// What `corvane --run` was asked to do.
struct SeriesRunOptions
{
    // "SIM", "COM1".."COM4" or the path of a serial device.
    QString port;
    // The line as the window's Line... dialog sets it.
    LineSettings line;
    // The PEI dialect; see SeriesRunCommandLine::profiles.
    QString profile = QStringLiteral("cmt");
    int protocolId = 130;
    int destination = 0;
    QString text = QStringLiteral("Corvane test");
    int count = 1;
    int delayMs = 1000;
    bool receivedReports = false;
    bool consumedReports = false;
    int waitSeconds = 10;
    // How long the radio may take to give its final result to any command;
    // unset: each kind of command has its own time-out.
    std::optional<int> answerTimeoutSeconds;
    // How long a requested report may take before it counts as missing.
    int reportTimeoutSeconds = 60;
    QString csvFile;
    QString jsonFile;
    // A link test: the receiving radio's port, as `port` names one; empty
    // for none. Its line, and its profile (empty: the sender's).
    QString receiver;
    LineSettings receiverLine;
    QString receiverProfile;
    // The receiver sends every other message, to the sender's own identity.
    bool bothWays = false;
    // The least share of messages delivered intact for a good link test;
    // unset: every message delivered intact and once, every report there.
    std::optional<double> minDelivery;
};

struct SeriesRunCommandLine
{
    enum class Action { Window, Run, ShowHelp, Fail };
    Action action = Action::Window;
    SeriesRunOptions options;
    // The help text, or what is wrong with the arguments.
    QString text;

    // The radio profiles a run can speak, by name, in the order of the
    // window's profile selector.
    static const QStringList &profiles();
};

// True when the arguments ask for an unattended run or the help text, so no
// window will open: known before the application object exists, which must
// then be made for the offscreen platform.
bool opensNoWindow(int argc, char **argv);

// arguments as in main(), the program name first. Without --run (and
// without --help) the program opens its window and the arguments are left
// to the toolkit.
SeriesRunCommandLine parseSeriesRunCommandLine(const QStringList &arguments);
