#include "serial/PortEnumerator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>
#include <mutex>
#include <sys/stat.h>

namespace serial {

namespace {

const char byIdFolder[] = "/dev/serial/by-id";

quint64 modificationStamp(const char *path)
{
    struct stat info
    {
    };
    if (::stat(path, &info) != 0)
        return 0;
    return quint64(info.st_mtim.tv_sec) * 1000000000u + quint64(info.st_mtim.tv_nsec);
}

// The system's list goes through libudev, whose lazily set up globals are
// not safe to set up from two threads at once: the port list's thread and
// a reconnect's look may list together.
QList<QSerialPortInfo> listedBySystem()
{
    static std::mutex listing;
    std::lock_guard<std::mutex> lock(listing);
    return QSerialPortInfo::availablePorts();
}

class SystemPortEnumerator : public PortEnumerator
{
public:
    quint64 changeStamp() const override
    {
        // A node added to or removed from /dev changes the folder's time;
        // udev adds the by-id links a moment later.
        return modificationStamp("/dev") * 31u + modificationStamp(byIdFolder);
    }

    QList<PortInfo> ports() const override
    {
        QHash<QString, QString> links; // device node -> by-id link
        const QDir byId(QString::fromLatin1(byIdFolder));
        for (const QString &name : byId.entryList(QDir::System | QDir::NoDotAndDotDot)) {
            const QString link = byId.filePath(name);
            links.insert(QFileInfo(link).canonicalFilePath(), link);
        }
        QList<PortInfo> result;
        for (const QSerialPortInfo &info : listedBySystem()) {
            PortInfo port;
            port.path = info.systemLocation();
            port.product = info.description();
            port.manufacturer = info.manufacturer();
            port.serialNumber = info.serialNumber();
            port.byIdLink = links.value(port.path);
            result.append(port);
        }
        return result;
    }
};

} // namespace

std::unique_ptr<PortEnumerator> systemPortEnumerator()
{
    return std::make_unique<SystemPortEnumerator>();
}

} // namespace serial
