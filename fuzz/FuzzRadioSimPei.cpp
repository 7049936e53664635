// Terminal input into the simulated radio. The framer's frames keep their
// limits, and the radio gives the same answers and indications whether the
// input arrives at once or in fragments whose sizes the input chooses. Only
// their order may differ: an indication that falls due goes out at the next
// call, so where it lands among the answers to one read depends on where the
// read ends, as with a real radio.
#include "radiosim/PeiFramer.h"
#include "radiosim/RadioSim.h"

#include <QList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using radiosim::PeiFrame;
using radiosim::PeiFramer;
using radiosim::RadioSim;

namespace {

void checkFrame(const PeiFrame &frame)
{
    if (frame.text.size() > PeiFramer::maxLineLength ||
        frame.userData.size() > PeiFramer::maxUserDataLength || frame.text.contains('\r'))
        std::abort();
    if (frame.kind == PeiFrame::Kind::Command &&
        (frame.text.isEmpty() || !frame.userData.isEmpty()))
        std::abort();
    if (frame.kind == PeiFrame::Kind::Message &&
        (!frame.text.toUpper().startsWith("AT+CMGS=") || frame.userData.contains('\x1A')))
        std::abort();
}

// Everything the radio says to the input, including what falls due later.
QByteArray radioOutput(const QByteArray &input, std::size_t fragment)
{
    RadioSim radio;
    for (qsizetype at = 0; at < input.size(); at += qsizetype(fragment))
        radio.receive(input.mid(at, qsizetype(fragment)), 0);
    QByteArray output = radio.takeOutput();
    qint64 now = 0;
    // Reports and peer traffic come at most every few seconds; a bounded
    // number of steps releases everything the input caused.
    for (int step = 0; step < 64; ++step) {
        const std::optional<qint64> due = radio.nextDueMs();
        if (!due)
            break;
        now = std::max(now, *due);
        radio.advance(now);
        output += radio.takeOutput();
    }
    return output;
}

// The output's lines, in order of their text.
QList<QByteArray> sortedLines(const QByteArray &output)
{
    QList<QByteArray> lines = output.split('\n');
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t fragment = 1 + data[0] % 16;
    const QByteArray input(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));

    // With echo on, the radio echoes each read as it comes, between its
    // answers, as a real radio does: only then may the lines depend on the
    // reads. Echo goes on with a command line that the framer gives as
    // "ATE1" in any case, wherever line feeds or fragments fell in it.
    PeiFramer framer;
    bool mayEcho = false;
    for (const char byte : input) {
        if (const std::optional<PeiFrame> frame = framer.push(byte)) {
            checkFrame(*frame);
            mayEcho = mayEcho ||
                      (frame->kind == PeiFrame::Kind::Command && frame->text.toUpper() == "ATE1");
        }
    }
    if (!mayEcho && sortedLines(radioOutput(input, input.size() + 1)) !=
                        sortedLines(radioOutput(input, fragment)))
        std::abort();
    return 0;
}
