#pragma once

#include "tests/endtoend/EndToEndWindow.h"
#include "tests/endtoend/PtyRadio.h"
#include "tests/endtoend/SimRadio.h"

#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

// The two roads a port can take to the simulated radio.
enum class RadioPath { Sim, Pty };

inline const char *radioPathName(RadioPath path)
{
    return path == RadioPath::Sim ? "Sim" : "Pty";
}

inline std::string radioPathTestName(const testing::TestParamInfo<RadioPath> &info)
{
    return radioPathName(info.param);
}

inline void PrintTo(RadioPath path, std::ostream *out)
{
    *out << radioPathName(path);
}

// A window and a radio on one road, and the steps every session takes.
class RadioPathTest : public testing::TestWithParam<RadioPath>
{
protected:
    void startRadio(const RadioSetup &setup)
    {
        if (GetParam() == RadioPath::Sim)
            radio = std::make_unique<SimRadio>(setup);
        else
            radio = std::make_unique<PtyRadio>(setup);
        ASSERT_FALSE(radio->portName().isEmpty()) << "the radio did not start";
        window = std::make_unique<EndToEndWindow>();
    }

    void connected()
    {
        ASSERT_TRUE(window->connectTo(radio->portName()));
        ASSERT_TRUE(radio->portOpened());
    }

    void registeredAs(int protocolId)
    {
        ASSERT_NO_FATAL_FAILURE(connected());
        ASSERT_TRUE(window->registerAs(protocolId));
    }

    radiosim::RadioSim::Counters closeAndCount()
    {
        const std::optional<radiosim::RadioSim::Counters> counters = radio->closeAndCount(*window);
        EXPECT_TRUE(counters) << "the radio told no counters";
        return counters.value_or(radiosim::RadioSim::Counters());
    }

    TForm1 &form() { return window->form(); }

    // Declared first: the window lets go of the port before the radio goes.
    std::unique_ptr<RadioUnderTest> radio;
    std::unique_ptr<EndToEndWindow> window;
};
