// A long series with both reports through the window, on its own timers,
// against the corvane-radiosim program on a pseudo-terminal. Both ends
// count: every message the window wrote is in its PEI logger, and the
// window's completions and reports match what the radio says it sent.
// Memory may grow with the text the panes hold, not with the traffic.
#include "controls/LogView.h"
#include "tests/endtoend/EndToEndWindow.h"
#include "tests/endtoend/EventLoopWait.h"
#include "tests/endtoend/PtyRadio.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTextDocument>
#include <cstdio>
#include <malloc.h>
#include <unistd.h>

using radiosim::RadioSim;

namespace {

constexpr int protocolId = 130;
constexpr int destination = 4321;
const QString completed = QStringLiteral(": Send command completed successfully.");
const QString reportReceived = QStringLiteral(": Report received with error code: ");
const QString messageCommand = QStringLiteral(" pc: AT+CMGS=4321,");
// Per message, many times what the pseudo-terminal road takes on a loaded
// machine.
constexpr int msPerMessage = 100;

int messageCount()
{
    bool ok = false;
    const int count = qEnvironmentVariableIntValue("SOAK_MESSAGES", &ok);
    return ok && count > 0 ? count : 10000;
}

qint64 residentBytes()
{
    long pages = 0;
    long resident = 0;
    if (std::FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return qint64(resident) * sysconf(_SC_PAGESIZE);
}

// Octets of text a pane holds, line ends included.
qint64 paneCharacters(const LogView *pane)
{
    qint64 characters = 0;
    for (int i = 0; i < pane->lineCount(); ++i)
        characters += pane->line(i).size() + 1;
    return characters;
}

} // namespace

TEST(Soak, LongSeriesWithBothReportsOnThePseudoTerminalLosesNothing)
{
    const int messages = messageCount();
    RadioSetup setup;
    // Beyond the longest series the time limit of the wait below allows.
    setup.lifetimeSeconds = messages * msPerMessage / 1000 + 600;
    PtyRadio radio(setup);
    ASSERT_FALSE(radio.portName().isEmpty()) << "the radio program did not start";
    EndToEndWindow window;
    TForm1 &form = window.form();
    ASSERT_TRUE(window.connectTo(radio.portName()));
    ASSERT_TRUE(radio.portOpened());
    ASSERT_TRUE(window.registerAs(protocolId));
    window.compose(destination, QStringLiteral("Soak"), messages, 1);
    ASSERT_TRUE(window.requestBothReports());

    const qint64 residentBefore = residentBytes();
    const qint64 textBefore =
        paneCharacters(form.MessagesPad_Memo) + paneCharacters(form.CommandLogger_Memo);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(window.press(form.SendButton));

    // The panes are long by now: they are counted only once the series is over.
    const bool ended = runEventLoopUntil(
        [&] {
            return form.SendButton->text() == QStringLiteral("Send") &&
                   form.RadioState == rsRegistered && form.messagesAwaitingAnswer() == 0;
        },
        messages * msPerMessage);
    const qint64 seriesMs = clock.elapsed();
    // Reports travel with their completion; a last look lets a late one in.
    runEventLoopUntil(
        [&] { return window.messageEntriesStartingWith(reportReceived) >= 2 * messages; });

    const int completions = window.messageEntries(completed);
    const int written = window.loggerEntriesStartingWith(messageCommand);
    const int reports = window.messageEntriesStartingWith(reportReceived);
    // Freed heap that the allocator keeps for reuse is handed back first:
    // what is measured is what the program still holds.
    const qint64 residentUntrimmed = residentBytes();
    malloc_trim(0);
    const qint64 residentAfter = residentBytes();
    const qint64 paneText =
        paneCharacters(form.MessagesPad_Memo) + paneCharacters(form.CommandLogger_Memo);
    const std::optional<RadioSim::Counters> counters = radio.closeAndCount(window);
    const RadioSim::Counters radioCounts = counters.value_or(RadioSim::Counters());

    std::printf("soak: %d messages in %.1f s (%.1f ms each)\n", messages, seriesMs / 1000.0,
                double(seriesMs) / messages);
    std::printf("soak: window: %d messages written, %d completions, %d reports\n", written,
                completions, reports);
    std::printf("soak: radio: %d commands, %d completed, %d reports sent, %d refused, %d errors\n",
                radioCounts.commandsSeen, radioCounts.messagesCompleted, radioCounts.reportsSent,
                radioCounts.messagesRefused, radioCounts.errorsAnswered);
    std::printf("soak: RSS %.1f MiB before, %.1f MiB after (%.1f MiB before the allocator's "
                "free pages were returned) (+%.1f MiB); panes hold %.1f MiB of "
                "text (%.1f MiB at the start)\n",
                residentBefore / 1048576.0, residentAfter / 1048576.0,
                residentUntrimmed / 1048576.0, (residentAfter - residentBefore) / 1048576.0,
                paneText / 1048576.0, textBefore / 1048576.0);

    EXPECT_TRUE(ended) << "the series did not end with every message answered";
    ASSERT_TRUE(counters) << "the radio told no counters";
    EXPECT_EQ(written, messages);
    EXPECT_EQ(completions, messages);
    EXPECT_EQ(reports, 2 * messages);
    EXPECT_EQ(radioCounts.messagesCompleted, messages);
    EXPECT_EQ(radioCounts.reportsSent, 2 * messages);
    EXPECT_EQ(radioCounts.messagesRefused, 0);
    EXPECT_EQ(radioCounts.errorsAnswered, 0);
    EXPECT_LE(residentAfter - residentBefore, 2 * paneText);
}
