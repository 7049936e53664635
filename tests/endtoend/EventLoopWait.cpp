#include "tests/endtoend/EventLoopWait.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace {
// How often the condition is looked at; the window's own timers run freely
// in between.
constexpr int checkIntervalMs = 5;
} // namespace

bool runEventLoopUntil(const std::function<bool()> &condition, int timeoutMs)
{
    if (condition())
        return true;
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition() || deadline.hasExpired())
            loop.quit();
    });
    check.start(checkIntervalMs);
    loop.exec();
    return condition();
}

testing::AssertionResult waitUntil(const std::function<bool()> &condition, const QString &what,
                                   int timeoutMs)
{
    if (runEventLoopUntil(condition, timeoutMs))
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "no " << what.toStdString() << " within " << timeoutMs << " ms";
}
