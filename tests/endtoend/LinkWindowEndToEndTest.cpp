// A link test in the window, as a user runs it: SIM sends, SIM2 (the second
// simulated radio, on one network with SIM) receives, and the Series panel
// tells what arrived.
#include "radiosim/SimDevice.h"
#include "serial/DeviceRegistry.h"
#include "session/LinkTest.h"
#include "tests/endtoend/EndToEndWindow.h"
#include "tests/endtoend/EventLoopWait.h"
#include "window/ReceiverPanel.h"
#include "window/SaveDialog.h"
#include "window/SeriesPanel.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

constexpr int protocolId = 130;
constexpr int receiverIssi = 1235;
constexpr int messages = 20;

class LinkWindowEndToEnd : public testing::TestWithParam<RadioProfile>
{
protected:
    void SetUp() override
    {
        radiosim::SimPair pair;
        pair.network.delayMs = 30;
        const radiosim::SimDialect dialect = GetParam() == RadioProfile::Etsi
                                                 ? radiosim::SimDialect::Etsi
                                                 : radiosim::SimDialect::Cmt;
        radiosim::registerSimDevicePair(pair, [dialect] { return dialect; });
        window = std::make_unique<EndToEndWindow>();
    }
    void TearDown() override
    {
        window.reset();
        serial::unregisterDevice(QStringLiteral("SIM"));
        serial::unregisterDevice(QStringLiteral("SIM2"));
    }
    TForm1 &form() { return window->form(); }
    ReceiverPanel &receiver() { return *form().ReceiverPanel1; }

    std::unique_ptr<EndToEndWindow> window;
};

std::string profileName(const testing::TestParamInfo<RadioProfile> &info)
{
    return info.param == RadioProfile::Etsi ? "Etsi" : "Cmt";
}

TEST_P(LinkWindowEndToEnd, ATwentyMessageLinkTestIsCountedInTheSeriesPanel)
{
    // No receiver until one is chosen: the series is as it always was.
    EXPECT_EQ(receiver().ReceiverComboBox->currentText(), ReceiverPanel::NoReceiverText);
    EXPECT_FALSE(form().SeriesPanel1->linkRowsVisible());
    // The receiver list offers the second simulated radio.
    EXPECT_GE(receiver().ReceiverComboBox->findText(QStringLiteral("SIM2")), 0);

    ASSERT_TRUE(window->chooseProfile(GetParam()));
    receiver().ReceiverComboBox->setEditText(QStringLiteral("SIM2"));
    receiver().ReceiverProfileComboBox->setCurrentIndex(int(GetParam()));
    EXPECT_TRUE(form().SeriesPanel1->linkRowsVisible());

    ASSERT_TRUE(window->connectTo(QStringLiteral("SIM")));
    ASSERT_TRUE(waitUntil([&] { return form().receiverSession().RadioState == rsReady; },
                          QStringLiteral("the receiver's answer to the probe")));
    EXPECT_FALSE(receiver().ReceiverComboBox->isEnabled()) << "locked while connected";
    ASSERT_TRUE(window->registerAs(protocolId));
    ASSERT_TRUE(waitUntil([&] { return form().receiverSession().RadioState == rsRegistered; },
                          QStringLiteral("the receiver's registration")));
    EXPECT_TRUE(receiver().ReceiverStateLabel->text().endsWith(QStringLiteral("registered")))
        << receiver().ReceiverStateLabel->text().toStdString();

    window->compose(receiverIssi, QStringLiteral("Across the network"), messages, 30);
    ASSERT_TRUE(window->requestBothReports());
    ASSERT_TRUE(window->press(form().SendButton));
    const QString allThere = QStringLiteral("Delivered 20, Lost 0, In transit 0, Foreign 0, "
                                            "Duplicated 0, Out of order 0, Corrupted 0, "
                                            "Delivery ratio 1.000");
    ASSERT_TRUE(waitUntil(
        [&] {
            return form().SeriesPanel1->linkCountsText() == allThere &&
                   form().seriesStatistics().counts().stillWaiting == 0;
        },
        QStringLiteral("every message delivered and answered: ") +
            form().SeriesPanel1->linkCountsText(),
        4 * stepTimeoutMs));
    form().SeriesPanel1->refresh();
    EXPECT_TRUE(form().SeriesPanel1->countsText().startsWith(
        QStringLiteral("Sent 20, Queued 0, Completed 20, Refused 0, No answer 0, Received "
                       "reports 20, Consumed reports 20")))
        << form().SeriesPanel1->countsText().toStdString();
    EXPECT_EQ(form().linkTest().results().counts().reportsSent, 2 * messages);
    ASSERT_TRUE(form().linkTest().results().deliveryFigures());
    EXPECT_GE(form().linkTest().results().deliveryFigures()->medianMs, 30);

    // Each radio's lines carry its name; the receiver's show the tagged texts.
    EXPECT_GT(window->loggerEntriesStartingWith(QStringLiteral(" SIM pc: AT")), 0);
    EXPECT_GT(window->loggerEntriesStartingWith(QStringLiteral(" SIM2 ms:")), 0);
    EXPECT_EQ(window->loggerEntriesStartingWith(QStringLiteral(" pc:")), 0);
    EXPECT_EQ(
        window->messageEntriesStartingWith(QStringLiteral(" SIM2: Message received from 1234: ")),
        messages);
    EXPECT_EQ(window->messageEntriesStartingWith(QStringLiteral(" SIM: Send command completed")),
              messages);

    // "Save series..." writes the link test: a row per message with the link columns.
    QTemporaryDir folder;
    const QString csvFile = folder.filePath(QStringLiteral("link.csv"));
    TSaveDialog::setHandler([&](const TSaveDialog &) { return csvFile; });
    form().SeriesPanel1->SaveSeriesButton->click();
    TSaveDialog::setHandler({});
    // Written in the background; the summary comes last.
    ASSERT_TRUE(
        waitUntil([&] { return QFile::exists(folder.filePath(QStringLiteral("link.json"))); },
                  QStringLiteral("the saved link test")));
    QFile csv(csvFile);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_EQ(lines.size(), messages + 2);
    EXPECT_TRUE(lines.first().contains(",link_tag,sent_by,arrival_time,delivery_ms,"));
    for (int i = 1; i <= messages; ++i)
        EXPECT_TRUE(lines.at(i).startsWith(QByteArray::number(i) + ',') &&
                    lines.at(i).contains(",delivered,2,2\r"))
            << lines.at(i).constData();
}

INSTANTIATE_TEST_SUITE_P(BothProfiles, LinkWindowEndToEnd,
                         testing::Values(RadioProfile::Cmt, RadioProfile::Etsi), profileName);

} // namespace
