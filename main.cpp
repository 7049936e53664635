#include "radio/Application.h"
#include "radio/Corvane_main.h"
#include "radiosim/SimDevice.h"

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    // A simulated radio on the port "SIM", for a desk without a radio: it
    // answers like a radio and a peer sends a message every 20 seconds.
    radiosim::RadioSimOptions sim;
    sim.peerIntervalMs = 20000;
    sim.peerReportRequest = 0x06;
    radiosim::registerSimDevice(QStringLiteral("SIM"), sim);
    TForm1 form;
    form.show();
    return app.exec();
}
