#include "radio/Application.h"
#include "radio/Corvane_main.h"
#include "radiosim/SimDevice.h"

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    // A simulated radio on the port "SIM", for a desk without a radio: it
    // answers like a radio and a peer sends a message every 20 seconds. It
    // speaks the dialect of the profile chosen in the window at Connect.
    radiosim::RadioSimOptions sim;
    sim.peerIntervalMs = 20000;
    sim.peerReportRequest = 0x06;
    const TForm1 *window = nullptr;
    radiosim::registerSimDevice(QStringLiteral("SIM"), sim, [&window] {
        return window && window->radioProfile() == RadioProfile::Etsi ? radiosim::SimDialect::Etsi
                                                                      : radiosim::SimDialect::Cmt;
    });
    TForm1 form;
    window = &form;
    form.show();
    return app.exec();
}
