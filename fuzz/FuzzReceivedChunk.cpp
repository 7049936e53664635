// Arbitrary bytes from the radio, in arbitrary reads, into the main window:
// the response framer, the dispatcher and the indication handling behind it,
// in every state of the dialogue. Whatever arrives, nothing throws, every
// byte reaches the PEI logger and the window writes nothing but well-formed
// reports.
#include "controls/LogView.h"
#include "pei/ResponseFramer.h"
#include "serial/DeviceRegistry.h"
#include "serial/TestDevice.h"
#include "window/Corvane_main.h"
#include "window/ModalBox.h"

#include <QApplication>
#include <QComboBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

// A report command: validated digits, then decoded octets as hex.
bool isWellFormedReport(const QByteArray &command)
{
    static const QRegularExpression shape(
        QStringLiteral("^AT\\+CMGS=[0-9]{1,8},1,0,32\\r[0-9A-Fa-f]{2}100[02][0-9A-Fa-f]{2}\\x1a$"));
    return shape.match(QString::fromLatin1(command)).hasMatch();
}

struct Fixture
{
    Fixture()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz_received_chunk";
        static char *argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
        line = std::make_shared<serial::TestLine>();
        line->setCts(true);
        serial::registerDevice("FUZZLINE", serial::TestDevice::factory(line));
        setModalBoxHandler([](const ModalBoxRequest &) { return 0; });
        newWindow();
    }

    void newWindow()
    {
        form = std::make_unique<TForm1>(settings.filePath("fuzz.set"));
        form->ComPortComboBox->setEditText("FUZZLINE");
        form->ConnectButtonClick();
        line->takeOutput();
    }

    // The pause between two reports ends at once, so the next input finds
    // the dispatcher free; the second report goes out then.
    void endReportPause()
    {
        auto *pause = form->findChild<QTimer *>(QStringLiteral("reportPause"));
        if (!pause || !pause->isActive())
            return;
        const int interval = pause->interval();
        pause->start(0);
        while (pause->isActive())
            QCoreApplication::processEvents();
        pause->setInterval(interval);
        checkWrites();
    }

    // The window writes nothing but well-formed reports.
    void checkWrites()
    {
        const QByteArray written = line->takeOutput();
        for (const QByteArray &command : written.split('\x1a')) {
            if (!command.isEmpty() && !isWellFormedReport(command + '\x1a'))
                std::abort();
        }
    }

    std::unique_ptr<QApplication> app;
    QTemporaryDir settings;
    std::shared_ptr<serial::TestLine> line;
    std::unique_ptr<TForm1> form;
};

// Never destroyed: at exit the toolkit's own statics may already be gone,
// and a window torn down after them crashes in its chart's destructors.
// What stays reachable from here is no leak.
Fixture &fixture()
{
    static Fixture *const instance = new Fixture;
    return *instance;
}

void feed(Fixture &f, const QByteArray &bytes)
{
    f.line->pushInput(bytes);
    f.form->DataTimerTimer();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Fixture &f = fixture();
    if (size == 0)
        return 0;
    // Panes that grow over a whole run would slow every input down.
    f.form->CommandLogger_Memo->clear();
    f.form->MessagesPad_Memo->clear();
    // The first byte chooses the state and the read sizes; the rest is the stream.
    const quint8 control = data[0];
    f.form->RadioState = control % 5;
    const QByteArray stream(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const qsizetype readSize = 1 + (control >> 3);
    for (qsizetype at = 0; at < stream.size(); at += readSize)
        feed(f, stream.mid(at, readSize));
    if (const std::optional<FramedResponse> rest = f.form->RxBuffer.flush()) {
        f.form->DispatchResponse(rest->bytes);
        f.form->HandleReceivedChunk(rest->bytes);
    }
    f.checkWrites();
    if (f.form->messagesAwaitingAnswer() < 0)
        std::abort();
    f.endReportPause();
    return 0;
}
