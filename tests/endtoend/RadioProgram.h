#pragma once

#include <QString>
#include <QStringList>
#include <memory>

// corvane-radiosim started with the given arguments, its output going to a
// file. Normally a child process; in the thread-checked build, where the
// checker cannot follow a child started by QProcess, the same runner on a
// thread of this process, stopped by the signal the program would get.
class RadioProgram
{
public:
    RadioProgram(const QStringList &arguments, const QString &outputPath);
    // Stops the radio and waits for it.
    ~RadioProgram();
    RadioProgram(const RadioProgram &) = delete;
    RadioProgram &operator=(const RadioProgram &) = delete;

    bool running() const;

private:
    struct Runner;
    std::unique_ptr<Runner> m_runner;
};
