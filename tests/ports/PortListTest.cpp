#include "ports/PortList.h"

#include <gtest/gtest.h>

namespace {

serial::PortInfo usbPort()
{
    return {"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A50285BI",
            "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"};
}

QStringList texts(const QList<PortEntry> &entries)
{
    QStringList result;
    for (const PortEntry &entry : entries)
        result << entry.text;
    return result;
}

} // namespace

TEST(PortListTest, EntryShowsThePathAndWhatTheSystemKnows)
{
    EXPECT_EQ(portEntryText(usbPort()), "/dev/ttyUSB0 (FT232R USB UART, FTDI, A50285BI)");
    EXPECT_EQ(portEntryText({"/dev/ttyACM0", "", "Kestrel Radioworks", "", ""}),
              "/dev/ttyACM0 (Kestrel Radioworks)");
    // Blank parts and repeats say nothing.
    EXPECT_EQ(portEntryText({"/dev/ttyACM1", "Radio", " Radio ", " ", ""}), "/dev/ttyACM1 (Radio)");
    EXPECT_EQ(portEntryText({"/dev/ttyS4", "", "", "", ""}), "/dev/ttyS4");
}

TEST(PortListTest, ComPortsComeFirstThenPortsWithTheirLinksThenTypedPathThenSim)
{
    const QList<serial::PortInfo> ports = {usbPort(), {"/dev/ttyS0", "", "", "", ""}};
    const QList<PortEntry> entries = buildPortList(ports, "/tmp/radio-link", true);
    EXPECT_EQ(texts(entries),
              QStringList({"COM1", "COM2", "COM3", "COM4",
                           "/dev/ttyUSB0 (FT232R USB UART, FTDI, A50285BI)",
                           "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0 "
                           "(stable name of /dev/ttyUSB0)",
                           "/dev/ttyS0", "/tmp/radio-link", "SIM"}));
    EXPECT_EQ(entries.at(4).path, "/dev/ttyUSB0");
    EXPECT_EQ(entries.at(5).path, usbPort().byIdLink);
    EXPECT_EQ(entries.at(7).path, "/tmp/radio-link");

    // Without the simulated radio, and with a typed path that is listed anyway.
    EXPECT_EQ(texts(buildPortList(ports, "/dev/ttyUSB0", false)).size(), 7);
    EXPECT_EQ(texts(buildPortList({}, "COM2", false)),
              QStringList({"COM1", "COM2", "COM3", "COM4"}));
}

TEST(PortListTest, TextsMapToThePathsTheyShow)
{
    const QList<serial::PortInfo> ports = {usbPort()};
    const QList<PortEntry> entries = buildPortList(ports, QString(), true);
    EXPECT_EQ(portPathForText("/dev/ttyUSB0 (FT232R USB UART, FTDI, A50285BI)", entries),
              "/dev/ttyUSB0");
    EXPECT_EQ(portPathForText("COM3", entries), "COM3");
    EXPECT_EQ(portPathForText("SIM", entries), "SIM");
    // Typed text is a path of its own, blanks around it dropped.
    EXPECT_EQ(portPathForText(" /dev/ttyUSB7 ", entries), "/dev/ttyUSB7");
    EXPECT_EQ(portPathForText("/dev/ttyUSB0 (something else)", entries),
              "/dev/ttyUSB0 (something else)");
}

TEST(PortListTest, ByIdLinksAndListedPathsAreFoundEitherWay)
{
    const QList<serial::PortInfo> ports = {usbPort(), {"/dev/ttyS0", "", "", "", ""}};
    for (const QString &path : {QStringLiteral("/dev/ttyUSB0"), usbPort().byIdLink}) {
        const std::optional<serial::PortInfo> usb = portInfoFor(path, ports);
        ASSERT_TRUE(usb) << path.toStdString();
        EXPECT_EQ(usb->path, QStringLiteral("/dev/ttyUSB0"));
        EXPECT_EQ(usb->serialNumber, usbPort().serialNumber);
        EXPECT_EQ(usb->byIdLink, usbPort().byIdLink);
    }
    ASSERT_TRUE(portInfoFor("/dev/ttyS0", ports));
    EXPECT_TRUE(portInfoFor("/dev/ttyS0", ports)->byIdLink.isEmpty());
    EXPECT_FALSE(portInfoFor("/dev/ttyUSB1", ports));
    // A port without a link is not found under an empty name.
    EXPECT_FALSE(portInfoFor("", ports));

    for (const char *listed : {"COM1", "COM4", "SIM", "/dev/ttyUSB0", "/dev/ttyS0"})
        EXPECT_TRUE(isListedPort(listed, ports)) << listed;
    EXPECT_TRUE(isListedPort(usbPort().byIdLink, ports));
    for (const char *typed : {"/dev/pts/3", "COM5", "/dev/ttyUSB1"})
        EXPECT_FALSE(isListedPort(typed, ports)) << typed;
}
