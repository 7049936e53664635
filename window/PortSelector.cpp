#include "window/PortSelector.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <utility>

namespace {

PortEnumeratorFactory &factorySlot()
{
    static PortEnumeratorFactory factory;
    return factory;
}

} // namespace

void setPortEnumeratorFactory(PortEnumeratorFactory factory)
{
    factorySlot() = std::move(factory);
}

std::unique_ptr<serial::PortEnumerator> makePortEnumerator()
{
    return factorySlot() ? factorySlot()() : serial::systemPortEnumerator();
}

PortSelector::PortSelector(QComboBox *combo, std::unique_ptr<serial::PortEnumerator> enumerator,
                           std::function<bool()> simAvailable, QObject *parent)
    : QObject(parent), m_combo(combo), m_enumerator(std::move(enumerator)),
      m_simAvailable(std::move(simAvailable))
{
    // Enter must not add the typed text to the list.
    m_combo->setInsertPolicy(QComboBox::NoInsert);
    connect(m_combo, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        if (index >= 0 && index < m_entries.size())
            m_combo->setEditText(m_entries.at(index).path);
    });
    m_timer.setInterval(RefreshIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // The open list is refreshed when it opens, not under the user's pointer.
        if (!m_combo->view()->isVisible())
            refreshInBackground();
    });
    m_combo->installEventFilter(this);
    followEnabledState();
    // The fixed entries at once, the system's ports when they are listed.
    rebuild();
    refreshInBackground();
}

PortSelector::~PortSelector()
{
    if (m_lister.joinable())
        m_lister.join();
}

void PortSelector::refreshInBackground()
{
    if (!m_enumerator)
        return;
    const quint64 stamp = m_enumerator->changeStamp();
    if (m_listing || (m_listed && stamp == m_stamp))
        return;
    if (m_lister.joinable())
        m_lister.join(); // long done: it reported back before m_listing fell
    m_listing = true;
    m_lister = std::thread([this, enumerator = m_enumerator, stamp] {
        const QList<serial::PortInfo> ports = enumerator->ports();
        // Delivered in the window thread; dropped if this selector is gone.
        QMetaObject::invokeMethod(
            this,
            [this, stamp, ports] {
                m_listing = false;
                takeListing(stamp, ports);
            },
            Qt::QueuedConnection);
    });
}

void PortSelector::takeListing(quint64 stamp, const QList<serial::PortInfo> &ports)
{
    m_stamp = stamp;
    m_listed = true;
    m_ports = ports;
    rebuild();
    emit listed(ports);
    // Ports that came or went during the listing are listed at once, so
    // that an open list ends up as the system is.
    refreshInBackground();
}

void PortSelector::rebuild()
{
    QList<PortEntry> entries = buildPortList(m_ports, m_typedPath, m_simAvailable());
    if (m_adjust)
        entries = m_adjust(std::move(entries));
    if (entries == m_entries && m_combo->count() == entries.size())
        return;
    m_entries = entries;
    const QString text = m_combo->currentText();
    const QSignalBlocker blocker(m_combo);
    m_combo->clear();
    for (const PortEntry &entry : m_entries)
        m_combo->addItem(entry.text);
    // The open list shows whole entries, however narrow the selector.
    m_combo->view()->setMinimumWidth(m_combo->view()->sizeHintForColumn(0) + 24);
    m_combo->setEditText(text);
}

QString PortSelector::pathForText(const QString &text) const
{
    return portPathForText(text, m_entries);
}

void PortSelector::setTypedPath(const QString &path)
{
    m_typedPath = path;
    rebuild();
}

bool PortSelector::noteConnected(const QString &path)
{
    if (isListedPort(path, m_ports) || path == m_typedPath)
        return false;
    setTypedPath(path);
    return true;
}

void PortSelector::setListAdjustment(std::function<QList<PortEntry>(QList<PortEntry>)> adjust)
{
    m_adjust = std::move(adjust);
    rebuild();
}

void PortSelector::followListing(const PortSelector &source)
{
    connect(&source, &PortSelector::listed, this,
            [this](const QList<serial::PortInfo> &ports) { takeListing(m_stamp, ports); });
    takeListing(m_stamp, source.m_ports);
}

bool PortSelector::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_combo && event->type() == QEvent::EnabledChange)
        followEnabledState();
    return QObject::eventFilter(watched, event);
}

void PortSelector::followEnabledState()
{
    if (!m_enumerator)
        return;
    if (m_combo->isEnabled() && !m_timer.isActive())
        m_timer.start();
    else if (!m_combo->isEnabled())
        m_timer.stop();
}
