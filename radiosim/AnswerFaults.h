#pragma once

#include <QByteArray>
#include <optional>

namespace radiosim {

// Spoils the radio's final results as a troublesome radio does: one of them
// is never sent, and each that is sent may follow a run of junk bytes that
// holds no line end, so a terminal has to find the answer after noise.
class AnswerFaults
{
public:
    // dropAnswer: the number, from 1, of the final result never sent (0:
    // none); junkBytes: how much junk goes before each final result.
    AnswerFaults(int dropAnswer, int junkBytes) : m_dropAnswer(dropAnswer), m_junkBytes(junkBytes)
    {}

    // The bytes that go out for the next final result, or nothing when it
    // is the one dropped.
    std::optional<QByteArray> shape(const QByteArray &finalResult);
    // Final results so far, the dropped one included.
    int finalResults() const { return m_finalResults; }

private:
    QByteArray nextJunk();

    int m_dropAnswer = 0;
    int m_junkBytes = 0;
    int m_finalResults = 0;
    quint32 m_junkSerial = 0;
};

} // namespace radiosim
