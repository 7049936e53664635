#pragma once

// The corvane-radiosim program on a pseudo-terminal, quiet, as the radio of
// a benchmark: its own process, so its CPU time counts for neither of the
// terminals the benchmark compares.
#include "bench/ChildProcess.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

class PtyRadioProgram
{
public:
    PtyRadioProgram()
    {
        const QString output = m_dir.filePath(QStringLiteral("radiosim.out"));
        m_process = std::make_unique<ChildProcess>(CORVANE_RADIOSIM_EXECUTABLE,
                                                   std::vector<std::string>{"--quiet"},
                                                   QFile::encodeName(output).toStdString());
        // The device line comes at once; looked for every 10 ms, for 10 s.
        for (int i = 0; i < 1000 && m_path.isEmpty(); ++i) {
            QFile file(output);
            if (file.open(QIODevice::ReadOnly)) {
                const QByteArray line = file.readLine().trimmed();
                if (line.startsWith("Device: "))
                    m_path = QString::fromLocal8Bit(line.mid(8));
            }
            if (m_path.isEmpty())
                QThread::msleep(10);
        }
    }

    // The pseudo-terminal to open; empty when the program did not start.
    QString path() const { return m_path; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ChildProcess> m_process;
    QString m_path;
};
