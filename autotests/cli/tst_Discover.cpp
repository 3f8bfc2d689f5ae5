// controller-cli discover inside the test program against the substitute
// controller on the fake line: what it prints for the controllers found, its
// exit status, and the line settings and IDs it tries.
#include "CliInProcess.h"

#include "Discover.h"

#include "sim/ControllerSim.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

ct::sim::ControllerConfig Controller(const std::string& id, const std::string& serial, const std::string& line)
{
    ct::sim::ControllerConfig c;
    c.id = id;
    c.serial = serial;
    c.line = line;
    return c;
}

struct DiscoverCliCase {
    const char* name;
    std::vector<ct::sim::ControllerConfig> line;
    const char* args;
    int status;
    const char* out;
    const char* err;
    bool portFails = false;
};

const DiscoverCliCase kCases[] = {
    {"aloneAt19200_foundAtSecondSetting", {Controller("0012", "16030012", "19200,e,8,1")}, "--com ttyUSB0 discover",
     0, "19200,e,8,1\t0012\tKX410NT4-SG4\t0520\t16030012\n", "Command ok.\n"},
    {"settingsGiven_onlyThatOneTried", {Controller("0012", "16030012", "19200,e,8,1")},
     "--com ttyUSB0 --settings 115200,n,8,1 discover", 1, "", "No controller found.\n"},
    {"json_objectPerControllerAndResult", {Controller("0012", "16030012", "115200,n,8,1")},
     "--com ttyUSB0 --json discover", 0,
     "{\"operation\":\"discover\",\"settings\":\"115200,n,8,1\",\"id\":\"0012\",\"model\":\"KX410NT4-SG4\","
     "\"version\":\"0520\",\"serial\":\"16030012\"}\n{\"operation\":\"discover\",\"found\":1,\"outcome\":\"ok\"}\n",
     "Command ok.\n"},
    // Beside another controller neither answers at ID 0000.
    {"twoOnLine_noneAlone_exits1",
     {Controller("0001", "16030001", "115200,n,8,1"), Controller("0002", "16030002", "115200,n,8,1")},
     "--net 127.0.0.1:5001 discover", 1, "", "No controller found.\n"},
    {"idsOverNet_eachControllerOnceAsFound",
     {Controller("0001", "16030001", "115200,n,8,1"), Controller("0002", "16030002", "115200,n,8,1")},
     "--net 127.0.0.1:5001 discover --ids 0-3", 0,
     "-\t0001\tKX410NT4-SG4\t0520\t16030001\n-\t0002\tKX410NT4-SG4\t0520\t16030002\n",
     "discover: ID 0000, 1 of 4, 0 found\ndiscover: ID 0001, 2 of 4, 0 found\ndiscover: ID 0002, 3 of 4, 1 found\n"
     "discover: ID 0003, 4 of 4, 2 found\nCommand ok.\n"},
    {"portMissing_exits2", {Controller("0012", "16030012", "115200,n,8,1")}, "--com ttyUSB0 discover", 2, "",
     "Connect device error!\n", true},
    {"idRangeBackwards_refused64", {}, "--net 127.0.0.1:5001 discover --ids 9-3", 64, "", nullptr},
};

class DiscoverCliTest : public ::testing::TestWithParam<DiscoverCliCase> {};

TEST_P(DiscoverCliTest, discover_line_printsControllersFoundAndExits)
{
    const DiscoverCliCase& c = GetParam();
    ct::testing::FakeLine line(c.line);
    line.serialSpeedMatters = true;
    line.device.failSerialOpen = c.portFails;
    const ct::testing::ChildProcess::Finished r = CliInProcess(line, c.args);
    EXPECT_EQ(c.status, r.status) << r.err;
    EXPECT_EQ(c.out, r.out);
    if (c.err) {
        EXPECT_EQ(c.err, r.err);
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, DiscoverCliTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Three ports: nothing on the first, the controller on the second, and one
// this user may not open, which is listed but not probed.
TEST(ProbePortsTest, probe_controllerOnSecondPort_namesItsSettingAndIdOnly)
{
    ct::testing::FakeLine line({Controller("0012", "16030012", "19200,e,8,1")});
    line.serialSpeedMatters = true;
    const auto toController = line.device.onRequest;
    line.device.onRequest = [&](const std::string& text, const std::string& frame) {
        if (line.device.serialPort == "ttyUSB1")
            toController(text, frame);
    };
    std::vector<ct::cli::PortDescription> ports(3);
    ports[0].name = "ttyUSB0";
    ports[1].name = "ttyUSB1";
    ports[2].name = "ttyS0";
    ports[2].access = "permission denied";

    const ct::testing::ChildProcess::Finished r = [&] {
        ct::testing::CountingPump pump(line.clock);
        CaughtStreams streams;
        ct::cli::Output out(false);
        ct::cli::Invocation inv;
        inv.command = ct::cli::Command::Ports;
        inv.name = "ports";
        inv.probe = true;
        out.Begin(inv.name);
        ct::cli::Context context{{}, out, nullptr, 0, &line.factory, &line.clock, &pump};
        return streams.Finish(ct::cli::ProbePorts(inv, context, ports));
    }();

    EXPECT_EQ(0, r.status);
    EXPECT_EQ("ttyUSB0\t-\t-\t-\t-\tok\t-\t-\n"
              "ttyUSB1\t-\t-\t-\t-\tok\t19200,e,8,1\t0012\n"
              "ttyS0\t-\t-\t-\t-\tpermission denied\t-\t-\n",
              r.out);
    EXPECT_EQ("Command ok.\n", r.err);
}

}  // namespace
