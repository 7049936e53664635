#include "controls/LogSnapshot.h"

#include <QByteArray>
#include <utility>

LogSnapshot::LogSnapshot(std::vector<LogChunk> chunks, int skip, int lineCount)
    : m_chunks(std::move(chunks)), m_skip(skip), m_lineCount(lineCount)
{}

bool LogSnapshot::write(const std::function<bool(QByteArrayView)> &take) const
{
    static constexpr QByteArrayView LineEnd("\r\n");
    // Lines are copied into one piece with their line ends, so that a
    // million short lines make a few hundred pieces, not two million.
    QByteArray piece;
    piece.reserve(PieceSize);
    const auto flush = [&] {
        const bool taken = piece.isEmpty() || take(piece);
        piece.resize(0);
        return taken;
    };
    for (std::size_t c = 0; c < m_chunks.size(); ++c) {
        const LogChunk &chunk = m_chunks[c];
        for (int i = c == 0 ? m_skip : 0; i < chunk.count(); ++i) {
            const QByteArrayView line = chunk.line(i);
            if (piece.size() + line.size() + LineEnd.size() > PieceSize && !flush())
                return false;
            if (line.size() + LineEnd.size() > PieceSize) {
                if (!take(line))
                    return false;
            } else {
                piece.append(line);
            }
            piece.append(LineEnd);
        }
    }
    return flush();
}
