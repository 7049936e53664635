#pragma once

#include "controls/LogChunk.h"

#include <QByteArrayView>
#include <functional>
#include <vector>

// The lines of a log as they were at one moment, sharing their blocks with
// the log. Cheap to take and to copy; another thread may read it while the
// log goes on appending and letting lines go.
class LogSnapshot
{
public:
    LogSnapshot() = default;

    int lineCount() const { return m_lineCount; }
    // Hands the lines to `take` in pieces of at most PieceSize octets (a
    // longer line comes alone), each line followed by CR LF: the octets of a
    // saved log. Stops at the first piece `take` refuses and returns false;
    // true when every piece was taken.
    bool write(const std::function<bool(QByteArrayView)> &take) const;

    static constexpr qsizetype PieceSize = 64 * 1024;

private:
    friend class LogLines;
    LogSnapshot(std::vector<LogChunk> chunks, int skip, int lineCount);

    std::vector<LogChunk> m_chunks;
    // Lines of the first block that had left the log.
    int m_skip = 0;
    int m_lineCount = 0;
};
