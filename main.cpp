#include "radio/Application.h"
#include "radio/Corvane_main.h"
#include "radiosim/SimDevice.h"

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    // A simulated radio on the port "SIM", for a desk without a radio.
    radiosim::registerSimDevice();
    TForm1 form;
    form.show();
    return app.exec();
}
