// The link test of corvane --run between the two radios of
// corvane-radiosim --pair: what the CSV says of each message must be what
// the simulated network and the receiving radio logged they did with it.
#include "tests/endtoend/CorvaneRun.h"
#include "tests/endtoend/PtyRadio.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>

namespace {

constexpr int senderIssi = 1234;
constexpr int receiverIssi = 1235;
constexpr qint64 medianToleranceMs = 20;

// The tag of a text as the run writes it: run identifier, sequence number.
std::optional<int> sequenceInHex(const QString &hex)
{
    static const QRegularExpression tag(QStringLiteral("#[0-9a-f]{4}:([0-9]{4,9}) "));
    const QRegularExpressionMatch match =
        tag.match(QString::fromLatin1(QByteArray::fromHex(hex.toLatin1())));
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toInt();
}

// What the network and the receiving radios logged of one message.
struct Logged
{
    QString hexSent;
    qint64 sentAtMs = 0;
    QString fate;
    int from = 0;
    // Each copy the radio at the far end passed to its terminal.
    QList<qint64> deliveredAtMs;
    QStringList deliveredHex;
    bool outOfOrder = false;
};

// By sequence number, from the log of corvane-radiosim --pair.
std::map<int, Logged> messagesInLog(const QStringList &log)
{
    static const QRegularExpression sent(
        QStringLiteral("\\] net ([0-9]+) ms: ([0-9]+) > ([0-9]+) ([0-9A-F]+): (.*)$"));
    static const QRegularExpression delivered(
        QStringLiteral("\\] ([0-9]+): delivered ([0-9]+) ms: ([0-9]+) > ([0-9]+) ([0-9A-F]+)$"));
    std::map<int, Logged> messages;
    std::map<int, int> highestDelivered; // by sending radio
    for (const QString &line : log) {
        const QRegularExpressionMatch carried = sent.match(line);
        if (carried.hasMatch()) {
            if (const std::optional<int> sequence = sequenceInHex(carried.captured(4))) {
                Logged &message = messages[*sequence];
                message.sentAtMs = carried.captured(1).toLongLong();
                message.from = carried.captured(2).toInt();
                message.hexSent = carried.captured(4);
                message.fate = carried.captured(5);
            }
            continue;
        }
        const QRegularExpressionMatch passedOn = delivered.match(line);
        if (!passedOn.hasMatch())
            continue;
        if (const std::optional<int> sequence = sequenceInHex(passedOn.captured(5))) {
            Logged &message = messages[*sequence];
            if (message.deliveredAtMs.isEmpty()) {
                int &highest = highestDelivered[passedOn.captured(3).toInt()];
                message.outOfOrder = highest > *sequence;
                highest = std::max(highest, *sequence);
            }
            message.deliveredAtMs.append(passedOn.captured(2).toLongLong());
            message.deliveredHex.append(passedOn.captured(5));
        }
    }
    return messages;
}

// The rows of a CSV file by the sequence number in their link tag, each
// row by column name.
using CsvRow = std::map<QString, QString>;
std::map<int, CsvRow> csvRowsBySequence(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
    const QStringList header = lines.value(0).split(QLatin1Char(','));
    std::map<int, CsvRow> rows;
    for (const QString &line : lines.mid(1)) {
        if (line.isEmpty())
            continue;
        const QStringList fields = line.split(QLatin1Char(','));
        CsvRow row;
        for (qsizetype i = 0; i < header.size(); ++i)
            row[header[i]] = fields.value(i);
        rows[row["index"].toInt()] = row;
    }
    return rows;
}

qint64 median(QList<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at((values.size() + 1) / 2 - 1);
}

class LinkRunEndToEnd : public testing::TestWithParam<radiosim::SimDialect>
{
protected:
    // Starts the two radios on a network, and runs a link test of `count`
    // messages between them with the extra arguments.
    void run(const radiosim::NetworkOptions &network, int count, const QStringList &extra)
    {
        RadioSetup setup;
        setup.dialect = GetParam();
        setup.network = network;
        radio = std::make_unique<PtyRadio>(setup);
        ASSERT_FALSE(radio->secondPortName().isEmpty()) << "the radios did not start";
        csvFile = dir.filePath(QStringLiteral("link.csv"));
        jsonFile = dir.filePath(QStringLiteral("link.json"));
        result =
            runCorvane(QStringList{"--run", "--port", radio->portName(), "--receiver",
                                   radio->secondPortName(), "--to", QString::number(receiverIssi),
                                   "--profile", profile(), "--count", QString::number(count),
                                   "--delay", "20", "--csv", csvFile, "--json", jsonFile} +
                       extra);
        rows = csvRowsBySequence(csvFile);
        logged = messagesInLog(radio->logLines());
    }
    QString profile() const
    {
        return GetParam() == radiosim::SimDialect::Etsi ? QStringLiteral("etsi")
                                                        : QStringLiteral("cmt");
    }
    QJsonObject linkSummary() const
    {
        QFile file(jsonFile);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object()["link"].toObject();
    }
    std::string output() const { return (result.out + result.err).toStdString(); }

    QTemporaryDir dir;
    std::unique_ptr<PtyRadio> radio;
    QString csvFile;
    QString jsonFile;
    RunResult result;
    std::map<int, CsvRow> rows;
    std::map<int, Logged> logged;
};

std::string profileName(const testing::TestParamInfo<radiosim::SimDialect> &info)
{
    return info.param == radiosim::SimDialect::Etsi ? "Etsi" : "Cmt";
}

TEST_P(LinkRunEndToEnd, TwoHundredMessagesOverAGoodNetworkArriveIntactOnceInOrderAndOnTime)
{
    radiosim::NetworkOptions network;
    network.delayMs = 40;
    network.seed = 7;
    run(network, 200, {"--reports", "both", "--wait", "5"});
    EXPECT_EQ(result.exitCode, 0) << output();
    EXPECT_TRUE(result.out.contains(
        QStringLiteral("200 delivered (200 intact), 0 lost, 0 in transit, 0 duplicated, 0 out of "
                       "order, 0 corrupted, 0 foreign")))
        << output();
    ASSERT_EQ(rows.size(), 200u) << output();
    QList<qint64> measured;
    QList<qint64> byTheRadio;
    for (const auto &[sequence, row] : rows) {
        EXPECT_EQ(row.at("arrivals"), "1") << sequence;
        EXPECT_EQ(row.at("intact"), "yes") << sequence;
        EXPECT_EQ(row.at("out_of_order"), "no") << sequence;
        EXPECT_EQ(row.at("delivery_result"), "delivered") << sequence;
        EXPECT_EQ(row.at("completion_result"), "completed") << sequence;
        EXPECT_EQ(row.at("received_report_status"), "00") << sequence;
        EXPECT_EQ(row.at("consumed_report_status"), "02") << sequence;
        EXPECT_EQ(row.at("far_end_reports_requested"), "2") << sequence;
        EXPECT_EQ(row.at("far_end_reports_sent"), "2") << sequence;
        measured.append(row.at("delivery_ms").toLongLong());
        const Logged &message = logged[sequence];
        ASSERT_EQ(message.deliveredAtMs.size(), 1) << sequence;
        byTheRadio.append(message.deliveredAtMs.first() - message.sentAtMs);
    }
    EXPECT_EQ(linkSummary()["deliveryRatio"].toDouble(), 1.0);
    // The radio delivers on its own clock, late when the machine is busy:
    // what Corvane measured follows what the radio did, and the network
    // kept its delay.
    EXPECT_GE(median(byTheRadio), network.delayMs);
    EXPECT_LE(std::abs(median(measured) - median(byTheRadio)), medianToleranceMs)
        << "measured " << median(measured) << " ms, the radio " << median(byTheRadio) << " ms";
    EXPECT_LE(std::abs(median(measured) - network.delayMs),
              medianToleranceMs + (median(byTheRadio) - network.delayMs));
}

TEST_P(LinkRunEndToEnd, OnAnImpairedNetworkEachMessageIsCountedAsTheNetworkLoggedIt)
{
    radiosim::NetworkOptions network;
    network.delayMs = 30;
    network.loss = 0.05;
    network.duplicate = 0.02;
    network.reorder = 0.05;
    network.corrupt = 0.01;
    network.seed = 20251208;
    run(network, 200, {"--wait", "3"});
    ASSERT_EQ(rows.size(), 200u) << output();
    std::map<QString, int> fates;
    int lost = 0, duplicated = 0, outOfOrder = 0, corrupted = 0, intact = 0;
    for (const auto &[sequence, row] : rows) {
        ASSERT_TRUE(logged.count(sequence)) << "the network never carried " << sequence;
        const Logged &message = logged[sequence];
        fates[message.fate.section(QLatin1Char(' '), 0, 0)] += 1;
        const int arrivals = int(message.deliveredAtMs.size());
        EXPECT_EQ(row.at("arrivals").toInt(), arrivals)
            << sequence << " " << message.fate.toStdString();
        if (arrivals == 0) {
            EXPECT_EQ(row.at("delivery_result"), "lost") << sequence;
            ++lost;
            continue;
        }
        const bool asSent = message.deliveredHex.count(message.hexSent) == arrivals;
        EXPECT_EQ(asSent, !message.fate.startsWith(QLatin1String("corrupted"))) << sequence;
        EXPECT_EQ(row.at("intact"), asSent ? "yes" : "no") << sequence;
        EXPECT_EQ(row.at("out_of_order"), message.outOfOrder ? "yes" : "no") << sequence;
        duplicated += arrivals > 1 ? 1 : 0;
        outOfOrder += message.outOfOrder ? 1 : 0;
        corrupted += asSent ? 0 : 1;
        intact += asSent ? 1 : 0;
    }
    // The seed gives every kind of trouble.
    for (const char *fate : {"lost", "duplicated", "reordered:", "corrupted"})
        EXPECT_GT(fates[QLatin1String(fate)], 0) << fate;
    EXPECT_GT(outOfOrder, 0);
    const QJsonObject summary = linkSummary();
    EXPECT_EQ(summary["lost"].toInt(), lost);
    EXPECT_EQ(summary["duplicated"].toInt(), duplicated);
    EXPECT_EQ(summary["outOfOrder"].toInt(), outOfOrder);
    EXPECT_EQ(summary["corrupted"].toInt(), corrupted);
    EXPECT_DOUBLE_EQ(summary["deliveryRatio"].toDouble(), intact / 200.0);
    EXPECT_EQ(result.exitCode, 1) << "a lost message fails the run";
}

TEST_P(LinkRunEndToEnd, AnImpairedNetworkPassesWithTheDeliveryRatioItIsAllowed)
{
    radiosim::NetworkOptions network;
    network.loss = 0.1;
    network.seed = 99;
    run(network, 50, {"--wait", "2", "--min-delivery", "0.75"});
    const double ratio = linkSummary()["deliveryRatio"].toDouble();
    ASSERT_GT(ratio, 0.75);
    ASSERT_LT(ratio, 1.0);
    EXPECT_EQ(result.exitCode, 0) << output();
}

TEST_P(LinkRunEndToEnd, BothWaysEachRadioSendsEveryOtherMessageToTheOther)
{
    radiosim::NetworkOptions network;
    network.delayMs = 20;
    network.seed = 3;
    run(network, 41, {"--both-ways", "--reports", "received", "--wait", "5"});
    EXPECT_EQ(result.exitCode, 0) << output();
    EXPECT_TRUE(result.out.contains(QStringLiteral("Sender to receiver:\nMessages: 21 sent")))
        << output();
    EXPECT_TRUE(result.out.contains(QStringLiteral("Receiver to sender:\nMessages: 20 sent")))
        << output();
    ASSERT_EQ(rows.size(), 41u) << output();
    for (const auto &[sequence, row] : rows) {
        const bool fromSender = sequence % 2 == 1;
        EXPECT_EQ(row.at("sent_by"), fromSender ? "sender" : "receiver") << sequence;
        EXPECT_EQ(row.at("destination").toInt(), fromSender ? receiverIssi : senderIssi)
            << sequence;
        EXPECT_EQ(row.at("delivery_result"), "delivered") << sequence;
        EXPECT_EQ(row.at("received_report_status"), "00") << sequence;
        EXPECT_EQ(logged[sequence].from, fromSender ? senderIssi : receiverIssi) << sequence;
        EXPECT_EQ(logged[sequence].deliveredAtMs.size(), 1) << sequence;
    }
    EXPECT_EQ(linkSummary()["deliveredIntact"].toInt(), 41);
}

INSTANTIATE_TEST_SUITE_P(BothProfiles, LinkRunEndToEnd,
                         testing::Values(radiosim::SimDialect::Cmt, radiosim::SimDialect::Etsi),
                         profileName);

} // namespace
