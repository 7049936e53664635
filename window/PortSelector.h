#pragma once

#include "ports/PortList.h"
#include "serial/PortEnumerator.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <thread>

class QComboBox;

// Keeps the port selector's list to the ports that exist: listed at the
// start, again when the list opens and, while the selector is enabled (no
// radio connected), every 2 s when the system's ports may have changed.
// Listing takes tens of ms (more with many devices), so it always runs in a
// thread of its own and the window takes the result when it is ready: an
// open list fills in a moment after it opens. The edit text is the user's
// and survives every refresh; picking an entry puts its path there, so what
// is shown is what Connect opens. A selector without an enumerator lists
// nothing itself: it follows the listing of another (followListing).
class PortSelector : public QObject
{
    Q_OBJECT

public:
    static constexpr int RefreshIntervalMs = 2000;

    PortSelector(QComboBox *combo, std::unique_ptr<serial::PortEnumerator> enumerator,
                 std::function<bool()> simAvailable, QObject *parent = nullptr);
    ~PortSelector() override; // waits for a listing under way

    // Lists the ports again in the listing thread if they may have changed
    // since the last look; the list changes when it is done.
    void refreshInBackground();
    // A listing is under way.
    bool isListing() const { return m_listing; }

    QString pathForText(const QString &text) const;
    // Where the list comes from; it may be asked from any thread.
    std::shared_ptr<serial::PortEnumerator> enumerator() const { return m_enumerator; }
    QList<PortEntry> entries() const { return m_entries; }
    bool isRefreshing() const { return m_timer.isActive(); }

    // The one typed path kept in the list.
    QString typedPath() const { return m_typedPath; }
    void setTypedPath(const QString &path);
    // Notes a path that connected; true when it becomes the typed path.
    bool noteConnected(const QString &path);
    // Changes the list before it is shown, such as for entries of its own.
    void setListAdjustment(std::function<QList<PortEntry>(QList<PortEntry>)> adjust);
    // Shows the ports that `source` lists, whenever it lists them; for a
    // selector made without an enumerator.
    void followListing(const PortSelector &source);

signals:
    // The ports were listed.
    void listed(const QList<serial::PortInfo> &ports);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuild();
    void followEnabledState();
    void takeListing(quint64 stamp, const QList<serial::PortInfo> &ports);

    QComboBox *m_combo;
    std::shared_ptr<serial::PortEnumerator> m_enumerator;
    std::thread m_lister;
    bool m_listing = false;
    std::function<bool()> m_simAvailable;
    std::function<QList<PortEntry>(QList<PortEntry>)> m_adjust;
    QTimer m_timer;
    quint64 m_stamp = 0;
    bool m_listed = false;
    QList<serial::PortInfo> m_ports;
    QList<PortEntry> m_entries;
    QString m_typedPath;
};

// Where new windows get their port listing from; tests present ports that
// are not there. An empty factory restores the system's listing.
using PortEnumeratorFactory = std::function<std::unique_ptr<serial::PortEnumerator>()>;
void setPortEnumeratorFactory(PortEnumeratorFactory factory);
std::unique_ptr<serial::PortEnumerator> makePortEnumerator();
