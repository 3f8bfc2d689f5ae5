// controller-cli's sub-commands against the substitute controller, most of
// them run inside the test program on the fake link; the real executable on
// TCP loopback and a terminal for what only the program shows: its exit
// status on a port that cannot be opened, signals, a terminal's redrawn
// progress lines and a serial line's speed.
#include "CliInProcess.h"
#include "CliProcess.h"

#include "link/FrameCodec.h"
#include "link/ProgramVersion.h"
#include "sim/ControllerSim.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>


namespace {

// Sub-commands run inside the test program against the substitute
// controller's line on the fake link (CliInProcess.h); Cli here is that run.
class CliInProcessTest : public ::testing::Test {
protected:
    CliRun Cli(const std::string& args) { return CliInProcess(line, args); }

    ct::testing::FakeLine line;
    ct::sim::ControllerSim& sim = line.sim;
    // Any address: the fake line is behind every one.
    const std::string net = "--net 127.0.0.1:5001";
};

}  // namespace

TEST_F(CliInProcessTest, send_checkedReply_printsEscapedFrameAndExits0)
{
    const CliRun r = Cli(net + " send 0001AS");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("\\x030001AS16030001\\x04", r.out.substr(0, 22));
    EXPECT_EQ("\\x0D\n", r.out.substr(r.out.size() - 5));
    EXPECT_EQ(22u + 4u + 5u, r.out.size());
    EXPECT_EQ(std::vector<std::string>{"0001AS"}, sim.Commands());
}

TEST_F(CliInProcessTest, send_noAnswerOrBadCheck_printsCommandErrorAndExits1)
{
    sim.InjectFault({ct::sim::FaultKind::NoAnswer, "AS", 1});
    CliRun r = Cli(net + " send 0001AS");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("Command error!\n", r.err);
    EXPECT_EQ("", r.out);

    sim.InjectFault({ct::sim::FaultKind::WrongCrc, "AS", 1});
    r = Cli(net + " send 0001AS");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("Command error!\n", r.err);
}

TEST_F(CliTest, send_linkNotOpened_printsConnectErrorAndExits2)
{
    const CliRun r = Cli("--com /dev/does-not-exist-ct send 0001AS");
    EXPECT_EQ(2, r.status);
    EXPECT_EQ("controller-cli: cannot open /dev/does-not-exist-ct: No such file or directory\n"
              "Connect device error!\n",
              r.err);
}

TEST_F(CliInProcessTest, badArgumentsOrTooLongText_exit64AndSendNothing)
{
    const std::string longCrc(ct::link::MaxCrcCommandLength + 1, 'A');
    const std::string fitsXor(ct::link::MaxXorCommandLength - 3, 'A');
    for (const std::string& args :
         {std::string(""), std::string("send 0001AS"), net + " --com ttyS0 send 0001AS", net,
          net + " send", net + " send 0001AS extra", net + " --framing crc16 send 0001AS",
          net + " --bogus send 0001AS", net + " --settings 9600,n,8,1 send 0001AS",
          std::string("--net 127.0.0.1 send 0001AS"), net + " send " + longCrc,
          net + " --framing xor send " + fitsXor + "AAAA"}) {
        const CliRun r = Cli(args);
        EXPECT_EQ(64, r.status) << args.substr(0, 80);
        EXPECT_FALSE(r.err.empty()) << args.substr(0, 80);
    }
    EXPECT_TRUE(sim.Commands().empty());
}

TEST_F(CliInProcessTest, help_explainsEveryOptionAndExits0)
{
    const CliRun r = Cli("--help");
    EXPECT_EQ(0, r.status);
    for (const char* option : {"--net", "--com", "--settings", "--framing", "send"})
        EXPECT_NE(std::string::npos, r.out.find(option)) << option;
}

TEST_F(CliTest, help_ofEverySubCommandPiped_fitsEightyColumns)
{
    for (const char* sub : {"", "send", "connect", "dido", "poll", "set-speed", "controller-id", "g6",
                            "g6 set-card-type", "g6 card-type", "g4 set-id", "set-model", "upgrade", "ports",
                            "batch"}) {
        const CliRun r = Cli(std::string(sub) + " --help");
        EXPECT_EQ(0, r.status) << sub;
        for (const std::string& line : Lines(r.out))
            EXPECT_LE(line.size(), 80U) << sub << ": " << line;
    }
    EXPECT_NE(std::string::npos, Cli("send --help").out.find("--framing MODE")) << "send --help";
}

TEST_F(CliTest, versionOrMistypedSubCommand_answeredWithNothingSent)
{
    const std::string version = "controller-cli " + std::string(ct::ProgramVersion()) + "\n";
    const struct {
        std::string args;
        int status;
        std::string out;
        std::string errLine;  // the first line of stderr
    } cases[] = {
        {"--version", 0, version, ""},
        {net + " --id 0001 --version connect", 0, version, ""},
        {net + " connect --version", 64, "", "controller-cli: --version goes before the sub-command"},
        {net + " conect", 64, "", "controller-cli: unknown sub-command 'conect'; did you mean connect?"},
        {net + " g6 seral 1", 64, "", "controller-cli: unknown sub-command 'seral' of g6; did you mean serial?"},
        {net + " launch", 64, "", "controller-cli: unknown sub-command 'launch'"},
    };
    for (const auto& c : cases) {
        const CliRun r = Cli(c.args);
        EXPECT_EQ(c.status, r.status) << c.args;
        EXPECT_EQ(c.out, r.out) << c.args;
        EXPECT_EQ(c.errLine, r.err.substr(0, r.err.find('\n'))) << c.args;
    }
    EXPECT_TRUE(sim.Commands().empty());
}

namespace {

const std::string kRecordLine = "[1] 2024/03/01  07:59:59 (0012) [12345]";

struct SubCommandCase {
    const char* name;
    std::string args;  // after --net
    int status;
    std::vector<std::string> out;
    std::vector<std::string> heard;
    std::function<void(ct::sim::ControllerSim&)> prepare = nullptr;
};

std::ostream& operator<<(std::ostream& os, const SubCommandCase& c)
{
    return os << c.name;
}

// The page examples address DeviceID 0000: a controller that has that ID.
void AnswerAsId0000(ct::sim::ControllerSim& sim)
{
    ct::sim::ControllerConfig config = sim.Config();
    config.id = "0000";
    sim.SetConfig(config);
}

const SubCommandCase kSubCommandCases[] = {
    {"alarm", "--id 0001 alarm 6", 0, {}, {"0001JF6"}},
    {"alarmOff_idAfterSubCommand", "alarm 0 --id 0001", 0, {}, {"0001JF0"}},
    {"factoryReset", "--id 0001 factory-reset", 0, {}, {"0001AR01"}},
    {"reboot", "--id 0001 reboot", 0, {}, {"0001AR00"}},
    // Addressed to another controller: nothing answers, nothing else is sent.
    {"alarm_defaultIdNotAnswered", "alarm 1", 1, {}, {"0000JF1"}},
    {"connect", "connect --at 1", 0, {"KX410NT4-SG4  0520", "S/N:16030001   ID:0001"},
     {"0001AC", "0001DB", "0001AS"}},
    // "AC" is answered under the controller's own ID, which is adopted.
    {"connect_otherIdAdopted", "--id 0042 connect --at 7", 0, {"KX410NT4-SG4  0520", "S/N:16030001   ID:0001"},
     {"0007AC", "0001DB", "0001AS"}},
    {"dido_twoOutputsTwoCycles", "--id 0001 dido --outputs 1,3 --cycles 2", 0, {"10100101", "10100101"},
     {"0001JC00110002", "0001JC00310002", "0001DG0", "0001JC00110002", "0001JC00310002", "0001DG0", "0001JD"},
     [](ct::sim::ControllerSim& sim) { sim.SetInputs("10100101"); }},
    {"dido_noOutputsThreeCycles", "--id 0001 dido --cycles 3", 0, {"00000000", "00000000", "00000000"},
     {"0001DG0", "0001DG0", "0001DG0", "0001JD"}},
    // Rejected input replies print nothing; the test still ends with "JD" and 0.
    // No cycle answered: a script must not take it for a success.
    {"dido_wrongLengthReplies", "--id 0001 dido --outputs 4 --cycles 1", 1, {}, {"0001JC00410002", "0001DG0", "0001JD"},
     [](ct::sim::ControllerSim& sim) { sim.InjectFault({ct::sim::FaultKind::WrongLength, "DG0", -1, 1}); }},
    {"poll_twoRecordsThreeCycles", "--id 0001 poll --cycles 3", 0, {kRecordLine, kRecordLine},
     {"0001PI", "0001IB", "0001PI", "0001IB", "0001PI"},
     [](ct::sim::ControllerSim& sim) {
         sim.QueueRecord({});
         sim.QueueRecord({});
     }},
    {"setSpeed_115200", "--id 0001 set-speed 115200", 0, {"115200,n,8,1"}, {"0001AE001400"}},
    {"command", "--id 0001 command AS", 0, {"\\x030001AS16030001\\x04"}, {"0001AS"}},
    {"module_byLetter", "--id 0001 module H 1 B", 0, {"\\x030001DDH1OK\\x04"}, {"0001DDH1B"}},
    {"module_byConsoleName", "--id 0001 module KXRB5/KX77 1 B", 0, {"\\x030001DDH1OK\\x04"}, {"0001DDH1B"}},
    {"module_lowerCaseLetter", "--id 0001 module h 1 S", 0, {"\\x030001DDH1S16030001\\x04"}, {"0001DDH1S"}},

    {"controllerId_byDeviceId", "--id 0001 controller-id", 0, {"0001", "16030001"}, {"0001AS"}},
    {"controllerId_otherDeviceId_notAnswered", "controller-id", 1, {}, {"0000AS"}},
    {"controllerId_wrongLength", "--id 0001 controller-id", 1, {}, {"0001AS"},
     [](ct::sim::ControllerSim& sim) { sim.InjectFault({ct::sim::FaultKind::WrongLength, "AS", 1, 1}); }},
    {"controllerId_serialWithControlByte_escaped", "--id 0001 controller-id", 0, {"0001", "1603\\x07001"},
     {"0001AS"},
     [](ct::sim::ControllerSim& sim) {
         ct::sim::ControllerConfig config = sim.Config();
         config.serial = "1603\a001";
         sim.SetConfig(config);
     }},
    {"controllerId_bySerial", "controller-id --by-sn 16030001", 0, {"0001"}, {"0000AV16030001"}},
    // The serial-number commands go to 0000 whatever --id says.
    {"controllerId_bySerialOtherDeviceId", "--id 0005 controller-id --by-sn 16030001", 0, {"0001"},
     {"0000AV16030001"}},
    {"controllerId_bySerialUnknown_notAnswered", "controller-id --by-sn 16039999", 1, {}, {"0000AV16039999"}},
    {"controllerId_bySerialPlainAcknowledgement", "controller-id --by-sn 16030001", 1, {}, {"0000AV16030001"},
     [](ct::sim::ControllerSim& sim) { sim.InjectFault({ct::sim::FaultKind::WrongLength, "AV", 1, 1}); }},
    {"setControllerId", "set-controller-id 16030001 0001", 0, {}, {"0000AV160300010001"}},
    // Not padded: the controller refuses an ID of two characters.
    {"setControllerId_newIdAsTyped", "--id 0001 set-controller-id 16030001 12", 1, {}, {"0000AV1603000112"}},
    {"setControllerId_wrongLength", "set-controller-id 16030001 0002", 1, {}, {"0000AV160300010002"},
     [](ct::sim::ControllerSim& sim) { sim.InjectFault({ct::sim::FaultKind::WrongLength, "AV", 1, 1}); }},

    {"g6Serial", "g6 serial 1", 0, {"16030001"}, {"0000DR050006880000010001"}, AnswerAsId0000},
    {"g6Serial_idAfterSubCommand", "g6 serial 1 --id 0001", 0, {"16030001"}, {"0001DR050006880000010001"}},
    {"g6Serial_absentModule", "--id 0001 g6 serial 0", 1, {}, {"0001DR050006880000010000"}},
    {"g6Id", "g6 id 16030001", 0, {"1"}, {"0000DR0500088400000216030001"}, AnswerAsId0000},
    {"g6Id_digitNineStillPrinted", "--id 0001 g6 id 16030001", 0, {"9"}, {"0001DR0500088400000216030001"},
     [](ct::sim::ControllerSim& sim) {
         ct::sim::ControllerConfig config = sim.Config();
         config.g6Modules[0].id = 9;
         sim.SetConfig(config);
     }},
    {"g6Id_unknownSerial", "--id 0001 g6 id 16039999", 1, {}, {"0001DR0500088400000216039999"}},
    {"g6Id_shortReply", "--id 0001 g6 id 16030001", 1, {}, {"0001DR0500088400000216030001"},
     [](ct::sim::ControllerSim& sim) { sim.InjectFault({ct::sim::FaultKind::WrongLength, "DR05", 1, 1}); }},
    {"g6SetId", "g6 set-id 16030001 1", 0, {}, {"0000DR05001084000002160300011603000100010000"}, AnswerAsId0000},
    {"g6SetId_eight", "--id 0001 g6 set-id 16030001 8", 0, {}, {"0001DR05001084000002160300011603000100080000"}},
    {"g6SetId_unknownSerial", "--id 0001 g6 set-id 16039999 2", 1, {},
     {"0001DR05001084000002160399991603999900020000"}},
    {"g6CardType", "g6 card-type 1", 0, {"types=A,BG", "delay=10", "green=1"}, {"0000DR050006880002030001"},
     AnswerAsId0000},
    {"g6CardType_absentModule", "--id 0001 g6 card-type 8", 1, {}, {"0001DR050006880002030008"}},
    {"g6CardType_wrongLength", "--id 0001 g6 card-type 1", 1, {}, {"0001DR050006880002030001"},
     [](ct::sim::ControllerSim& sim) { sim.InjectFault({ct::sim::FaultKind::WrongLength, "DR05", 1, 1}); }},
    // Bit 3 and the bits above the six kinds name no box; the reset bit is
    // not shown.
    {"g6CardType_unnamedBitsAndResetOnly", "--id 0001 g6 card-type 1", 0, {"types=", "delay=65535", "green=0"},
     {"0001DR050006880002030001"},
     [](ct::sim::ControllerSim& sim) {
         ct::sim::ControllerConfig config = sim.Config();
         config.g6Modules[0].cardType = 0xFF88;
         config.g6Modules[0].delay = 0xFFFF;
         config.g6Modules[0].mode = 0x0002;
         sim.SetConfig(config);
     }},
    {"g6SetCardType_pageStartValues", "g6 set-card-type 1 --types A,BG --delay 10 --green --reset", 0,
     {"types=A,BG", "delay=10", "green=1"}, {"0000DR05000E8800020300010041000A00030000"}, AnswerAsId0000},
    {"g6SetCardType_noKinds", "--id 0001 g6 set-card-type 1 --types none", 0, {"types=", "delay=10", "green=0"},
     {"0001DR05000E8800020300010000000A00000000"}},
    {"g6SetCardType_allKindsAnyCase", "--id 0001 g6 set-card-type 1 --types bg,b,15693,7byte,ablock,a --reset", 0,
     {"types=A,ABlock,7Byte,15693,B,BG", "delay=10", "green=0"}, {"0001DR05000E8800020300010077000A00020000"}},
    {"g6SetCardType_repeatedKindOnce", "--id 0001 g6 set-card-type 1 --types B,B --delay 999 --green", 0,
     {"types=B", "delay=999", "green=1"}, {"0001DR05000E880002030001002003E700010000"}},
    {"g6SetCardType_minusOneDelay", "--id 0001 g6 set-card-type 1 --types 15693 --delay -1", 0,
     {"types=15693", "delay=65535", "green=0"}, {"0001DR05000E8800020300010010FFFF00000000"}},
    {"g6SetCardType_delayLow16Bits", "--id 0001 g6 set-card-type 1 --types none --delay=65546", 0,
     {"types=", "delay=10", "green=0"}, {"0001DR05000E8800020300010000000A00000000"}},
    // A delay that is no decimal number writes the window's fixed words.
    {"g6SetCardType_nonDecimalDelay_fallbackWords", "--id 0001 g6 set-card-type 1 --types A,B --delay 1a --reset",
     0, {"types=", "delay=10", "green=1"}, {"0001DR05000E8800020300010000000A00010000"}},
    {"g6SetCardType_emptyDelay_fallbackWords", "--id 0001 g6 set-card-type 1 --types BG --delay '' --green", 0,
     {"types=", "delay=10", "green=1"}, {"0001DR05000E8800020300010000000A00010000"}},
    {"g6SetCardType_absentModule", "--id 0001 g6 set-card-type 2 --types A", 1, {},
     {"0001DR05000E8800020300020001000A00000000"}},

    {"g4Serial", "g4 serial H 1", 0, {"16030001"}, {"0000DDH1S"}, AnswerAsId0000},
    {"g4Serial_byG4PageName", "--id 0001 g4 serial KXRB5/BS/BQ 1", 0, {"16030001"}, {"0001DDH1S"}},
    {"g4Serial_absentModule", "--id 0001 g4 serial KXRA1/A5/C5 0", 1, {}, {"0001DDA0S"}},
    {"g4Serial_wrongLength", "--id 0001 g4 serial h 1", 1, {}, {"0001DDH1S"},
     [](ct::sim::ControllerSim& sim) { sim.InjectFault({ct::sim::FaultKind::WrongLength, "DD", 1, 1}); }},
    {"g4Serial_controlByte_escaped", "--id 0001 g4 serial H 1", 0, {"\\x7F6030001"}, {"0001DDH1S"},
     [](ct::sim::ControllerSim& sim) {
         ct::sim::ControllerConfig config = sim.Config();
         config.g4Modules[0].serial = "\x7F" "6030001";
         sim.SetConfig(config);
     }},
    // Any checked reply sets the ID, a plain acknowledgement included.
    {"g4SetId", "g4 set-id H 16030001 1", 0, {}, {"0000DDH0C160300011"}, AnswerAsId0000},
    {"g4SetId_anyReplyLength", "--id 0001 g4 set-id KXRB5/BS/BQ 16030001 5", 0, {}, {"0001DDH0C160300015"},
     [](ct::sim::ControllerSim& sim) { sim.InjectFault({ct::sim::FaultKind::WrongLength, "DD", 1, 7}); }},
    {"g4SetId_printerEight_absent", "--id 0001 g4 set-id KXPRINT 16030001 8", 1, {}, {"0001DDE0C160300018"}},

    {"setModel_twelveCharacters", "--id 0001 set-model KX410NT4-SG4", 0, {}, {"0001ASKX410NT4-SG4"}},
    {"setModel_elevenCharacters_paddedWithOneSpace", "--id 0001 set-model KX430-NT-4R", 0, {},
     {"0001ASKX430-NT-4R "}},
    {"setModel_surroundingBlanks_trimmed", "--id 0001 set-model '  KX450NT4-SG5 '", 0, {}, {"0001ASKX450NT4-SG5"}},
    {"setModel_controlCharacters_trimmed", "--id 0001 set-model '\tKX460\r'", 0, {},
     {"0001ASKX460       "}},
    {"setModel_twentyCharacters_cutToTwelve", "--id 0001 set-model KX470NT4-SG4-EXTRA12", 0, {},
     {"0001ASKX470NT4-SG4"}},
    {"setModel_innerBlanks_kept", "--id 0001 set-model 'KX 400  G1F'", 0, {}, {"0001ASKX 400  G1F "}},
    {"setModel_empty_twelveSpaces", "--id 0001 set-model ''", 0, {}, {"0001AS            "}},
    {"setModel_version_appended", "--id 0001 set-model KX410NT4-SG4 --version 0495", 0, {},
     {"0001ASKX410NT4-SG40495"}},
    {"setModel_shortNameAndVersion", "--id 0001 set-model KX430-NT-4R --version ' 0298 '", 0, {},
     {"0001ASKX430-NT-4R 0298"}},
    // The version is neither filled nor checked, as the page sends it.
    {"setModel_versionAsTyped", "--id 0001 set-model KX410NT4-SG4 --version 05031", 0, {},
     {"0001ASKX410NT4-SG405031"}},
    {"setModel_emptyVersion_nothingAppended", "--id 0001 set-model KX410NT4-SG4 --version ''", 0, {},
     {"0001ASKX410NT4-SG4"}},
    {"setModel_otherId_notAnswered", "set-model KX410NT4-SG4", 1, {}, {"0000ASKX410NT4-SG4"}},
    {"setModel_wrongLength", "--id 0001 set-model KX410NT4-SG4", 1, {}, {"0001ASKX410NT4-SG4"},
     [](ct::sim::ControllerSim& sim) { sim.InjectFault({ct::sim::FaultKind::WrongLength, "AS", 1, 1}); }},
};

class CliSubCommandTest : public CliInProcessTest, public ::testing::WithParamInterface<SubCommandCase> {};

// Replies end in their CRC characters and the CR: compared up to the EOT.
std::string WithoutCheck(std::string line)
{
    const auto eot = line.find("\\x04");
    if (eot != std::string::npos && line.size() == eot + 4 + 4 + 4)
        line.resize(eot + 4);
    return line;
}

}  // namespace

TEST_P(CliSubCommandTest, subCommand_againstController_exitStatusOutputAndCommandsHeard)
{
    const SubCommandCase& c = GetParam();
    if (c.prepare)
        c.prepare(sim);
    const CliRun r = Cli(net + " " + c.args);
    EXPECT_EQ(c.status, r.status) << r.err;
    std::vector<std::string> out;
    for (const std::string& line : Lines(r.out))
        out.push_back(WithoutCheck(line));
    EXPECT_EQ(c.out, out);
    EXPECT_EQ(c.heard, sim.Commands());
    EXPECT_EQ(c.status == 0 ? "Command ok." : "Command error!", Lines(r.err).back());
}

// The same cases with --json: the same exit status and commands, and the
// objects' fields give back the plain output's lines.
TEST_P(CliSubCommandTest, subCommandJson_againstController_objectsCarryThePlainOutput)
{
    const SubCommandCase& c = GetParam();
    if (c.prepare)
        c.prepare(sim);
    const CliRun r = Cli(net + " --json " + c.args);
    EXPECT_EQ(c.status, r.status) << r.err;
    EXPECT_EQ(c.heard, sim.Commands());

    // The fields in the order the plain output prints them.
    const struct {
        const char* key;
        bool keyValue;
    } plainOrder[] = {{"reply", false}, {"version", false}, {"id", false},    {"serial", false},
                      {"time", false},  {"settings", false}, {"inputs", false}, {"text", false},
                      {"types", true},  {"delay", true},     {"green", true},   {"blocks", true}};
    std::vector<std::string> fromJson;
    QJsonObject last;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        ASSERT_EQ(QJsonParseError::NoError, error.error) << line;
        ASSERT_TRUE(doc.isObject()) << line;
        last = doc.object();
        for (const auto& field : plainOrder) {
            const QJsonValue value = last.value(field.key);
            if (value.isUndefined())
                continue;
            const std::string text =
                value.isDouble() ? std::to_string(value.toInteger()) : WithoutCheck(value.toString().toStdString());
            fromJson.push_back(field.keyValue ? std::string(field.key) + "=" + text : text);
        }
    }
    // connect's object gives the values, not the panels' texts (tst_CliEdges).
    if (c.args.find("connect") == std::string::npos) {
        EXPECT_EQ(c.out, fromJson);
    }
    EXPECT_EQ(c.status == 0 ? "ok" : "command-error", last.value("outcome").toString().toStdString());
    const std::string operation = last.value("operation").toString().toStdString();
    // The operation is the sub-command as typed, e.g. "g6 card-type".
    EXPECT_NE(std::string::npos, (" " + c.args + " ").find(" " + operation + " ")) << operation;
    EXPECT_EQ(c.status == 0 ? "Command ok.\n" : "Command error!\n", r.err);
}

INSTANTIATE_TEST_SUITE_P(SubCommands, CliSubCommandTest, ::testing::ValuesIn(kSubCommandCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliInProcessTest, command_printsTheReplyExactlyAsSendDoes)
{
    const CliRun sent = Cli(net + " send 0001DDH1S");
    const CliRun typed = Cli(net + " --id 0001 module H 1 S");
    EXPECT_EQ(0, typed.status);
    EXPECT_EQ(sent.out, typed.out);
    const CliRun command = Cli(net + " --id 0001 command DDH1S");
    EXPECT_EQ(sent.out, command.out);
}

TEST_F(CliInProcessTest, setTime_printsTheFourteenDigitsTheControllerHeard)
{
    const CliRun r = Cli(net + " --id 0001 set-time");
    EXPECT_EQ(0, r.status) << r.err;
    const std::vector<std::string> heard = sim.Commands();
    ASSERT_EQ(1u, heard.size());
    ASSERT_EQ("0001AA", heard[0].substr(0, 6));
    const std::string digits = heard[0].substr(6);
    EXPECT_EQ(14u, digits.size());
    EXPECT_EQ(std::string::npos, digits.find_first_not_of("0123456789"));
    EXPECT_EQ(digits + "\n", r.out);
}

TEST_F(CliInProcessTest, setSpeed_acknowledged_printsNewSettingsAndSwitchesController)
{
    const CliRun r = Cli(net + " --id 0001 set-speed 19200");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("19200,e,8,1\n", r.out);
    EXPECT_EQ(std::vector<std::string>{"0001AE001002"}, sim.Commands());
    EXPECT_EQ("19200,e,8,1", sim.Config().line);
}

TEST_F(CliInProcessTest, setSpeed_notAcknowledged_printsUnchangedSettingsAndExits1)
{
    sim.InjectFault({ct::sim::FaultKind::WrongLength, "AE", 1, 1});
    const CliRun r = Cli(net + " --id 0001 set-speed 19200");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("115200,n,8,1\n", r.out);
    EXPECT_EQ("Command error!\n", r.err);
}

TEST_F(CliInProcessTest, silentController_subCommandsExit1)
{
    sim.InjectFault({ct::sim::FaultKind::NoAnswer, "JF", 1});
    CliRun r = Cli(net + " --id 0001 alarm 2");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("Command error!\n", r.err);
    EXPECT_EQ("", r.out);

    // Connected but not identified: both panels empty, "Command error!".
    sim.InjectFault({ct::sim::FaultKind::NoAnswer, "DB", 1});
    r = Cli(net + " connect --at 1");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("\n\n", r.out);
    EXPECT_EQ((std::vector<std::string>{"0001JF2", "0001AC", "0001DB"}), sim.Commands());
}

TEST_F(CliInProcessTest, refusedConnection_subCommandsExit2AndPrintNothing)
{
    line.device.failTcpOpen = true;
    const std::string target = net + " --id 0001 ";
    for (const char* args :
         {"alarm 1", "connect", "dido --cycles 1", "poll", "set-time", "command AS", "module H 1 S", "controller-id",
          "controller-id --by-sn 16030001", "set-controller-id 16030001 0002", "g6 serial 1", "g6 id 16030001",
          "g6 set-id 16030001 2", "g6 card-type 1", "g6 set-card-type 1 --types A", "g4 serial H 1",
          "g4 set-id H 16030001 2", "set-model KX410NT4-SG4", "upgrade missing.KXB --kind 1"}) {
        const CliRun r = Cli(target + args);
        EXPECT_EQ(2, r.status) << args;
        // The fake refuses without a system reason; tst_CliEdges checks the reason.
        EXPECT_EQ("Connect device error!\n", r.err) << args;
        EXPECT_EQ("", r.out) << args;
    }
    // set-speed still tells which settings are in use.
    const CliRun r = Cli(target + "set-speed 19200");
    EXPECT_EQ(2, r.status);
    EXPECT_EQ("115200,n,8,1\n", r.out);
}

TEST_F(CliInProcessTest, subCommandBadArguments_exit64AndSendNothing)
{
    const std::string longText(ct::link::MaxCrcCommandLength - 4 + 1, 'A');
    const std::string longModuleText(ct::link::MaxCrcCommandLength - 8 + 1, 'A');
    for (const std::string& args :
         {std::string("alarm 7"), std::string("alarm -1"), std::string("alarm x"), std::string("alarm"),
          std::string("alarm 1 2"), std::string("module Z 1 X"), std::string("module H 9 X"),
          std::string("module H 0 X"), std::string("module H 1"), std::string("dido --cycles 0"),
          std::string("dido --cycles -2"), std::string("dido --outputs 5"), std::string("dido --outputs 1,,3"),
          std::string("poll --cycles 0"), std::string("set-speed 9600"), std::string("frobnicate"),
          std::string("--id 001 alarm 1"), std::string("--id 00001 alarm 1"), std::string("connect --at 10000"),
          std::string("connect --at -1"), std::string("--framing xor alarm 1"), std::string("reboot now"),
          std::string("command ") + longText, std::string("module H 1 ") + longModuleText,
          std::string("controller-id 16030001"), std::string("controller-id --by-sn"),
          std::string("set-controller-id 16030001"), std::string("set-controller-id 16030001 0001 x"),
          std::string("g6"), std::string("g6 frobnicate 1"), std::string("g6 serial 9"), std::string("g6 serial -1"),
          std::string("g6 serial 01"), std::string("g6 serial"), std::string("g6 id"),
          std::string("g6 set-id 16030001 0"), std::string("g6 set-id 16030001 9"), std::string("g6 set-id 16030001"),
          std::string("g6 card-type 9"), std::string("g6 card-type 1 2"), std::string("g6 set-card-type"),
          std::string("g6 set-card-type 9"), std::string("g6 set-card-type 1 --types C"),
          std::string("g6 set-card-type 1 --types A,,BG"), std::string("g6 set-card-type 1 --types A,"),
          std::string("g6 serial 1 --types A"),
          std::string("g4"), std::string("g4 serial Z 1"), std::string("g4 serial H 9"), std::string("g4 serial H"),
          std::string("g4 set-id H 16030001 0"), std::string("g4 set-id H 16030001"),
          std::string("g4 set-id Q 16030001 1"), std::string("set-model"), std::string("set-model A B"),
          std::string("set-model A --version"), std::string("set-model A --version ") + longText,
          std::string("set-model A --kind 1"), std::string("upgrade"), std::string("upgrade f.KXB"),
          std::string("upgrade --kind 1"), std::string("upgrade f.KXB --kind 8"), std::string("upgrade f.KXB --kind -1"),
          std::string("upgrade f.KXB --kind x"), std::string("upgrade f.KXB --kind"),
          std::string("upgrade f.KXB g.KXB --kind 1"), std::string("upgrade f.KXB --kind 1 --version 0503")}) {
        const CliRun r = Cli(net + " " + args);
        EXPECT_EQ(64, r.status) << args.substr(0, 80);
        EXPECT_FALSE(r.err.empty()) << args.substr(0, 80);
        EXPECT_EQ("", r.out) << args.substr(0, 80);
    }
    EXPECT_TRUE(sim.Commands().empty());
}

namespace {

// A command that carries a serial number as typed: its text is `overhead`
// characters and `copies` times the serial number.
struct LongSerialCase {
    const char* name;
    std::size_t overhead;
    std::size_t copies;
    std::function<std::string(const std::string&)> args;

    std::size_t Longest() const { return (ct::link::MaxCrcCommandLength - overhead) / copies; }
};

std::ostream& operator<<(std::ostream& os, const LongSerialCase& c)
{
    return os << c.name;
}

const LongSerialCase kLongSerialCases[] = {
    // "0000AV" + SN
    {"controllerIdBySerial", 6, 1, [](const std::string& sn) { return "controller-id --by-sn " + sn; }},
    // ID + head + SN
    {"g6Id", 20, 1, [](const std::string& sn) { return "g6 id " + sn; }},
    // ID + head + SN twice + new ID + "0000"
    {"g6SetId", 28, 2, [](const std::string& sn) { return "g6 set-id " + sn + " 1"; }},
    // ID + "DD" + letter + "0C" + SN + new ID digit
    {"g4SetId", 10, 1, [](const std::string& sn) { return "g4 set-id H " + sn + " 1"; }},
};

class CliLongSerialTest : public CliInProcessTest, public ::testing::WithParamInterface<LongSerialCase> {};

}  // namespace

TEST_P(CliLongSerialTest, serialNumber_longerThanOneRequestTakes_exit64AndSendNothing)
{
    const LongSerialCase& c = GetParam();
    const std::size_t length = c.Longest() + 1;
    const CliRun r = Cli(net + " " + c.args(std::string(length, '1')));
    EXPECT_EQ(64, r.status);
    EXPECT_NE(std::string::npos,
              r.err.find("command text of " + std::to_string(c.overhead + c.copies * length) + " characters"))
        << r.err;
    EXPECT_EQ("", r.out);
    EXPECT_TRUE(sim.Commands().empty());
}

TEST_P(CliLongSerialTest, serialNumber_longestThatFits_sentAndUnanswered)
{
    const LongSerialCase& c = GetParam();
    const CliRun r = Cli(net + " " + c.args(std::string(c.Longest(), '1')));
    // Nobody has that serial number; the substitute controller does not even
    // take a request frame of the full 1500 bytes, so only the exit status
    // tells that it went out.
    EXPECT_EQ(1, r.status) << r.err;
    EXPECT_EQ("Command error!\n", r.err);
    EXPECT_EQ("", r.out);
}

INSTANTIATE_TEST_SUITE_P(LongSerials, CliLongSerialTest, ::testing::ValuesIn(kLongSerialCases),
                         [](const auto& info) { return std::string(info.param.name); });

namespace {

// A setting written by one sub-command and read back by another.
struct RoundTripCase {
    const char* name;
    std::string write;
    std::string read;
    std::vector<std::string> readOut;
};

std::ostream& operator<<(std::ostream& os, const RoundTripCase& c)
{
    return os << c.name;
}

const RoundTripCase kRoundTripCases[] = {
    {"g6CardTypes", "--id 0001 g6 set-card-type 1 --types ABlock,15693,B --delay 255 --reset",
     "--id 0001 g6 card-type 1", {"types=ABlock,15693,B", "delay=255", "green=0"}},
    {"g6CardTypesGreen", "--id 0001 g6 set-card-type 1 --types 7Byte --delay 0 --green",
     "--id 0001 g6 card-type 1", {"types=7Byte", "delay=0", "green=1"}},
    // The module answers to its new ID from then on.
    {"g6Id", "--id 0001 g6 set-id 16030001 3", "--id 0001 g6 id 16030001", {"3"}},
    {"g6IdThenSerial", "--id 0001 g6 set-id 16030001 6", "--id 0001 g6 serial 6", {"16030001"}},
    {"g4Id", "--id 0001 g4 set-id KXRB5/BS/BQ 16030001 4", "--id 0001 g4 serial H 4", {"16030001"}},
    // The controller keeps the new ID; --id has to follow it.
    {"controllerId", "set-controller-id 16030001 0042", "--id 0042 controller-id", {"0042", "16030001"}},
};

class CliRoundTripTest : public CliInProcessTest, public ::testing::WithParamInterface<RoundTripCase> {};

}  // namespace

TEST_P(CliRoundTripTest, setting_writtenThenRead_readsWhatWasWritten)
{
    const RoundTripCase& c = GetParam();
    const CliRun written = Cli(net + " " + c.write);
    ASSERT_EQ(0, written.status) << written.err;
    const CliRun read = Cli(net + " " + c.read);
    EXPECT_EQ(0, read.status) << read.err;
    EXPECT_EQ(c.readOut, Lines(read.out));
    EXPECT_EQ(2u, sim.Commands().size());
}

INSTANTIATE_TEST_SUITE_P(RoundTrips, CliRoundTripTest, ::testing::ValuesIn(kRoundTripCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliInProcessTest, g6SetCardType_printsWhatTheModuleNowHolds)
{
    const CliRun r = Cli(net + " --id 0001 g6 set-card-type 1 --types A,7Byte,BG --delay 300 --green --reset");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ((std::vector<std::string>{"types=A,7Byte,BG", "delay=300", "green=1"}), Lines(r.out));
    const ct::sim::G6Module module = sim.Config().g6Modules.at(0);
    EXPECT_EQ(0x0045, module.cardType);
    EXPECT_EQ(300, module.delay);
    EXPECT_EQ(0x0003, module.mode);
}

TEST_F(CliInProcessTest, subCommandHelp_exits0)
{
    for (const char* sub : {"send", "connect", "set-time", "alarm", "factory-reset", "reboot", "dido", "poll",
                            "set-speed", "command", "module", "controller-id", "set-controller-id", "g6", "g6 serial",
                            "g6 id", "g6 set-id", "g6 card-type", "g6 set-card-type", "g4", "g4 serial",
                            "g4 set-id", "set-model", "upgrade"}) {
        const CliRun r = Cli(std::string(sub) + " --help");
        EXPECT_EQ(0, r.status) << sub;
        EXPECT_NE(std::string::npos, r.out.find(std::string("controller-cli ") + sub)) << sub;
        EXPECT_NE(std::string::npos, r.out.find("Exit status")) << sub;
    }
}

TEST_F(CliTest, continuousTest_signal_endsTheWindowsWayAndExits0)
{
    struct SignalCase {
        const char* args;
        int signal;
        const char* lastHeard;
    };
    for (const SignalCase& c : {SignalCase{"--id 0001 dido --outputs 2", SIGTERM, "0001JD"},
                                SignalCase{"--id 0001 poll", SIGINT, "0001PI"}}) {
        sim.ClearCommands();
        CliProcess p = StartCli(net + " " + c.args);
        ASSERT_TRUE(p.started());
        EXPECT_TRUE(sim.WaitForCommands(4, 10s)) << c.args;
        p.Signal(c.signal);
        const CliRun r = FinishCli(p);
        EXPECT_EQ(0, r.status) << c.args << r.err;
        EXPECT_EQ("Command ok.", Lines(r.err).back()) << c.args;
        const std::vector<std::string> heard = sim.Commands();
        EXPECT_EQ(c.lastHeard, heard.back()) << c.args;
        if (c.signal == SIGTERM) {
            const auto reads = std::count(heard.begin(), heard.end(), "0001DG0");
            EXPECT_EQ(static_cast<std::size_t>(reads), Lines(r.out).size());
            EXPECT_EQ(1, std::count(heard.begin(), heard.end(), "0001JD"));
        }
    }
}

TEST(CliSerialTest, setSpeedOverTerminal_laterCommandsNeedTheNewSettings)
{
    ct::sim::ControllerSim sim;
    ASSERT_TRUE(sim.OpenPty());
    sim.Start();
    const std::string port = "--com " + sim.PtyPath() + " --id 0001 ";

    CliRun r = Cli(port + "--settings 115200,n,8,1 set-speed 19200");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("19200,e,8,1\n", r.out);
    EXPECT_EQ("19200,e,8,1", sim.Config().line);

    // Still at the old speed: not heard, and the settings given are reported.
    r = Cli(port + "--settings 115200,n,8,1 set-speed 115200");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("115200,n,8,1\n", r.out);

    r = Cli(port + "--settings 19200,e,8,1 alarm 3");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ((std::vector<std::string>{"0001AE001002", "0001JF3"}), sim.Commands());
}

TEST_F(CliInProcessTest, setModel_thenConnect_versionPanelShowsTheNewModelAndVersion)
{
    CliRun r = Cli(net + " --id 0001 set-model ' KX430-NT-4R' --version 0495");
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ("Command ok.\n", r.err);
    EXPECT_EQ("", r.out);
    r = Cli(net + " connect --at 1");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ((std::vector<std::string>{"KX430-NT-4R   0495", "S/N:16030001   ID:0001"}), Lines(r.out));
}

namespace {

// A firmware file: the 16 header bytes as given (shorter: NUL-filled), then
// the payload.
std::string WriteFirmware(const std::string& name, const std::string& header, const std::string& payload)
{
    const std::string path = ::testing::TempDir() + "cli_fw_" + std::to_string(::getpid()) + "_" + name;
    std::string bytes = header;
    bytes.resize(16, '\0');
    bytes += payload;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

const std::string kMissingFirmware = "/nonexistent-ct/KX920-G4.KXB";

// An upgrade that ends before the boot loader: only "DB" is heard.
struct UpgradeRefusalCase {
    const char* name;
    std::string header;  // empty: the file does not exist
    std::string args;    // after the file
    std::string err;
    std::vector<std::string> heard;
    std::function<void(ct::sim::ControllerSim&)> prepare = nullptr;
};

std::ostream& operator<<(std::ostream& os, const UpgradeRefusalCase& c)
{
    return os << c.name;
}

void ModelIs(ct::sim::ControllerSim& sim, const char* model)
{
    ct::sim::ControllerConfig config = sim.Config();
    config.model = model;
    sim.SetConfig(config);
}

const char* const kLoadError = "Load firmware file error!\n";
const char* const kModelError = "Firmware file format model error!\n";
const char* const kNoModel =
    "controller-cli: no model read: no valid reply to \"DB\" (a controller left in its boot loader gives none); "
    "to upgrade it anyway, give its model: upgrade FILE --kind N --model NAME\nCommand error!\n";

const UpgradeRefusalCase kUpgradeRefusalCases[] = {
    {"missingFile", "", "--id 0001 --kind 1", kLoadError, {"0001DB"}},
    {"missingFileKindWithoutLoader", "", "--id 0001 --kind 7", kLoadError, {"0001DB"}},
    // The 256-byte loader compares 11 characters of the controller's model.
    {"kind1_otherModel", "KX420NT4-SG4", "--id 0001 --kind 1", kModelError, {"0001DB"}},
    {"kind2_lowerCaseHeader", "kx410NT4-SG4", "--id 0001 --kind 2", kModelError, {"0001DB"}},
    {"kind5_controllerModelChanged", "KX410NT4-SG4", "--id 0001 --kind 5", kModelError,
     {"0001DB"}, [](ct::sim::ControllerSim& sim) { ModelIs(sim, "KX420NT4-SG4"); }},
    // A KX460 takes the KX400 image only.
    {"kind1_kx460OwnModel", "KX460NT4-G3F", "--id 0001 --kind 1", kModelError, {"0001DB"},
     [](ct::sim::ControllerSim& sim) { ModelIs(sim, "KX460NT4-G3F"); }},
    {"kind4_sevenCharactersDiffer", "KX410NX4-SG4", "--id 0001 --kind 4", kModelError, {"0001DB"}},
    {"kind3_notKx405Image", "KX410NT4-SG4", "--id 0001 --kind 3", kModelError, {"0001DB"}},
    {"kind6_notKx450Image", "KX405NT-G4", "--id 0001 --kind 6", kModelError, {"0001DB"}},
    {"kind7_noLoader", "KX410NT4-SG4", "--id 0001 --kind 7", "no boot loader for kind 7\nCommand error!\n",
     {"0001DB"}},
    {"kind0_noLoader_anyHeader", "whatever", "--kind 0 --id 0001", "no boot loader for kind 0\nCommand error!\n",
     {"0001DB"}},
    {"describeNotAnswered", "KX410NT4-SG4", "--kind 1", kNoModel, {"0000DB"}},
    {"describeWrongLength", "KX410NT4-SG4", "--id 0001 --kind 1", kNoModel, {"0001DB"},
     [](ct::sim::ControllerSim& sim) { sim.InjectFault({ct::sim::FaultKind::WrongLength, "DB", 1, 1}); }},
};

class CliUpgradeRefusalTest : public CliInProcessTest, public ::testing::WithParamInterface<UpgradeRefusalCase> {};

}  // namespace

TEST_P(CliUpgradeRefusalTest, upgrade_refusedAfterDescribe_exit1AndNothingMoreSent)
{
    const UpgradeRefusalCase& c = GetParam();
    if (c.prepare)
        c.prepare(sim);
    const std::string path =
        c.header.empty() ? kMissingFirmware : WriteFirmware(c.name, c.header, std::string(300, '\x5A'));
    const CliRun r = Cli(net + " upgrade " + Quote(path) + " " + c.args);
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(c.err, r.err);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(c.heard, sim.Commands());
    if (!c.header.empty())
        std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(UpgradeRefusals, CliUpgradeRefusalTest, ::testing::ValuesIn(kUpgradeRefusalCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliInProcessTest, upgrade_directoryAsFile_loadErrorAndExit1)
{
    const CliRun r = Cli(net + " --id 0001 upgrade " + Quote(::testing::TempDir()) + " --kind 4");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(kLoadError, r.err);
    EXPECT_EQ(std::vector<std::string>{"0001DB"}, sim.Commands());
}

TEST_F(CliTest, upgrade_headerOnlyFile_loadErrorAndNothingSentAfterDescribe)
{
    const std::string path = WriteFirmware("headerOnly", "KX410NT4-SG4", "");
    const CliRun r = Cli(net + " --id 0001 upgrade " + Quote(path) + " --kind 1");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(std::string("no image after the file's 16-byte header\n") + kLoadError, r.err);
    EXPECT_EQ(std::vector<std::string>{"0001DB"}, sim.Commands());
    std::remove(path.c_str());
}

namespace {

// `size` bytes that differ from their neighbours and from the erased 0xFF.
std::string ImageBytes(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + 3) % 251);
    return bytes;
}

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (char c : bytes) {
        hex += digits[static_cast<unsigned char>(c) >> 4];
        hex += digits[static_cast<unsigned char>(c) & 0x0F];
    }
    return hex;
}

// The progress lines of a phase on standard error, not a terminal: the
// blocks done up to the first comma, then rate and time left.
void ExpectProgress(const std::vector<std::string>& lines, std::size_t& at, const std::string& phase,
                    const std::vector<int>& done, int total)
{
    for (int d : done) {
        ASSERT_LT(at, lines.size()) << phase << " " << d;
        const std::string& line = lines[at++];
        const std::string head = phase + " " + std::to_string(d) + "/" + std::to_string(total) + " blocks";
        EXPECT_EQ(head, line.substr(0, line.find(','))) << line;
        if (d > 0) {
            EXPECT_NE(std::string::npos, line.find(" blocks/s, ")) << line;
            EXPECT_EQ(" left", line.substr(line.size() - 5)) << line;
        }
    }
}

}  // namespace

// 600 bytes: two full blocks and one of 88 bytes padded with 0xFF. The
// header matches the controller's model in the 11 characters compared, not
// in the twelfth.
TEST_F(CliInProcessTest, upgrade_256ByteLoader_flashHoldsTheImageAndExits0)
{
    sim.SetLoader(ct::sim::LoaderKind::Block256);
    const std::string payload = ImageBytes(600);
    const std::string path = WriteFirmware("kind1", "KX410NT4-SG9", payload);
    const CliRun r = Cli(net + " --id 0001 upgrade " + Quote(path) + " --kind 1");
    std::remove(path.c_str());
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("blocks=3\n", r.out);

    const std::string padded = payload + std::string(3 * 256 - 600, '\xFF');
    const std::vector<std::uint8_t> flash = sim.Flash(0, padded.size());
    EXPECT_EQ(padded, std::string(flash.begin(), flash.end()));
    EXPECT_FALSE(sim.InLoader());
    EXPECT_EQ(1, sim.LoaderStarts());

    const std::vector<std::string> heard = sim.Commands();
    const std::vector<std::string> expected = {
        "0001DB",    "0001ZxA5",  "0001ZxA5",
        "0001A",     "0001E0000", "0001P0000" + Hex(padded.substr(0, 256)),
        "0001P0100" + Hex(padded.substr(256, 256)),
        "0001E0200", "0001P0200" + Hex(padded.substr(512, 256)),
        "0001R0000", "0001R0100", "0001R0200",
        "0001X",
    };
    EXPECT_EQ(expected, heard);

    const std::vector<std::string> lines = Lines(r.err);
    std::size_t at = 0;
    ExpectProgress(lines, at, "Programming", {0, 1, 2, 3}, 3);
    ExpectProgress(lines, at, "Verifying", {0, 1, 2, 3}, 3);
    EXPECT_EQ((std::vector<std::string>{"Upgrading ...", "Command ok."}),
              std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(std::min(at, lines.size())),
                                       lines.end()));
}

// The sub-commands outside the table, with --json: one object each, carrying
// what the plain output prints.
TEST_F(CliInProcessTest, json_sendSetTimeAndUpgrade_objectsCarryWhatPlainPrints)
{
    const auto only = [](const CliRun& r) {
        const std::vector<std::string> lines = Lines(r.out);
        EXPECT_EQ(1u, lines.size()) << r.out;
        return QJsonDocument::fromJson(QByteArray::fromStdString(lines.empty() ? "" : lines[0])).object();
    };
    const CliRun plainSend = Cli(net + " send 0001AS");
    QJsonObject o = only(Cli(net + " --json send 0001AS"));
    EXPECT_EQ("send", o.value("operation").toString());
    EXPECT_EQ("ok", o.value("outcome").toString());
    EXPECT_EQ(plainSend.out, o.value("reply").toString().toStdString() + "\n");

    sim.ClearCommands();
    o = only(Cli(net + " --json --id 0001 set-time"));
    EXPECT_EQ("ok", o.value("outcome").toString());
    ASSERT_EQ(1u, sim.Commands().size());
    EXPECT_EQ(sim.Commands()[0].substr(6), o.value("time").toString().toStdString());

    sim.SetLoader(ct::sim::LoaderKind::Block256);
    const std::string path = WriteFirmware("json", "KX410NT4-SG9", ImageBytes(600));
    CliRun r = Cli(net + " --json --id 0001 upgrade " + Quote(path) + " --kind 1");
    o = only(r);
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("upgrade", o.value("operation").toString());
    EXPECT_EQ("ok", o.value("outcome").toString());
    EXPECT_EQ(3, o.value("blocks").toInt());
    EXPECT_EQ("Command ok.", Lines(r.err).back());

    std::remove(path.c_str());
    r = Cli(net + " --json --id 0001 upgrade " + Quote(path) + " --kind 1");
    o = only(r);
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("command-error", o.value("outcome").toString());
    EXPECT_FALSE(o.contains("blocks"));
    EXPECT_EQ("Load firmware file error!\n", r.err);
}

// 25 blocks of 64 bytes, the last one of 34: a progress line at every tenth.
// Only seven characters of the model are compared.
TEST_F(CliInProcessTest, upgrade_64ByteLoader_progressEveryTenthAndFlashHoldsTheImage)
{
    sim.SetLoader(ct::sim::LoaderKind::Block64);
    const std::string payload = ImageBytes(24 * 64 + 34);
    const std::string path = WriteFirmware("kind4", "KX410NTxyz", payload);
    const CliRun r = Cli(net + " --id 0001 upgrade " + Quote(path) + " --kind 4");
    std::remove(path.c_str());
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("blocks=25\n", r.out);

    const std::vector<std::uint8_t> flash = sim.Flash(0, 25 * 64);
    EXPECT_EQ(payload + std::string(30, '\xFF'), std::string(flash.begin(), flash.end()));

    const std::vector<std::string> heard = sim.Commands();
    ASSERT_EQ(5u + 25u + 25u + 1u, heard.size());
    EXPECT_EQ((std::vector<std::string>{"0001DB", "0001Zx", "0001Zx", "A", "E"}),
              std::vector<std::string>(heard.begin(), heard.begin() + 5));
    EXPECT_EQ("P0600" + Hex(payload.substr(24 * 64, 34)) + std::string(60, 'F'), heard[5 + 24]);
    EXPECT_EQ("R0600", heard[5 + 25 + 24]);
    EXPECT_EQ("X", heard.back());

    const std::vector<std::string> lines = Lines(r.err);
    std::size_t at = 0;
    const std::vector<int> tenths = {0, 3, 5, 8, 10, 13, 15, 18, 20, 23, 25};
    ExpectProgress(lines, at, "Programming", tenths, 25);
    ExpectProgress(lines, at, "Verifying", tenths, 25);
    EXPECT_EQ((std::vector<std::string>{"Upgrading ...", "Command ok."}),
              std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(std::min(at, lines.size())),
                                       lines.end()));
}

// A read-back that differs ends the upgrade: no start command, nothing on
// standard output.
TEST_F(CliInProcessTest, upgrade_readBackDiffers_noStartCommandAndExits1)
{
    sim.SetLoader(ct::sim::LoaderKind::Block256);
    sim.AddLoaderFault({ct::sim::LoaderFault::Kind::LowerCaseVerify, 1, -1});
    const std::string path = WriteFirmware("kind2", "KX410NT4-SG4", ImageBytes(512));
    const CliRun r = Cli(net + " --id 0001 upgrade " + Quote(path) + " --kind 2");
    std::remove(path.c_str());
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    const std::vector<std::string> lines = Lines(r.err);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("Command error!", lines.back());
    EXPECT_EQ("Verifying 1/2 blocks", lines[lines.size() - 2].substr(0, lines[lines.size() - 2].find(',')));
    const std::vector<std::string> heard = sim.Commands();
    EXPECT_EQ("0001R0100", heard.back());
    EXPECT_EQ(0, sim.LoaderStarts());
}

namespace {

// The tool with its standard error on a pseudo-terminal, read as the
// terminal shows it (no newline translation); standard output through a
// pipe.
CliRun CliOnTerminal(const std::vector<std::string>& args)
{
    CliRun r;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return r;
    termios raw{};
    ::tcgetattr(master, &raw);
    raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    ::tcsetattr(master, TCSANOW, &raw);
    const std::string slave = ::ptsname(master);
    int fds[2];
    if (::pipe(fds) != 0)
        return r;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    posix_spawn_file_actions_addclose(&actions, master);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, slave.c_str(), O_WRONLY | O_NOCTTY, 0);
    std::vector<char*> argv{const_cast<char*>(CT_CLI_PATH)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const bool started = ::posix_spawn(&pid, CT_CLI_PATH, &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::array<char, 4096> buf;
    ssize_t n;
    // The terminal side reads EIO once the tool has closed it, at its end.
    while (started && ((n = ::read(master, buf.data(), buf.size())) > 0 || (n < 0 && errno == EINTR))) {
        if (n > 0)
            r.err.append(buf.data(), static_cast<std::size_t>(n));
    }
    while ((n = ::read(fds[0], buf.data(), buf.size())) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0)
            r.out.append(buf.data(), static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    ::close(master);
    int status = 0;
    if (started && ::waitpid(pid, &status, 0) == pid)
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace

// On a terminal each phase is one line drawn over and over; a read-back that
// differs at block 2 ends it after two verified blocks.
TEST_F(CliTest, upgrade_onTerminal_onePhaseALineRedrawnInPlace)
{
    sim.SetLoader(ct::sim::LoaderKind::Block64);
    sim.AddLoaderFault({ct::sim::LoaderFault::Kind::LowerCaseVerify, 2, -1});
    const std::string path = WriteFirmware("tty", "KX410NT4-SG4", ImageBytes(3 * 64));
    const CliRun r = CliOnTerminal({"--net", "127.0.0.1:" + std::to_string(sim.TcpPort()), "--id", "0001", "upgrade",
                                    path, "--kind", "4"});
    std::remove(path.c_str());
    EXPECT_EQ(1, r.status) << r.err;
    EXPECT_EQ("", r.out);

    const std::vector<std::string> lines = Lines(r.err);
    ASSERT_EQ(3u, lines.size()) << r.err;
    const auto draws = [](const std::string& line) {
        std::vector<std::string> texts;
        std::size_t from = 0;
        while ((from = line.find('\r', from)) != std::string::npos) {
            const std::size_t end = line.find('\r', from + 1);
            std::string text = line.substr(from + 1, end == std::string::npos ? end : end - from - 1);
            texts.push_back(text.substr(0, text.find(',')));
            from = from + 1;
        }
        return texts;
    };
    EXPECT_EQ((std::vector<std::string>{"Programming 0/3 blocks", "Programming 1/3 blocks", "Programming 2/3 blocks",
                                        "Programming 3/3 blocks", "Programming 3/3 blocks"}),
              draws(lines[0]));
    EXPECT_EQ((std::vector<std::string>{"Verifying 0/3 blocks", "Verifying 1/3 blocks", "Verifying 2/3 blocks"}),
              draws(lines[1]));
    EXPECT_TRUE(std::regex_search(lines[1], std::regex("\rVerifying 2/3 blocks, [0-9]+\\.[0-9] blocks/s, "
                                                       "[0-9]+:[0-5][0-9] left *$")))
        << lines[1];
    EXPECT_EQ("Command error!", lines[2]);
}
