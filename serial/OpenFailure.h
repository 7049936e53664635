#pragma once

#include <QString>

namespace serial {

// Why a device could not be opened, as far as the system tells.
struct OpenFailure
{
    enum class Reason { PermissionDenied, InUse, Missing, Other };
    Reason reason = Reason::Other;
    int error = 0;         // the errno value of the failed open
    QString systemMessage; // the system's text for `error`
    QString group;         // PermissionDenied: the group that owns the device
    QString holder;        // InUse: the program holding the device, when known
    qint64 holderPid = 0;  // InUse: its process id, 0 when unknown
};

// Looks at the device `path` after an open failed with `error`: missing
// (no such device node, or the node's device gone), refused (its owning
// group), or busy (the process that has it open, found through /proc).
OpenFailure diagnoseOpenFailure(const QString &path, int error);

// True for the errors of a device that went away while open (cable pulled,
// the far end of a pseudo-terminal closed) or of a port closed under it.
bool isDeviceLoss(int error);

} // namespace serial
