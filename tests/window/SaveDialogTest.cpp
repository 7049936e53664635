#include "window/SaveDialog.h"

#include "formstate/SettingsLocation.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <optional>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// What a check run with a read-only program folder found, or why it could not run.
struct Outcome
{
    std::optional<QByteArray> found;
    QString skipReason;
};

// Runs `check` in a child process that sees the program's folder read-only,
// as an installed program's is, in a mount namespace of its own so that
// nothing else sees the change. The child is forked from this process
// directly: it keeps the application object and its state.
Outcome withReadOnlyProgramFolder(const std::function<QByteArray()> &check)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return {std::nullopt, QStringLiteral("no pipe")};
    const QByteArray folder = QFile::encodeName(QCoreApplication::applicationDirPath());
    const pid_t child = ::fork();
    if (child < 0)
        return {std::nullopt, QStringLiteral("no child process")};
    if (child == 0) {
        ::close(pipeEnds[0]);
        const bool readOnly =
            ::unshare(CLONE_NEWNS) == 0 &&
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
            ::mount(folder.constData(), folder.constData(), nullptr, MS_BIND, nullptr) == 0 &&
            ::mount(nullptr, folder.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                    nullptr) == 0;
        // A leading "!" says the folder could not be made read-only.
        const QByteArray result = readOnly ? "=" + check() : QByteArray("!") + std::strerror(errno);
        const ssize_t written = ::write(pipeEnds[1], result.constData(), size_t(result.size()));
        ::_exit(written == result.size() ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    QByteArray result;
    const QDeadlineTimer deadline(30000);
    for (;;) {
        pollfd readable{pipeEnds[0], POLLIN, 0};
        const int ready = ::poll(&readable, 1, int(deadline.remainingTime()));
        if (ready < 0 && errno == EINTR)
            continue;
        char buffer[512];
        const ssize_t got = ready > 0 ? ::read(pipeEnds[0], buffer, sizeof buffer) : 0;
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        result.append(buffer, int(got));
    }
    ::close(pipeEnds[0]);
    if (deadline.hasExpired())
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (result.startsWith('!'))
        return {std::nullopt, "cannot make the program's folder read-only here (" +
                                  QString::fromLocal8Bit(result.mid(1)) + ")"};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !result.startsWith('='))
        return {QByteArray("the check did not finish"), {}};
    return {result.mid(1), {}};
}

} // namespace

TEST(SaveDialogTest, ADialogWithoutAFolderStartsBesideAProgramWhoseFolderTakesFiles)
{
    const TSaveDialog fresh;
    EXPECT_EQ(fresh.startPath(), formstate::executableFolder());
}

TEST(SaveDialogTest, DialogsOfAnInstalledProgramStartInTheUsersDocuments)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(QDir(home.path()).mkdir("Documents"));
    const Outcome outcome = withReadOnlyProgramFolder([&] {
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(".config")));
        // As the series panel's dialog, which keeps no folder, and as one
        // whose stored folder is the program's, as earlier versions kept it.
        const TSaveDialog fresh;
        TSaveDialog stored;
        stored.setInitialDir(formstate::executableFolder());
        return QFile::encodeName(fresh.startPath() + '\n' + stored.startPath());
    });
    if (!outcome.found)
        GTEST_SKIP() << qPrintable(outcome.skipReason);
    const QString documents = home.filePath("Documents") + '/';
    EXPECT_EQ(QFile::decodeName(*outcome.found), documents + '\n' + documents);
}

TEST(SaveDialogTest, TheLastFileChosenIsWhereTheNextSaveStarts)
{
    QTemporaryDir dir;
    TSaveDialog dialog;
    dialog.setInitialDir(dir.path() + '/');
    EXPECT_EQ(dialog.startPath(), dir.path() + '/');
    TSaveDialog::setHandler([&](const TSaveDialog &) { return dir.filePath("log.txt"); });
    ASSERT_TRUE(dialog.Execute(nullptr));
    TSaveDialog::setHandler({});
    EXPECT_EQ(dialog.startPath(), dir.filePath("log.txt"));
}
