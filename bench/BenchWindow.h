#pragma once

// The main window driven as a user drives it, for the benchmarks.
#include "controls/Getdata.h"
#include "window/Corvane_main.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

// Runs the event loop until `done` (looked at every 20 ms, so that the
// wait itself costs next to nothing) or the time-out; false on time-out.
inline bool runUntil(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    bool met = false;
    QTimer look;
    look.setInterval(20);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done()) {
            met = true;
            loop.quit();
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    look.start();
    loop.exec();
    return met;
}

inline void runFor(int ms)
{
    runUntil([] { return false; }, ms);
}

// A shown window with settings of its own, its port typed in.
struct BenchWindow
{
    QTemporaryDir settings;
    std::unique_ptr<TForm1> form;

    explicit BenchWindow(const QString &port)
    {
        form = std::make_unique<TForm1>(settings.filePath("corvane.set"));
        form->show();
        form->ComPortComboBox->setEditText(port);
    }

    // Connects, registers protocol identifier 130, and waits for both answers.
    bool connectAndRegister()
    {
        form->ConnectButtonClick();
        if (!runUntil([&] { return form->RadioState == rsReady; }, 10000))
            return false;
        form->ProtocolIdentifierEdit->setText(QStringLiteral("130"));
        form->RegisterButtonClick();
        return runUntil([&] { return form->RadioState == rsRegistered; }, 10000);
    }

    // Fills in a series to 4321 and presses Send.
    void sendSeries(int messages, int delayMs, bool bothReports)
    {
        if (bothReports) {
            form->CheckBoxRec->setChecked(true);
            form->CheckBoxCon->setChecked(true);
            form->CheckBoxRecClick();
            form->CheckBoxConClick();
        }
        form->DestISSI_Edit->setText(QStringLiteral("4321"));
        form->Message_Edit->setEditText(QStringLiteral("Series"));
        form->RepititionsEdit->setText(QString::number(messages));
        form->DelayEdit->setText(QString::number(delayMs));
        form->SendButtonClick();
    }

    // Every message composed, answered and its reports come (or given up).
    bool seriesDone(int messages) const
    {
        const SeriesStatistics::Counts counts = form->seriesStatistics().counts();
        return counts.scheduled == messages && counts.stillWaiting == 0;
    }
};
