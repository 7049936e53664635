// The main window's log panes beyond showing entries: how much they keep in
// view, the daily log files every line also goes to, the folder of those
// files, and saving a pane to a file of the user's.
#include "window/Corvane_main.h"

#include "controls/LogView.h"
#include "files/LogFolder.h"
#include "formstate/ProfileFile.h"
#include "window/ActivityLog.h"
#include "window/BackgroundSave.h"
#include "window/NotSavedBox.h"
#include "window/SaveDialog.h"

#include <QDesktopServices>
#include <QDir>
#include <QLayout>
#include <QPushButton>
#include <QUrl>
#include <memory>

namespace {

// Kept in the settings file's section "LogPanes", per pane the most lines
// and octets it keeps in view; a value that is missing or out of range
// reads as the default.
const QString paneSection = QStringLiteral("LogPanes");
constexpr int fewestLines = 1000;
constexpr int mostLines = 10'000'000;
constexpr int fewestBytes = 1 << 20;
constexpr int mostBytes = 1 << 30;

struct PaneKeys
{
    LogView *TForm1::*pane;
    const char *lines;
    const char *bytes;
};

const PaneKeys paneKeys[] = {
    {&TForm1::MessagesPad_Memo, "MessageWindowLines", "MessageWindowBytes"},
    {&TForm1::CommandLogger_Memo, "PeiLoggerLines", "PeiLoggerBytes"},
};

int storedOrDefault(const formstate::ProfileFile &settings, const char *key, int low, int high,
                    int fallback)
{
    const int value = settings.readInteger(paneSection, QLatin1String(key), fallback);
    return value >= low && value <= high ? value : fallback;
}

} // namespace

void TForm1::buildLogs()
{
    m_logs = new SessionLogs(files::defaultLogFolder(), this);
    // Told in the message window: the lines wait meanwhile, nothing is lost.
    connect(m_logs, &SessionLogs::problem, this,
            [this](const QString &problem) { AddMessage(": " + problem.toLatin1()); });

    LogFolderButton = new QPushButton(QStringLiteral("Log files"), PortStatusBar);
    LogFolderButton->setObjectName(QStringLiteral("LogFolderButton"));
    LogFolderButton->setToolTip(
        QStringLiteral("Every line of both windows is also written to a file per day in %1: "
                       "click to open the folder")
            .arg(QDir::toNativeSeparators(m_logs->folder())));
    PortStatusBar->layout()->addWidget(LogFolderButton);
    connect(LogFolderButton, &QPushButton::clicked, this, &TForm1::openLogFolder);

    for (const PaneKeys &keys : paneKeys) {
        LogView *pane = this->*keys.pane;
        // Chosen in the pane's context menu: kept for the next start.
        connect(pane, &LogView::limitsChosen, this, &TForm1::storeOwnSettings);
    }
}

void TForm1::showEntry(SessionLogs::Log log, const QByteArray &entry)
{
    appendLogEntry(log == SessionLogs::Log::Messages ? MessagesPad_Memo : CommandLogger_Memo,
                   entry);
    m_logs->append(log, entry);
}

void TForm1::loadPaneLimits(const formstate::ProfileFile &settings)
{
    for (const PaneKeys &keys : paneKeys) {
        LogView *pane = this->*keys.pane;
        pane->setLimits(
            storedOrDefault(settings, keys.lines, fewestLines, mostLines, pane->maxLines()),
            storedOrDefault(settings, keys.bytes, fewestBytes, mostBytes, int(pane->maxBytes())));
    }
}

void TForm1::savePaneLimits(formstate::ProfileFile &settings) const
{
    for (const PaneKeys &keys : paneKeys) {
        const LogView *pane = this->*keys.pane;
        settings.writeInteger(paneSection, QLatin1String(keys.lines), pane->maxLines());
        settings.writeInteger(paneSection, QLatin1String(keys.bytes), int(pane->maxBytes()));
    }
}

void TForm1::openLogFolder()
{
    const QString folder = m_logs->folder();
    // The files are made with the first line; the folder is there at once.
    if (!QDir().mkpath(folder)) {
        AddMessage(": The log folder " + QDir::toNativeSeparators(folder).toLatin1() +
                   " could not be made.");
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        AddMessage(": No program was found to show the log folder " +
                   QDir::toNativeSeparators(folder).toLatin1() + ".");
}

void TForm1::savePane(const LogView *pane)
{
    if (!sd->Execute(this))
        return;
    // The lines as they are now; the pane goes on meanwhile.
    const QString fileName = sd->FileName();
    const LogSnapshot lines = pane->snapshot();
    BackgroundSave::start(
        this, [lines, fileName] { savePaneToFile(lines, fileName); },
        [this](const std::optional<files::FileError> &failure) {
            if (failure)
                showNotSavedBox(this, *failure);
        });
}
