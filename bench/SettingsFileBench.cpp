// Starts and closes the main window on a settings file of just under 1 MiB
// (a message history of many thousand entries, every one of which is loaded
// and saved again), and, as the floor, reads and atomically rewrites the
// same file whole. Prints both; exits with 1 when loading or saving takes a
// second or more.
#include "controls/Getdata.h"
#include "window/Corvane_main.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr qint64 FileLimit = 1 << 20;

QByteArray settingsOfAlmostOneMebibyte()
{
    QByteArray entries;
    int count = 0;
    while (entries.size() < FileLimit - 4096) {
        ++count;
        entries += "Message_Edit" + QByteArray::number(count) + "=history entry number " +
                   QByteArray::number(count) + " of the message field\n";
    }
    return "[TForm1]\nMessage_Edit0=" + QByteArray::number(count) + "\nMessage_EditText=Hi\n" +
           entries +
           "[TForm1State]\nForm1.Left=10\nForm1.Top=10\nForm1.Width=700\nForm1.Height=500\n"
           "Form1.WindowState=0\n";
}

double seconds(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath("corvane.set");
    const QByteArray content = settingsOfAlmostOneMebibyte();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return 2;
    }

    QElapsedTimer clock;
    clock.start();
    auto form = std::make_unique<TForm1>(path);
    const double load = seconds(clock);
    const int entries = form->Message_Edit->count();
    clock.restart();
    form.reset();
    const double save = seconds(clock);
    QFile saved(path);
    const qint64 savedSize = saved.size();

    clock.restart();
    QByteArray floorContent;
    {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            floorContent = file.readAll();
    }
    const double floorLoad = seconds(clock);
    clock.restart();
    {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(floorContent) != floorContent.size() ||
            !file.commit())
            return 2;
    }
    const double floorSave = seconds(clock);

    std::printf("settings file of %lld octets, %d history entries (saved back: %lld octets)\n",
                static_cast<long long>(content.size()), entries, static_cast<long long>(savedSize));
    std::printf("              window   file read/written whole\n");
    std::printf("load (s)    %8.3f   %8.3f\n", load, floorLoad);
    std::printf("save (s)    %8.3f   %8.3f\n", save, floorSave);
    const bool met = load < 1.0 && save < 1.0;
    std::printf("goal (under 1 s each): %s\n", met ? "met" : "NOT MET");
    return met ? 0 : 1;
}
