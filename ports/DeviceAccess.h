#pragma once

#include <QString>

// Who may open a device node, as its owner, its group and its permission
// bits tell.
struct DeviceAccess
{
    bool known = false; // false when the node could not be looked at
    QString owner;      // the owning user's name, or its number
    qint64 ownerId = 0;
    QString group; // the owning group's name, or its number
    qint64 groupId = 0;
    int mode = 0; // the permission bits, such as 0660
};

// Looks at the node at `path`, following links.
DeviceAccess deviceAccessOf(const QString &path);
