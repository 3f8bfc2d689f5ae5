// controller-cli fleet in the process: the list's lines and the sub-command
// checked before anything is sent, and a run against substitute controllers
// on several TCP ports, parallel across them and one after the other on one.
#include "CliInProcess.h"
#include "Fleet.h"
#include "StopSignal.h"

#include "sim/ControllerSim.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <memory>

using namespace ct::cli;

namespace {

// The fleet's invocation for `words` after "fleet list.txt".
Invocation FleetInvocation(std::vector<std::string> words)
{
    std::vector<std::string> args{"--id", "0009", "fleet", "list.txt"};
    args.insert(args.end(), words.begin(), words.end());
    const ParsedCommandLine parsed = ParseCommandLine(args);
    EXPECT_TRUE(parsed.invocation) << parsed.error;
    return parsed.invocation.value_or(Invocation{});
}

struct GoodLine {
    const char* name;
    std::string line;
    std::string endpoint;
    std::string linkKey;
    std::string deviceId;
    std::string baud;  // --com only
};

const GoodLine kGoodLines[] = {
    {"net", "--net 10.0.0.11:5001", "10.0.0.11:5001", "net:10.0.0.11:5001", "0009", ""},
    {"netWithIdAndComment", "--net 10.0.0.11:05001 --id 0002  # hall", "10.0.0.11:05001", "net:10.0.0.11:5001",
     "0002", ""},
    {"equalsForm", "--id=0003 --net=10.0.0.12:5002", "10.0.0.12:5002", "net:10.0.0.12:5002", "0003", ""},
    {"comDefaultSettings", "--com ttyUSB0", "ttyUSB0", "com:/dev/ttyUSB0", "0009", "115200,n,8,1"},
    {"comPathIsTheSamePort", "--com /dev/ttyUSB0 --settings 19200,e,8,1", "/dev/ttyUSB0", "com:/dev/ttyUSB0",
     "0009", "19200,e,8,1"},
};

class FleetGoodLines : public ::testing::TestWithParam<GoodLine> {};

}  // namespace

TEST_P(FleetGoodLines, line_parsed_endpointLinkAndId)
{
    const ParsedFleet fleet = ParseFleet("# site\n\n" + GetParam().line + "\n", FleetInvocation({"connect"}));
    ASSERT_TRUE(fleet.errors.empty()) << fleet.errors.front().message;
    ASSERT_EQ(1u, fleet.lines.size());
    const FleetLine& line = fleet.lines.front();
    EXPECT_EQ(3, line.number);
    EXPECT_EQ(GetParam().endpoint, line.endpoint);
    EXPECT_EQ(GetParam().linkKey, line.linkKey);
    EXPECT_EQ(GetParam().deviceId, line.invocation.deviceId);
    EXPECT_EQ(Command::Connect, line.invocation.command);
    if (!GetParam().baud.empty()) {
        EXPECT_EQ(GetParam().baud, line.settings.ComBaudRate);
    }
}

INSTANTIATE_TEST_SUITE_P(Fleet, FleetGoodLines, ::testing::ValuesIn(kGoodLines),
                         [](const auto& info) { return std::string(info.param.name); });

namespace {

struct BadLine {
    const char* name;
    std::string line;
    std::string error;
};

const BadLine kBadLines[] = {
    {"noLink", "--id 0001", "give exactly one of --net and --com"},
    {"bothLinks", "--net 10.0.0.1:5001 --com ttyUSB0", "give exactly one of --net and --com"},
    {"settingsWithNet", "--net 10.0.0.1:5001 --settings 19200,e,8,1", "--settings goes with --com only"},
    {"twice", "--net 10.0.0.1:5001 --net 10.0.0.2:5001", "--net given twice"},
    {"noValue", "--com", "--com needs a value"},
    {"unknownWord", "--net 10.0.0.1:5001 connect",
     "'connect' is none of --net IP:PORT, --com PORT, --settings SETTINGS, --id ID"},
    {"noPort", "--net 10.0.0.1", "--net needs IP:PORT, e.g. 127.0.0.1:5001"},
    {"hostName", "--net gate:5001", "--net: 'gate' is not a dotted IPv4 address such as 192.168.1.200 (no host names)"},
    {"shortId", "--net 10.0.0.1:5001 --id 12", "--id: the ID must be exactly 4 printable characters, e.g. 0001"},
    {"openQuote", "--com 'tty", "a quote ' that is not closed"},
};

class FleetBadLines : public ::testing::TestWithParam<BadLine> {};

}  // namespace

TEST_P(FleetBadLines, line_refused_numberAndReason)
{
    const ParsedFleet fleet =
        ParseFleet("--net 10.0.0.9:5001\n" + GetParam().line + "\n", FleetInvocation({"controller-id"}));
    ASSERT_EQ(1u, fleet.errors.size());
    EXPECT_EQ(2, fleet.errors.front().number);
    EXPECT_EQ(GetParam().error, fleet.errors.front().message);
}

INSTANTIATE_TEST_SUITE_P(Fleet, FleetBadLines, ::testing::ValuesIn(kBadLines),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Fleet, subCommandNotForEachController_refusedBeforeTheList)
{
    const std::map<std::vector<std::string>, std::string> cases = {
        {{}, "fleet needs a SUB-COMMAND after FILE"},
        {{"ports"}, "fleet cannot run ports"},
        {{"batch", "x.txt"}, "fleet cannot run batch"},
        {{"connect", "--json"}, "--json goes before fleet, not after its FILE"},
        {{"alarm", "9"}, "N: Value 9 not in range 0 to 6"},
    };
    for (const auto& [words, error] : cases) {
        const ParsedFleet fleet = ParseFleet("--net 10.0.0.9:5001\n", FleetInvocation(words));
        EXPECT_NE(std::string::npos, fleet.commandError.find(error)) << fleet.commandError;
    }
}

TEST(Fleet, commandTextTooLongForALinesId_thatLineRefused)
{
    // 1493 characters fit after a 4-character ID in crc framing: the text
    // is checked with the ID each line sends.
    const ParsedFleet fleet = ParseFleet("--net 10.0.0.9:5001\n--net 10.0.0.9:5001 --id 0001\n",
                                         FleetInvocation({"command", std::string(1500, 'A')}));
    ASSERT_EQ(2u, fleet.errors.size());
}

TEST(Fleet, linkOptionsOnTheCommandLine_usageError)
{
    const ParsedCommandLine parsed = ParseCommandLine({"--net", "10.0.0.1:5001", "fleet", "l.txt", "connect"});
    EXPECT_FALSE(parsed.invocation);
    EXPECT_EQ(64, parsed.exitStatus);
}

namespace {

// A site of substitute controllers, each on a TCP port of its own.
class Site {
public:
    explicit Site(const std::vector<std::vector<std::string>>& idsPerPort)
    {
        for (const auto& ids : idsPerPort) {
            std::vector<ct::sim::ControllerConfig> line;
            for (const std::string& id : ids) {
                ct::sim::ControllerConfig config;
                config.id = id;
                config.serial = "1603" + id;
                line.push_back(config);
            }
            sims.push_back(std::make_unique<ct::sim::ControllerSim>(line));
            EXPECT_TRUE(sims.back()->ListenTcp("127.0.0.1", 0));
            sims.back()->Start();
        }
    }
    // A port that nobody listens on any more: refused at once.
    static std::string Closed()
    {
        ct::sim::ControllerSim gone;
        EXPECT_TRUE(gone.ListenTcp("127.0.0.1", 0));
        return "127.0.0.1:" + std::to_string(gone.TcpPort());
    }
    std::string Endpoint(std::size_t i) const { return "127.0.0.1:" + std::to_string(sims[i]->TcpPort()); }

    std::vector<std::unique_ptr<ct::sim::ControllerSim>> sims;
};

// The list's JSON objects by "line" (the summary under 0).
std::map<int, std::vector<nlohmann::json>> ByLine(const std::string& out)
{
    std::map<int, std::vector<nlohmann::json>> objects;
    std::istringstream lines(out);
    for (std::string text; std::getline(lines, text);) {
        const auto object = nlohmann::json::parse(text);
        objects[object.value("line", 0)].push_back(object);
    }
    return objects;
}

}  // namespace

TEST(FleetRun, twoPortsFourLines_eachResultWholeAndTheLinesOfOnePortOneAfterTheOther)
{
    ClearStopRequest();
    Site site({{"0001", "0002", "0003"}, {"0001"}});
    const std::string closed = Site::Closed();
    const std::string list = "--net " + site.Endpoint(0) + " --id 0001\n--net " + site.Endpoint(1)
                             + " --id 0001\n--net " + site.Endpoint(0) + " --id 0002\n--net " + closed
                             + "   # nobody\n--net " + site.Endpoint(0) + " --id 0003\n";
    const ParsedFleet fleet = ParseFleet(list, FleetInvocation({"dido", "--cycles", "3"}));
    ASSERT_TRUE(fleet.errors.empty() && fleet.commandError.empty());

    CaughtStreams streams;
    Output out(true);
    Context context{{}, out};
    const int status = RunFleet(fleet.lines, 4, context);
    const auto f = streams.Finish(status);

    EXPECT_EQ(ExitConnectError, f.status) << f.err;
    const auto objects = ByLine(f.out);
    for (int line = 1; line <= 5; ++line) {
        const auto at = objects.find(line);
        ASSERT_NE(objects.end(), at) << line;
        const std::string endpoint = line == 2 ? site.Endpoint(1) : line == 4 ? closed : site.Endpoint(0);
        for (const auto& object : at->second)
            EXPECT_EQ(endpoint, object.at("endpoint")) << object;
        EXPECT_EQ(line == 4 ? "connect-error" : "ok", at->second.back().at("outcome")) << line;
        EXPECT_EQ(line == 4 ? 1u : 4u, at->second.size()) << line;  // three cycles and the result
    }
    const auto& summary = objects.at(0).at(0);
    EXPECT_EQ(5, summary.at("controllers"));
    EXPECT_EQ(4, summary.at("ok"));
    EXPECT_EQ(4, summary.at("first-failed-line"));
    EXPECT_EQ(2, summary.at("exit-status"));
    EXPECT_NE(std::string::npos, f.err.find("line 4 " + closed + ": Connect device error!")) << f.err;

    // On the shared port each controller's commands come as one run, in
    // line order: two at once would interleave them.
    std::string order;
    for (const std::string& command : site.sims[0]->Commands()) {
        const char id = command.at(3);
        if (order.empty() || order.back() != id)
            order += id;
    }
    EXPECT_EQ("123", order);
    EXPECT_FALSE(site.sims[1]->Commands().empty());
}

TEST(FleetRun, stopRequestedBeforehand_nothingRunAndExit130)
{
    Site site({{"0001"}});
    const ParsedFleet fleet =
        ParseFleet("--net " + site.Endpoint(0) + " --id 0001\n", FleetInvocation({"controller-id"}));
    CaughtStreams streams;
    Output out(false);
    Context context{{}, out};
    RequestStop();
    const int status = RunFleet(fleet.lines, 16, context);
    ClearStopRequest();
    const auto f = streams.Finish(status);
    EXPECT_EQ(ExitStopped, f.status);
    EXPECT_EQ("", f.out);
    EXPECT_NE(std::string::npos, f.err.find("fleet: 1 controllers, 0 ok, 0 failed, 1 not run; stopped by"));
    EXPECT_TRUE(site.sims[0]->Commands().empty());
}
