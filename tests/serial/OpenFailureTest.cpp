#include "serial/OpenFailure.h"

#include "SerialTestSupport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using serial::OpenFailure;

TEST(OpenFailureTest, AbsentDeviceIsMissingWhateverTheError)
{
    for (int error : {ENOENT, ENODEV, ENXIO, EACCES}) {
        const OpenFailure failure = serial::diagnoseOpenFailure("/dev/ttyUSB-not-there", error);
        EXPECT_EQ(failure.reason, OpenFailure::Reason::Missing) << error;
        EXPECT_EQ(failure.error, error);
    }
}

TEST(OpenFailureTest, NameThatIsNoPathIsJudgedByTheError)
{
    EXPECT_EQ(serial::diagnoseOpenFailure("SIM", EBUSY).reason, OpenFailure::Reason::InUse);
    EXPECT_EQ(serial::diagnoseOpenFailure("SIM", ENODEV).reason, OpenFailure::Reason::Missing);
    EXPECT_EQ(serial::diagnoseOpenFailure("SIM", EINVAL).reason, OpenFailure::Reason::Other);
}

TEST(OpenFailureTest, RefusedDeviceNamesItsOwningGroup)
{
    struct stat info
    {
    };
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    const group *owner = ::getgrgid(info.st_gid);
    ASSERT_NE(owner, nullptr);
    for (int error : {EACCES, EPERM}) {
        const OpenFailure failure = serial::diagnoseOpenFailure("/dev/null", error);
        EXPECT_EQ(failure.reason, OpenFailure::Reason::PermissionDenied);
        EXPECT_EQ(failure.group, QString::fromLocal8Bit(owner->gr_name));
    }
}

TEST(OpenFailureTest, BusyDeviceNamesTheProgramThatHoldsIt)
{
    PtyPair pty;
    QProcess holder;
    holder.setStandardInputFile(pty.path());
    holder.start("sleep", {"60"});
    ASSERT_TRUE(holder.waitForStarted());
    const OpenFailure failure = serial::diagnoseOpenFailure(pty.path(), EBUSY);
    EXPECT_EQ(failure.reason, OpenFailure::Reason::InUse);
    EXPECT_EQ(failure.holder, "sleep");
    EXPECT_EQ(failure.holderPid, holder.processId());
    holder.kill();
    holder.waitForFinished();

    // Held by nobody this process can see: in use, by an unknown program.
    const OpenFailure unknown = serial::diagnoseOpenFailure(pty.path(), EWOULDBLOCK);
    EXPECT_EQ(unknown.reason, OpenFailure::Reason::InUse);
    EXPECT_EQ(unknown.holderPid, 0);
}

TEST(OpenFailureTest, OtherErrorsKeepTheSystemsMessage)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("plain");
    QFile(file).open(QIODevice::WriteOnly);
    const OpenFailure failure = serial::diagnoseOpenFailure(file, ENOTTY);
    EXPECT_EQ(failure.reason, OpenFailure::Reason::Other);
    EXPECT_EQ(failure.systemMessage, "Inappropriate ioctl for device");
}

TEST(OpenFailureTest, LossErrorsAreThoseOfAVanishedOrClosedDevice)
{
    for (int error : {EIO, ENXIO, ENODEV, EBADF, EPIPE})
        EXPECT_TRUE(serial::isDeviceLoss(error)) << error;
    for (int error : {0, ETIMEDOUT, EINVAL, EAGAIN, EBUSY})
        EXPECT_FALSE(serial::isDeviceLoss(error)) << error;
}
