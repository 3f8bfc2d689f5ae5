// The line file of controller-sim --config: what a file describes, how a
// malformed one is refused (line and reason), the shipped examples, and the
// described line answering over TCP, in this process and in the real
// executable.

#include "sim/SimConfig.h"

#include "sim/ControllerSim.h"

#include "support/ChildProcess.h"
#include "support/LineClient.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace ct::sim;
using namespace std::chrono_literals;
using namespace std::string_literals;
using ct::link::ReplyField;
using ct::testing::LineClient;
namespace cmd = ct::link::cmd;

SimConfig Parsed(const std::string& text)
{
    const SimConfigResult r = ParseSimConfig(text);
    EXPECT_TRUE(r.config) << "line " << r.line << ": " << r.reason;
    return r.config.value_or(SimConfig{});
}

const char kController[] = "[controller]\nid = 0001\nserial = 16030001\n";

// Every section and key, none at its default.
const char kFull[] = R"(# a line written out in full
[controller]
id = 0001
serial = 11110001
model = KX410
version = 0600
inputs = 10100001
alarm = 3
clock = 20240229235959
line = 19200,e,8,1
reboot-silence-ms = 250
short-ack = yes
loader = 64

[g6]
id = 2
serial = 6A000002
card-type = 70
delay = 14
mode = 1

[g6]
id = 0
serial = 6A000000

[g4]
type = J
id = 7
serial = 4J000007

[record]
tag = 2
time = 20240301075959
code = 0031
value = 00007

[loader-fault]
kind = silent-from
block = 5
times = 2

[fault]
kind = split-bytes
command = DG
times = 4
gap-ms = 20

[controller]
id = 0002
serial = 22220002

[fault]
kind = noise-before
bytes = 7
)";

TEST(SimConfig, fullFile_everyKeyLandsInItsPlace)
{
    const SimConfig c = Parsed(kFull);
    ASSERT_EQ(c.controllers.size(), 2U);
    const ControllerConfig& first = c.controllers[0];
    EXPECT_EQ(first.id, "0001");
    EXPECT_EQ(first.serial, "11110001");
    EXPECT_EQ(first.model, "KX410");
    EXPECT_EQ(first.version, "0600");
    EXPECT_EQ(first.inputs, "10100001");
    EXPECT_EQ(first.alarm, 3);
    EXPECT_EQ(first.line, "19200,e,8,1");
    EXPECT_EQ(first.rebootSilence, 250ms);
    EXPECT_TRUE(first.shortAck);
    EXPECT_EQ(first.loader, LoaderKind::Block64);

    ASSERT_EQ(first.g6Modules.size(), 2U);
    EXPECT_EQ(first.g6Modules[0].id, 2);
    EXPECT_EQ(first.g6Modules[0].serial, "6A000002");
    EXPECT_EQ(first.g6Modules[0].cardType, 0x0070);
    EXPECT_EQ(first.g6Modules[0].delay, 0x0014);
    EXPECT_EQ(first.g6Modules[0].mode, 0x0001);
    EXPECT_EQ(first.g6Modules[1].id, 0);
    EXPECT_EQ(first.g6Modules[1].cardType, G6Module{}.cardType);
    ASSERT_EQ(first.g4Modules.size(), 1U);
    EXPECT_EQ(first.g4Modules[0].type, 'J');
    EXPECT_EQ(first.g4Modules[0].id, 7);
    EXPECT_EQ(first.g4Modules[0].serial, "4J000007");
    ASSERT_EQ(first.records.size(), 1U);
    EXPECT_EQ(first.records[0].tag, '2');
    EXPECT_EQ(first.records[0].timestamp, "20240301075959");
    EXPECT_EQ(first.records[0].code, "0031");
    EXPECT_EQ(first.records[0].value, "00007");
    ASSERT_EQ(first.loaderFaults.size(), 1U);
    EXPECT_EQ(first.loaderFaults[0].kind, LoaderFault::Kind::SilentFrom);
    EXPECT_EQ(first.loaderFaults[0].block, 5);
    EXPECT_EQ(first.loaderFaults[0].times, 2);

    // The second has what it was given and the defaults, and no modules.
    const ControllerConfig& second = c.controllers[1];
    EXPECT_EQ(second.serial, "22220002");
    EXPECT_EQ(second.model, ControllerConfig{}.model);
    EXPECT_EQ(second.loader, LoaderKind::Block512);
    EXPECT_TRUE(second.g6Modules.empty());
    EXPECT_TRUE(second.g4Modules.empty());
    EXPECT_TRUE(second.records.empty());

    EXPECT_EQ(c.clocks, (std::vector<std::string>{"20240229235959", ""}));

    // Faults wherever they stand, in file order, the rest at the defaults.
    ASSERT_EQ(c.faults.size(), 2U);
    EXPECT_EQ(c.faults[0].kind, FaultKind::SplitBytes);
    EXPECT_EQ(c.faults[0].command, "DG");
    EXPECT_EQ(c.faults[0].times, 4);
    EXPECT_EQ(c.faults[0].gap, 20ms);
    EXPECT_EQ(c.faults[1].kind, FaultKind::NoiseBefore);
    EXPECT_EQ(c.faults[1].command, "");
    EXPECT_EQ(c.faults[1].times, -1);
    EXPECT_EQ(c.faults[1].count, 7);
    EXPECT_EQ(c.faults[1].delay, 1500ms);
}

struct LayoutCase {
    const char* name;
    std::string text;
    const char* serial;  // what the first controller's serial reads
};

void PrintTo(const LayoutCase& c, std::ostream* os)
{
    *os << c.name;
}

class Layouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(Layouts, parse_writtenThatWay_sameValue)
{
    const SimConfig c = Parsed(GetParam().text);
    ASSERT_EQ(c.controllers.size(), 1U);
    EXPECT_EQ(c.controllers[0].serial, GetParam().serial);
}

INSTANTIATE_TEST_SUITE_P(
    SimConfig, Layouts,
    ::testing::Values(
        LayoutCase{"plain", kController, "16030001"},
        LayoutCase{"crlf", "[controller]\r\nid = 0001\r\nserial = 16030001\r\n", "16030001"},
        LayoutCase{"byteOrderMark", "\xEF\xBB\xBF[controller]\nid = 0001\nserial = 16030001", "16030001"},
        LayoutCase{"blanksAndTabs", "\n  [ controller ]  \n\tid\t=\t0001\t\nserial=16030001\n\n", "16030001"},
        LayoutCase{"comments", "# top\n[controller] # the first\n  # indented\nid = 0001\nserial = 16030001 # s\n",
                   "16030001"},
        LayoutCase{"hashInsideValue", "[controller]\nid = 0001\nserial = 1603#001\n", "1603#001"},
        LayoutCase{"utf8Comment", "# 门禁控制器\n[controller]\nid = 0001\nserial = 16030001\n", "16030001"}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
    const char* name;
    std::string text;
    int line;
    std::string reason;  // a part of it
};

void PrintTo(const RefusalCase& c, std::ostream* os)
{
    *os << c.name;
}

class Refusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, parse_malformed_lineAndReason)
{
    const SimConfigResult r = ParseSimConfig(GetParam().text);
    EXPECT_FALSE(r.config);
    EXPECT_EQ(r.line, GetParam().line) << r.reason;
    EXPECT_NE(r.reason.find(GetParam().reason), std::string::npos) << r.reason;
}

// A long name or value as a message quotes it: its first 40 characters.
std::string Cut(char c)
{
    return "'" + std::string(40, c) + "...'";
}

std::string WithController(const std::string& more)
{
    return kController + more;
}

INSTANTIATE_TEST_SUITE_P(
    Structure, Refusals,
    ::testing::Values(
        RefusalCase{"empty", "", 0, "no [controller]"},
        RefusalCase{"onlyFaults", "# x\n[fault]\nkind = delay\n", 0, "no [controller]"},
        RefusalCase{"unknownSection", WithController("[door]\n"), 4, "unknown section [door]; sections: controller"},
        RefusalCase{"unknownKey", "[controller]\nID = 0001\n", 2, "unknown key 'ID' in [controller]; its keys: id,"},
        RefusalCase{"longKeyCut", "[controller]\n" + std::string(5000, 'k') + " = 1\n", 2, "unknown key " + Cut('k')},
        RefusalCase{"keyOfAnotherSection", WithController("[g4]\ncard-type = 41\n"), 5, "unknown key 'card-type'"},
        RefusalCase{"duplicateKey", "[controller]\nid = 0001\n\nid = 0002\n", 4, "'id' a second time in this [controller] (first on line 2)"},
        RefusalCase{"missingSerial", "[controller]\nid = 0001\n[controller]\n", 1, "[controller] without serial"},
        RefusalCase{"missingAtEnd", WithController("[g4]\ntype = H\nid = 1\n"), 4, "[g4] without serial"},
        RefusalCase{"moduleFirst", "[g6]\nid = 1\nserial = 6A000001\n", 1, "[g6] before any [controller]"},
        RefusalCase{"recordFirst", "[fault]\nkind = delay\n[record]\n", 3, "[record] before any [controller]"},
        RefusalCase{"keyBeforeSection", "id = 0001\n", 1, "'id' before any section"},
        RefusalCase{"unclosedSection", "[controller\n", 1, "ends with ']'"},
        RefusalCase{"noEquals", WithController("short-ack\n"), 4, "want '[section]' or 'key = value'"},
        RefusalCase{"noKey", WithController("= 0001\n"), 4, "no key before '='"},
        RefusalCase{"noValue", "[controller]\nid =\n", 2, "'id' without a value"},
        RefusalCase{"onlyAComment", "[controller]\nid = # to do\n", 2, "'id' without a value"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Text, Refusals,
    ::testing::Values(
        RefusalCase{"nul", "[controller]\nid = 0001\nserial = 1603\0" "0001\n"s, 3, "control character 0x00"},
        RefusalCase{"loneCr", "[controller]\nid = 00\r01\n", 2, "control character 0x0D"},
        RefusalCase{"escape", "# \x1B[31m\n", 1, "control character 0x1B"},
        RefusalCase{"delete", "# \x7F\n", 1, "control character 0x7F"},
        RefusalCase{"latin1", "[controller]\n# caf\xE9\n", 2, "not UTF-8 text"},
        RefusalCase{"overlong", "# \xC0\xAF\n", 1, "not UTF-8 text"},
        RefusalCase{"surrogate", "# \xED\xA0\x80\n", 1, "not UTF-8 text"},
        RefusalCase{"cutSequence", "# \xE9\x97", 1, "not UTF-8 text"},
        RefusalCase{"pastUnicode", "# \xF4\x90\x80\x80\n", 1, "not UTF-8 text"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Values, Refusals,
    ::testing::Values(
        RefusalCase{"idOf5", "[controller]\nid = 12345\nserial = 16030001\n", 2, "bad id '12345': want 4 printable characters"},
        RefusalCase{"nonAsciiSerial", "[controller]\nid = 0001\nserial = 160300é\n", 3, "want 8 printable"},
        RefusalCase{"modelOf13", WithController("model = KX410NT4-SG4X\n"), 4, "want 1 to 12 printable"},
        RefusalCase{"alarm7", WithController("alarm = 7\n"), 4, "want 0 to 6"},
        RefusalCase{"clockNoDate", WithController("clock = 20230229120000\n"), 4, "bad clock"},
        RefusalCase{"lineParity", WithController("line = 115200,x,8,1\n"), 4, "bad line"},
        RefusalCase{"shortAckTrue", WithController("short-ack = true\n"), 4, "want yes or no"},
        RefusalCase{"loader128", WithController("loader = 128\n"), 4, "want 512, 256, 64 or none"},
        RefusalCase{"silenceTooLong", WithController("reboot-silence-ms = 3600001\n"), 4, "want 0 to 3600000"},
        RefusalCase{"silenceSigned", WithController("reboot-silence-ms = +5\n"), 4, "bad reboot-silence-ms"},
        RefusalCase{"g6Id9", WithController("[g6]\nid = 9\nserial = 6A000001\n"), 5, "want 0 to 8"},
        RefusalCase{"g6Word", WithController("[g6]\nid = 1\nserial = 6A000001\nmode = 10000\n"), 7, "want 1 to 4 hex"},
        RefusalCase{"g4Lower", WithController("[g4]\ntype = h\nid = 1\nserial = 4H000001\n"), 5, "one of A B H I J E"},
        RefusalCase{"g4Id10", WithController("[g4]\ntype = H\nid = 10\nserial = 4H000001\n"), 6, "want one digit"},
        RefusalCase{"recordTime", WithController("[record]\ntag = 1\ntime = 2024\ncode = 0012\nvalue = 12345\n"), 6, "want 14 digits"},
        RefusalCase{"loaderFaultBlock", WithController("[loader-fault]\nkind = fail-verify\nblock = -1\n"), 6, "bad block"},
        RefusalCase{"faultKind", "[fault]\nkind = slow\n" + WithController(""), 2, "want no-answer, wrong-crc"},
        RefusalCase{"faultTimes0", WithController("[fault]\nkind = delay\ntimes = 0\n"), 6, "want a count of 1 or more"},
        RefusalCase{"faultBytes", WithController("[fault]\nkind = extra-bytes\nbytes = 4097\n"), 6, "want 0 to 4096"},
        RefusalCase{"faultArgOfAnotherKind", WithController("[fault]\nbytes = 5\nkind = delay\n"), 5,
                    "a delay fault takes no bytes (it takes delay-ms)"},
        RefusalCase{"faultArgForNone", WithController("[fault]\nkind = wrong-crc\ngap-ms = 5\n"), 6,
                    "a wrong-crc fault takes no gap-ms"},
        RefusalCase{"longValueCut", "[controller]\nid = " + std::string(5000, '7') + "\nserial = 16030001\n", 2, Cut('7')}),
    [](const auto& info) { return std::string(info.param.name); });

std::string Controllers(std::size_t n)
{
    std::string text;
    for (std::size_t i = 0; i < n; ++i)
        text += kController;
    return text;
}

TEST(SimConfig, controllers_upToTheMost_moreRefusedAtTheFirstTooMany)
{
    EXPECT_EQ(Parsed(Controllers(MaxControllers)).controllers.size(), MaxControllers);
    const SimConfigResult r = ParseSimConfig(Controllers(MaxControllers + 1));
    EXPECT_FALSE(r.config);
    EXPECT_EQ(r.line, static_cast<int>(3 * MaxControllers + 1));
}

TEST(SimConfig, size_upToTheCap_oneByteMoreRefused)
{
    std::string text = kController;
    text += "#" + std::string(MaxConfigBytes - text.size() - 2, '-') + "\n";
    ASSERT_EQ(text.size(), MaxConfigBytes);
    EXPECT_TRUE(ParseSimConfig(text).config);
    const SimConfigResult r = ParseSimConfig(text + "\n");
    EXPECT_FALSE(r.config);
    EXPECT_EQ(r.line, 0);
    EXPECT_NE(r.reason.find("larger than 1 MiB"), std::string::npos);
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(SimConfig, shippedExamples_parse)
{
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(CT_SIM_EXAMPLES)) {
        const SimConfigResult r = ParseSimConfig(ReadAll(entry.path().string()));
        EXPECT_TRUE(r.config) << entry.path() << ":" << r.line << ": " << r.reason;
        ++files;
    }
    EXPECT_GE(files, 2);
    // The demo that scripts/run.sh serves: one controller at 0001, which then
    // answers Connect at any ID, and nothing going wrong on it.
    const SimConfig demo = Parsed(ReadAll(CT_SIM_EXAMPLES "/demo-line.ini"));
    ASSERT_EQ(demo.controllers.size(), 1U);
    EXPECT_EQ(demo.controllers[0].id, "0001");
    EXPECT_TRUE(demo.faults.empty());
}

std::string TempPath(const std::string& name)
{
    return ::testing::TempDir() + "simconfig_" + std::to_string(::getpid()) + "_" + name;
}

std::string WriteTemp(const std::string& name, const std::string& text)
{
    const std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

TEST(ReadSimConfigFile, unreadable_errorTellsWhy)
{
    const struct {
        std::string path;
        const char* why;
    } cases[] = {{TempPath("absent.ini"), "No such file"}, {::testing::TempDir(), "directory"}};
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ReadSimConfigFile(c.path, error)) << c.path;
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
    }
}

TEST(ReadSimConfigFile, largeFile_readsOnlyOnePastTheCap)
{
    const std::string path = WriteTemp("large.ini", std::string(3 * MaxConfigBytes, '#'));
    std::string error;
    const auto text = ReadSimConfigFile(path, error);
    std::remove(path.c_str());
    ASSERT_TRUE(text) << error;
    EXPECT_EQ(text->size(), MaxConfigBytes + 1);
}

// Two controllers from a file: each answers at its own ID only, with its
// own clock; the file's fault spoils the first reply it names.
TEST(ApplySimConfig, twoControllers_eachAnswersItsOwnIdWithItsClockAndTheFaults)
{
    SimConfig config = Parsed(R"([controller]
id = 0001
serial = 11110001
[controller]
id = 0002
serial = 22220002
clock = 20240301120000
[fault]
kind = wrong-crc
command = DB
times = 1
)");
    ControllerSim sim(config.controllers);
    ApplySimConfig(sim, config);
    ASSERT_TRUE(sim.ListenTcp("127.0.0.1", 0));
    sim.Start();
    const LineClient client(sim.TcpPort());
    ASSERT_TRUE(client.connected());

    EXPECT_EQ(ReplyField(client.Ask("0001AS"), 8, 8), "11110001");
    EXPECT_EQ(ReplyField(client.Ask("0002AS"), 8, 8), "22220002");
    EXPECT_TRUE(client.Unanswered("0003AS", "0001AS", "0001"));

    EXPECT_EQ(sim.ControllerTime(1).substr(0, 8), "20240301");
    EXPECT_NE(sim.ControllerTime(0).substr(0, 8), "20240301");

    const std::string spoilt = client.Ask("0002DB");
    ASSERT_EQ(spoilt.size(), static_cast<std::size_t>(cmd::DescribeReplyLength));
    EXPECT_FALSE(ct::link::CheckReply(ct::link::Framing::Crc, spoilt));
    EXPECT_TRUE(ct::link::CheckReply(ct::link::Framing::Crc, client.Ask("0002DB")));
}

// The real executable; killed if a test leaves it running.
class SimProcess : public ct::testing::ChildProcess {
public:
    explicit SimProcess(const std::vector<std::string>& args) : ChildProcess(Argv(args), TempPath("stderr.txt")) {}

private:
    static std::vector<std::string> Argv(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{CT_SIM_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }
};

TEST(ControllerSimProcess, twoControllersFile_servesEachControllerAtItsIdUntilTerminated)
{
    SimProcess sim({"--config", CT_SIM_EXAMPLES "/two-controllers.ini", "--tcp", "127.0.0.1:0", "--quiet"});
    ASSERT_TRUE(sim.started());
    const std::string listening = sim.ReadLine();
    const std::string prefix = "tcp: 127.0.0.1:";
    ASSERT_EQ(listening.rfind(prefix, 0), 0U) << listening;
    {
        const LineClient client(static_cast<std::uint16_t>(std::stoi(listening.substr(prefix.size()))));
        ASSERT_TRUE(client.connected());
        EXPECT_EQ(ReplyField(client.Ask("0001AS"), 8, 8), "16030001");
        EXPECT_EQ(ReplyField(client.Ask("0002AS"), 8, 8), "16030002");
        EXPECT_TRUE(client.Unanswered("0003AS", "0001AS", "0001"));
    }
    sim.Signal(SIGTERM);
    const auto f = sim.Finish();
    EXPECT_EQ(f.status, 0) << f.err;
}

TEST(ControllerSimProcess, repeatedTcp_eachAddressServesItsOwnCopyOfTheLine)
{
    SimProcess sim({"--config", CT_SIM_EXAMPLES "/two-controllers.ini", "--tcp", "127.0.0.1:0", "--tcp",
                    "127.0.0.1:0", "--quiet"});
    ASSERT_TRUE(sim.started());
    const std::string prefix = "tcp: 127.0.0.1:";
    std::vector<std::uint16_t> ports;
    for (int i = 0; i < 2; ++i) {
        const std::string listening = sim.ReadLine();
        ASSERT_EQ(listening.rfind(prefix, 0), 0U) << listening;
        ports.push_back(static_cast<std::uint16_t>(std::stoi(listening.substr(prefix.size()))));
    }
    ASSERT_NE(ports[0], ports[1]);
    // Both connected at once: a shared line would answer only one client at
    // a time, or one client's request on the other's connection.
    const LineClient first(ports[0]);
    const LineClient second(ports[1]);
    ASSERT_TRUE(first.connected());
    ASSERT_TRUE(second.connected());
    for (const LineClient* client : {&first, &second}) {
        EXPECT_EQ(ReplyField(client->Ask("0001AS"), 8, 8), "16030001");
        EXPECT_EQ(ReplyField(client->Ask("0002AS"), 8, 8), "16030002");
    }
    sim.Signal(SIGTERM);
    const auto f = sim.Finish();
    EXPECT_EQ(f.status, 0) << f.err;
}

struct ProcessRefusalCase {
    const char* name;
    std::string file;               // written to a temporary file, passed as --config
    std::vector<std::string> more;  // further arguments
    const char* error;              // what stderr starts with after "controller-sim: "; PATH for the file
};

void PrintTo(const ProcessRefusalCase& c, std::ostream* os)
{
    *os << c.name;
}

class ProcessRefusals : public ::testing::TestWithParam<ProcessRefusalCase> {};

TEST_P(ProcessRefusals, badLineFile_exit2WithTheReasonAndNothingServed)
{
    const std::string path = WriteTemp("refused.ini", GetParam().file);
    std::vector<std::string> args{"--config", path, "--tcp", "127.0.0.1:0"};
    args.insert(args.end(), GetParam().more.begin(), GetParam().more.end());
    SimProcess sim(args);
    ASSERT_TRUE(sim.started());
    const auto f = sim.Finish();
    std::remove(path.c_str());

    std::string expected = "controller-sim: " + std::string(GetParam().error);
    if (const auto at = expected.find("PATH"); at != std::string::npos)
        expected.replace(at, 4, path);
    EXPECT_EQ(f.status, 2);
    EXPECT_EQ(f.err.substr(0, f.err.find('\n')), expected);
    EXPECT_EQ(f.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    ControllerSimProcess, ProcessRefusals,
    ::testing::Values(
        ProcessRefusalCase{"badValue", WithController("alarm = 9\n"), {}, "PATH:4: bad alarm '9': want 0 to 6"},
        ProcessRefusalCase{"notText", "\xFF\xFE[", {}, "PATH:1: not UTF-8 text"},
        ProcessRefusalCase{"empty", "", {}, "PATH: no [controller]: a line has one at least"},
        ProcessRefusalCase{"controllerOptionBeside", kController, {"--serial", "16030009"},
                           "--config describes the whole line; refused beside it: --serial"},
        ProcessRefusalCase{"configTwice", kController, {"--config", "other.ini"}, "--config given twice"},
        ProcessRefusalCase{"listenHostNoIpv4", kController, {"--tcp", "300.0.0.1:47301"},
                           "bad --tcp, HOST must be a dotted IPv4 address such as 127.0.0.1: 300.0.0.1:47301"},
        ProcessRefusalCase{"listenPortTooLarge", kController, {"--tcp", "127.0.0.1:65536"},
                           "bad --tcp, PORT must be a number 0 to 65535: 127.0.0.1:65536"},
        ProcessRefusalCase{"versionWithValue", kController, {"--version", "0521"},
                           "--version takes no value; the firmware version is --firmware-version: 0521"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
