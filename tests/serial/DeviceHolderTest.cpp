#include "serial/DeviceHolder.h"

#include "SerialTestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TEST(DeviceHolderTest, ProgramWithTheDeviceOpenIsFoundByPathAndByNumber)
{
    PtyPair pty;
    ProgramHolding holder(pty.slave());
    const std::optional<serial::DeviceHolder> byPath = serial::findDeviceHolder(pty.path());
    ASSERT_TRUE(byPath);
    EXPECT_EQ(byPath->pid, holder.pid());
    EXPECT_EQ(byPath->program, "sleep");

    struct stat info
    {
    };
    ASSERT_EQ(::fstat(pty.slave(), &info), 0);
    const std::optional<serial::DeviceHolder> byNumber = serial::findDeviceHolder(info.st_rdev);
    ASSERT_TRUE(byNumber);
    EXPECT_EQ(byNumber->pid, holder.pid());

    holder.end();
    EXPECT_FALSE(serial::findDeviceHolder(pty.path())) << "this process holds it, no other";
}

TEST(DeviceHolderTest, MasterHeldElsewhereDoesNotHoldTheSlave)
{
    PtyPair pty;
    ProgramHolding radio(pty.master());
    pty.closeMaster();
    EXPECT_FALSE(serial::findDeviceHolder(pty.path()));
}

TEST(DeviceHolderTest, PathsOfNoDeviceHaveNoHolder)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("plain");
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    EXPECT_FALSE(serial::findDeviceHolder(file));
    EXPECT_FALSE(serial::findDeviceHolder(dir.filePath("absent")));
}

} // namespace
