#pragma once

#include <QByteArray>
#include <QString>

namespace files {

// What reading a file whole found.
struct ReadResult
{
    enum class Outcome {
        Read,       // bytes holds the whole content
        Missing,    // there is no file of that name (nor can there be)
        Folder,     // a folder stands there
        NotRegular, // a device, FIFO or socket: not opened, since reading it
                    // may wait for ever or act on a device
        TooLarge,   // more octets than allowed
        Failed      // could not be read: errorNumber says why
    };
    Outcome outcome = Outcome::Missing;
    QByteArray bytes;
    int errorNumber = 0;
};

// Reads a regular file of at most maxSize octets whole.
ReadResult readWhole(const QString &path, qint64 maxSize);

} // namespace files
