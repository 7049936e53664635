// corvane --run in the standard profile against a radio whose far end
// answers with short reports: counted as the reports they name, in the
// summary, the CSV and the exit status.
#include "tests/endtoend/PtyRadio.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct RunResult
{
    int exitCode = -1;
    QString out;
    QList<QByteArray> rows;
};

RunResult runWithShortReports(std::optional<quint8> type)
{
    RadioSetup setup;
    setup.dialect = radiosim::SimDialect::Etsi;
    setup.shortReports = true;
    setup.shortReportType = type;
    PtyRadio radio(setup);
    RunResult run;
    if (radio.portName().isEmpty())
        return run;
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("run.csv"));
    QProcess corvane;
    corvane.start(QStringLiteral(CORVANE_EXECUTABLE),
                  {"--run", "--port", radio.portName(), "--profile", "etsi", "--to", "4321",
                   "--count", "5", "--delay", "20", "--reports", "both", "--wait", "5", "--csv",
                   csv});
    if (!corvane.waitForFinished(60000)) {
        corvane.kill();
        corvane.waitForFinished();
        return run;
    }
    run.exitCode = corvane.exitStatus() == QProcess::NormalExit ? corvane.exitCode() : -1;
    run.out = QString::fromLocal8Bit(corvane.readAllStandardOutput());
    QFile file(csv);
    if (file.open(QIODevice::ReadOnly)) {
        run.rows = file.readAll().split('\n');
        run.rows.removeFirst();
        run.rows.removeLast();
    }
    return run;
}

TEST(RunModeShortReports, ShortReportsOfReceiptAndConsumptionCountAsBothReports)
{
    const RunResult run = runWithShortReports(std::nullopt);
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Reports: 5 received, 5 consumed, 0 other")))
        << run.out.toStdString();
    ASSERT_EQ(run.rows.size(), 5);
    for (const QByteArray &row : run.rows) {
        const QList<QByteArray> fields = row.trimmed().split(',');
        ASSERT_GE(fields.size(), 10) << row.constData();
        EXPECT_EQ(fields.at(7), QByteArray("00")) << row.constData();
        EXPECT_EQ(fields.at(9), QByteArray("02")) << row.constData();
    }
}

TEST(RunModeShortReports, AShortReportOfAFailureFailsTheRunAndIsNamedInTheCsv)
{
    const RunResult run = runWithShortReports(0); // protocol or encoding not supported
    EXPECT_EQ(run.exitCode, 1) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Reports: 0 received, 0 consumed, 10 other")))
        << run.out.toStdString();
    ASSERT_EQ(run.rows.size(), 5);
    for (const QByteArray &row : run.rows)
        EXPECT_TRUE(row.contains(",short report: protocol or encoding not supported,"))
            << row.constData();
}

} // namespace
