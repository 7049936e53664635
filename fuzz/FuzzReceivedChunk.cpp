// Arbitrary bytes from the radio, in arbitrary reads, into the main window:
// the response framer, the dispatcher and the indication handling behind it,
// in every state of the dialogue. Whatever arrives, every byte reaches the
// PEI logger and the window writes nothing but well-formed reports.
#include "controls/IntegerConversionError.h"
#include "radio/Corvane_main.h"
#include "radio/ModalBox.h"
#include "radio/ResponseFramer.h"
#include "serial/DeviceRegistry.h"
#include "serial/TestDevice.h"

#include <QApplication>
#include <QComboBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

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
        form.reset();
        form = std::make_unique<TForm1>(settings.filePath("fuzz.set"));
        form->ComPortComboBox->setEditText("FUZZLINE");
        form->ConnectButtonClick();
        line->takeOutput();
    }

    std::unique_ptr<QApplication> app;
    QTemporaryDir settings;
    std::shared_ptr<serial::TestLine> line;
    std::unique_ptr<TForm1> form;
};

Fixture &fixture()
{
    static Fixture instance;
    return instance;
}

// A report command: validated digits, then decoded octets as hex.
bool isWellFormedReport(const QByteArray &command)
{
    static const QRegularExpression shape(
        QStringLiteral("^AT\\+CMGS=[0-9]{1,8},1,0,32\\r[0-9A-Fa-f]{2}100[02][0-9A-Fa-f]{2}\\x1a$"));
    return shape.match(QString::fromLatin1(command)).hasMatch();
}

void feed(Fixture &f, const QByteArray &bytes)
{
    f.line->pushInput(bytes);
    try {
        f.form->DataTimerTimer();
    } catch (const IntegerConversionError &) {
        // A length that is not a number: the error box the user sees.
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Fixture &f = fixture();
    if (size == 0)
        return 0;
    // The first byte chooses the state and the read sizes; the rest is the stream.
    const quint8 control = data[0];
    f.form->RadioState = control % 5;
    const QByteArray stream(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const qsizetype readSize = 1 + (control >> 3);
    for (qsizetype at = 0; at < stream.size(); at += readSize)
        feed(f, stream.mid(at, readSize));
    if (const std::optional<FramedResponse> rest = f.form->RxBuffer.flush()) {
        try {
            f.form->DispatchResponse(rest->bytes);
            f.form->HandleReceivedChunk(rest->bytes);
        } catch (const IntegerConversionError &) {
        }
    }
    const QByteArray written = f.line->takeOutput();
    for (const QByteArray &command : written.split('\x1a')) {
        if (!command.isEmpty() && !isWellFormedReport(command + '\x1a'))
            std::abort();
    }
    if (f.form->messagesAwaitingAnswer() < 0)
        std::abort();
    // With no event loop the pause between two reports never ends; a new
    // window keeps the dispatcher reachable for the next input.
    if (f.form->reportPauseActive())
        f.newWindow();
    return 0;
}
