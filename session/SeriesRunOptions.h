#pragma once

#include "ports/LineSettings.h"

#include <QJsonObject>
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
    // Where the message and PEI logs go (SessionLogs); empty: the default
    // log folder. No log files at all without writeLogs.
    QString logFolder;
    bool writeLogs = true;
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
    enum class Action { Window, Run, ShowHelp, ShowVersion, Fail };
    Action action = Action::Window;
    SeriesRunOptions options;
    // The help text, or what is wrong with the arguments.
    QString text;

    // The radio profiles a run can speak, by name, in the order of the
    // window's profile selector.
    static const QStringList &profiles();
};

// True when the arguments ask for an unattended run, the help text or the
// version, or are wrong for the window, so no window will open: known before
// the application object exists, which must then be made for the offscreen
// platform.
bool opensNoWindow(int argc, char **argv);

// arguments as in main(), the program name first. Without --run, --help and
// --version the program opens its window and the arguments are left to the
// toolkit; an option of --run given without it is a usage error.
SeriesRunCommandLine parseSeriesRunCommandLine(const QStringList &arguments);

// What is wrong with a text too long for one message when the radio takes
// userDataBits of user data; empty when it fits.
QString textLengthProblem(const QString &text, int protocolId, int userDataBits);

// The options as a JSON object, keyed as the summary's keys are (camelCase).
QJsonObject toJson(const SeriesRunOptions &options);
