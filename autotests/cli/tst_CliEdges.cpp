// controller-cli at its edges: arguments refused before anything opens,
// batch lists checked whole, JSON a script reads without parsing panels,
// dido and poll against silence, the system's reason when a port does not
// open, and how a stop request or a signal ends each kind of sub-command.
// In-process against the fake link where it can; the real program for
// signals and exit statuses.
#include "Batch.h"
#include "CliProcess.h"
#include "CommandLine.h"
#include "Session.h"
#include "StopSignal.h"
#include "SubCommands.h"

#include "link/NativeTransportFactory.h"
#include "sim/ControllerModel.h"
#include "support/FakeTransport.h"

#include <nlohmann/json.hpp>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>

namespace {

using ct::cli::Context;
using ct::cli::Output;
using ct::testing::ReadFileText;
using Json = nlohmann::json;

// ---- Refused before anything opens ----------------------------------------

struct RefusalCase {
    const char* name;
    const char* args;
    const char* says;
};

const RefusalCase kRefusals[] = {
    {"netAddressOutOfRange", "--net 300.1.1.1:5001 connect", "'300.1.1.1' is not a dotted IPv4 address"},
    {"netHostName", "--net controller.local:5001 connect", "not a dotted IPv4 address"},
    {"netPortOutOfRange", "--net 127.0.0.1:65536 connect", "port '65536' is not a number 1-65535"},
    {"netPortZero", "--net 127.0.0.1:0 connect", "is not a number 1-65535"},
    {"netPortTrailingLetters", "--net 127.0.0.1:50x1 connect", "port '50x1'"},
    {"cardTypeWithoutTypes", "--net 127.0.0.1:5001 g6 set-card-type 1", "--types is required"},
    {"controllerSerialNineCharacters", "--net 127.0.0.1:5001 set-controller-id 160300011 0001",
     "longer than a serial number's 8 characters"},
    {"controllerNewIdFiveCharacters", "--net 127.0.0.1:5001 set-controller-id 16030001 00001",
     "longer than an ID's 4 characters"},
};

class RefusalTest : public ::testing::TestWithParam<RefusalCase> {};

std::vector<std::string> Words(const std::string& text)
{
    std::string error;
    return *ct::cli::SplitWords(text, error);
}

}  // namespace

TEST_P(RefusalTest, arguments_unusable_exit64WithTheReason)
{
    const auto parsed = ct::cli::ParseCommandLine(Words(GetParam().args));
    EXPECT_FALSE(parsed.invocation);
    EXPECT_EQ(64, parsed.exitStatus);
    EXPECT_NE(std::string::npos, parsed.error.find(GetParam().says)) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(Refusals, RefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RefusalTest, limitsThemselves_accepted)
{
    for (const char* args : {"--net 255.255.255.255:65535 connect", "--net 127.0.0.1:1 g6 set-card-type 1 --types none",
                             "--net 127.0.0.1:1 set-controller-id 16030001 0001"})
        EXPECT_TRUE(ct::cli::ParseCommandLine(Words(args)).invocation) << args;
}

TEST(BatchEdgesTest, tooLongCommandTextOrByteOrderMark_checkedBeforeAnythingRuns)
{
    const std::string longText(1500, 'A');  // 1504 characters after the ID
    ct::cli::ParsedBatch batch = ct::cli::ParseBatch("alarm 1\ncommand " + longText + "\n", "0001");
    ASSERT_EQ(1u, batch.errors.size());
    EXPECT_EQ(2, batch.errors[0].number);
    EXPECT_NE(std::string::npos, batch.errors[0].message.find("command text of 1504 characters"));

    batch = ct::cli::ParseBatch("\xEF\xBB\xBF--id 0002 alarm 1\n", "0001");
    EXPECT_TRUE(batch.errors.empty());
    ASSERT_EQ(1u, batch.lines.size());
    EXPECT_EQ("0002", batch.lines[0].invocation.deviceId);
}

// ---- In-process against the fake link -------------------------------------

namespace {

// Standard output and error of the code under test, in files.
class Captured {
public:
    Captured() : out_(Redirect(STDOUT_FILENO, "out")), err_(Redirect(STDERR_FILENO, "err")) {}
    ~Captured() { Restore(); }

    void Restore()
    {
        if (savedOut_ < 0)
            return;
        std::fflush(stdout);
        std::fflush(stderr);
        ::dup2(savedOut_, STDOUT_FILENO);
        ::dup2(savedErr_, STDERR_FILENO);
        ::close(savedOut_);
        ::close(savedErr_);
        savedOut_ = savedErr_ = -1;
    }
    std::string Out() { return Restore(), ReadFileText(out_); }
    std::string Err() { return Restore(), ReadFileText(err_); }
    std::vector<Json> Objects()
    {
        std::vector<Json> objects;
        for (const std::string& line : Lines(Out()))
            objects.push_back(Json::parse(line));
        return objects;
    }

private:
    std::string Redirect(int fd, const char* what)
    {
        const std::string path = ::testing::TempDir() + "edges_" + what + "_" + std::to_string(::getpid());
        (fd == STDOUT_FILENO ? savedOut_ : savedErr_) = ::dup(fd);
        const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(file, fd);
        ::close(file);
        return path;
    }

    int savedOut_ = -1;
    int savedErr_ = -1;
    std::string out_;
    std::string err_;
};

class FakeLinkTest : public ::testing::Test {
protected:
    FakeLinkTest()
    {
        ct::cli::ClearStopRequest();
        device.AnswerWith([this](const std::string& text) {
            const bool unanswered = silent || (!silentFor.empty() && text.find(silentFor) == 4);
            return unanswered ? std::string() : model.Answer(text).value_or("");
        });
        settings.LinkType = ct::link::LinkTypeNet;
        settings.NetIP = "127.0.0.1";
    }
    ~FakeLinkTest() override { ct::cli::ClearStopRequest(); }

    // Runs the arguments after the link options; the exit status.
    int Run(const std::string& args, bool json = false)
    {
        const auto parsed = ct::cli::ParseCommandLine(Words("--net 127.0.0.1:5001 " + args));
        EXPECT_TRUE(parsed.invocation) << parsed.error;
        if (!parsed.invocation)
            return -1;
        Output out(json);
        Context context{settings, out, nullptr, 0, &factory, &clock, &pump};
        return ct::cli::Execute(*parsed.invocation, context);
    }

    ct::testing::FakeClock clock;
    ct::testing::CountingPump pump{clock};
    ct::testing::FakeDevice device{clock};
    ct::testing::FakeTransportFactory factory{device};
    ct::sim::ControllerModel model;
    ct::link::LinkSettings settings;
    bool silent = false;
    std::string silentFor;  // the command code left unanswered
};

// A firmware file of two 512-byte blocks for a model.
std::string WriteFirmware(const std::string& model)
{
    const std::string path = ::testing::TempDir() + "edges_fw_" + model + "_" + std::to_string(::getpid());
    std::string image = model;
    image.resize(16, '\0');
    std::ofstream(path, std::ios::binary) << image << std::string(2 * 512, '\x5A');
    return path;
}

}  // namespace

TEST_F(FakeLinkTest, connectJson_givesTheValuesNotThePanels)
{
    Captured io;
    EXPECT_EQ(0, Run("connect --at 1", true));
    const std::vector<Json> objects = io.Objects();
    ASSERT_EQ(1u, objects.size());
    const Json& o = objects[0];
    EXPECT_EQ("0001", o.value("id", ""));
    EXPECT_EQ("16030001", o.value("serial", ""));
    EXPECT_EQ("KX410NT4-SG4", o.value("model", ""));
    EXPECT_EQ("0520", o.value("version", ""));
}

TEST_F(FakeLinkTest, pollJson_recordCarriesItsFieldsBesideThePanelText)
{
    ct::sim::ControllerConfig config;
    config.records.push_back({'7', "20240301075959", "0012", "12345"});
    model = ct::sim::ControllerModel(config);
    Captured io;
    EXPECT_EQ(0, Run("--id 0001 poll --cycles 1", true));
    const std::vector<Json> objects = io.Objects();
    ASSERT_EQ(2u, objects.size());
    const Json& record = objects[0];
    EXPECT_EQ("[7] 2024/03/01  07:59:59 (0012) [12345]", record.value("text", ""));
    const std::pair<const char*, const char*> fields[] = {{"tag", "7"},      {"year", "2024"},   {"month", "03"},
                                                          {"day", "01"},     {"hour", "07"},     {"minute", "59"},
                                                          {"second", "59"},  {"code", "0012"},   {"value", "12345"}};
    for (const auto& [key, value] : fields)
        EXPECT_EQ(value, record.value(key, "")) << key;
    EXPECT_EQ(1, objects[1].value("answered", -1));
}

namespace {

// A controller that answers no "DB" (one left in its boot loader).
struct NoModelCase {
    const char* name;
    const char* model;  // the file's
    const char* options;
    int status;
    std::vector<std::string> first;  // the first commands heard
};

const NoModelCase kNoModel[] = {
    // The 512-byte loader's check needs no model: the upgrade goes on.
    {"kind3_goesOn", "KX405NT-G4", "--kind 3", 0, {"0001DB", "0001Zx33BB"}},
    {"kind1_stopsAndTellsHow", "KX410NT4-SG4", "--kind 1", 1, {"0001DB"}},
    // Given, the model is not asked for.
    {"kind1_modelGiven_entersTheLoader", "KX410NT4-SG4", "--kind 1 --model KX410NT4-SG4", 1, {"0001ZxA5"}},
};

class NoModelTest : public FakeLinkTest, public ::testing::WithParamInterface<NoModelCase> {};

}  // namespace

TEST_P(NoModelTest, upgrade_noModelAnswer_kindsWhoseCheckNeedsNoneGoOn)
{
    const NoModelCase& c = GetParam();
    silentFor = "DB";
    const std::string firmware = WriteFirmware(c.model);
    Captured io;
    EXPECT_EQ(c.status, Run("--id 0001 upgrade " + firmware + " " + c.options));
    const std::string err = io.Err();
    ASSERT_GE(device.commands.size(), c.first.size());
    EXPECT_EQ(c.first, std::vector<std::string>(device.commands.begin(), device.commands.begin() + c.first.size()));
    if (c.first.size() == 1 && c.first[0] == "0001DB") {
        EXPECT_EQ(1u, device.commands.size());
        EXPECT_NE(std::string::npos, err.find("--model NAME")) << err;
    }
    std::remove(firmware.c_str());
}

INSTANTIATE_TEST_SUITE_P(NoModel, NoModelTest, ::testing::ValuesIn(kNoModel),
                         [](const auto& info) { return std::string(info.param.name); });

namespace {

struct SilenceCase {
    const char* args;
    bool json;
};

class SilenceTest : public FakeLinkTest, public ::testing::WithParamInterface<SilenceCase> {};

const SilenceCase kSilence[] = {
    {"--id 0001 dido --outputs 1 --cycles 3", false},
    {"--id 0001 dido --cycles 3", true},
    {"--id 0001 poll --cycles 3", false},
    {"--id 0001 poll --cycles 3", true},
};

}  // namespace

TEST_P(SilenceTest, continuousTest_noCycleAnswered_exit1AndTheCountSaysSo)
{
    silent = true;
    Captured io;
    EXPECT_EQ(1, Run(GetParam().args, GetParam().json));
    const std::string err = io.Err();
    if (GetParam().json) {
        const Json last = io.Objects().back();
        EXPECT_EQ("command-error", last.value("outcome", ""));
        EXPECT_EQ(3, last.value("cycles", -1));
        EXPECT_EQ(0, last.value("answered", -1));
    } else {
        EXPECT_NE(std::string::npos, err.find(": 3 cycles, 0 answered\nCommand error!\n")) << err;
    }
}

INSTANTIATE_TEST_SUITE_P(Silence, SilenceTest, ::testing::ValuesIn(kSilence));

namespace {

// Where a stop request comes, and how the sub-command must end.
struct StopCase {
    const char* name;
    const char* args;
    // The stop comes when this command text is heard; "" at the first pause.
    const char* stopAt;
    int status;
    // The last command heard.
    const char* last;
};

const StopCase kStops[] = {
    {"connect_firstRequest", "connect --at 1", "0001AC", 130, "0001AC"},
    {"setTime_inItsPause", "--id 0001 set-time", "", 130, ""},
    {"upgrade_whileProgramming", "--id 0001 upgrade FW --kind 3 --model KX405NT-G4", "0001Zp0200", 130,
     "0001Zp0200"},
    // A continuous test ends the way its button ends it.
    {"dido_firstRequest", "--id 0001 dido --outputs 1,2", "0001JC00110002", 0, "0001JD"},
    {"poll_firstRequest", "--id 0001 poll", "0001PI", 0, "0001PI"},
};

class StopTest : public FakeLinkTest, public ::testing::WithParamInterface<StopCase> {};

}  // namespace

TEST_P(StopTest, stopRequest_abandonsOneShotOrEndsContinuous_linkClosed)
{
    const StopCase& c = GetParam();
    const std::string firmware = WriteFirmware("KX405NT-G4");
    std::string args = c.args;
    if (args.find(" FW ") != std::string::npos)
        args.replace(args.find(" FW "), 4, " " + firmware + " ");

    if (*c.stopAt)
        device.onRequest = [&, answer = device.onRequest](const std::string& text, const std::string& frame) {
            answer(text, frame);
            if (text.rfind(c.stopAt, 0) == 0)
                ct::cli::RequestStop();
        };
    else
        pump.onPump = [&] {
            if (!clock.sleeps.empty())
                ct::cli::RequestStop();
        };
    Captured io;
    EXPECT_EQ(c.status, Run(args));
    const std::string err = io.Err();
    EXPECT_EQ(c.last, device.commands.empty() ? std::string() : device.commands.back().substr(0, std::strlen(c.last)));
    EXPECT_EQ(1, device.opens);
    EXPECT_FALSE(device.open);
    if (c.status == 130) {
        EXPECT_NE(std::string::npos, err.find("stopped by a write error")) << err;
    }
    if (args.find("upgrade") != std::string::npos) {
        EXPECT_NE(std::string::npos, err.find("while programming block 2 of 2")) << err;
    }
    std::remove(firmware.c_str());
}

INSTANTIATE_TEST_SUITE_P(Stops, StopTest, ::testing::ValuesIn(kStops),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Why a port does not open ----------------------------------------------

TEST(OpenErrorTest, serialPortUnopenable_systemReasonAndDevice)
{
    ct::sim::ControllerSim holder;
    ASSERT_TRUE(holder.OpenPty());
    holder.Start();
    ct::link::NativeTransportFactory mine;
    const auto held = mine.OpenSerial(holder.PtyPath(), "");
    ASSERT_TRUE(held);

    const std::string regular = ::testing::TempDir() + "edges_regular_" + std::to_string(::getpid());
    std::ofstream(regular) << "x";
    const struct {
        std::string port;
        const char* reason;
    } cases[] = {
        {"/dev/does-not-exist-ct", "No such file or directory"},
        {regular, "not a serial port"},
        {holder.PtyPath(), "in use by another program"},
    };
    for (const auto& c : cases) {
        ct::link::NativeTransportFactory factory;
        EXPECT_FALSE(factory.OpenSerial(c.port, ""));
        EXPECT_EQ(c.port, factory.LastOpenError().device);
        EXPECT_NE(std::string::npos, factory.LastOpenError().reason.find(c.reason)) << factory.LastOpenError().reason;
    }
    std::remove(regular.c_str());
}

TEST(OpenErrorTest, accessDenied_namesTheOwningGroupAndHowToJoinIt)
{
    const std::string device = ::testing::TempDir() + "edges_device_" + std::to_string(::getpid());
    std::ofstream(device) << "x";
    ASSERT_EQ(0, ::chown(device.c_str(), ::getuid(), 65534));  // nogroup
    Captured io;
    ct::cli::ReportOpenError({device, "Permission denied", true});
    const std::string err = io.Err();
    EXPECT_NE(std::string::npos, err.find("cannot open " + device + ": Permission denied\n")) << err;
    EXPECT_NE(std::string::npos, err.find("belongs to the group ")) << err;
    EXPECT_NE(std::string::npos, err.find("sudo usermod -a -G ")) << err;
    std::remove(device.c_str());
}

// ---- The real program: signals and exit statuses ---------------------------

namespace {

// The program keeps a signal ignored that it was started with ignored (a
// test run in the background has SIGINT and SIGQUIT ignored, one under
// nohup SIGHUP): its children here start with the default.
void DefaultStopSignals()
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        std::signal(signal, SIG_DFL);
}

}  // namespace

TEST_F(CliTest, continuousTest_anySignalOrAClosedPipe_outputsReleasedBeforeExit)
{
    DefaultStopSignals();
    for (const int signal : {SIGHUP, SIGTERM, SIGQUIT}) {
        sim.ClearCommands();
        CliProcess p = StartCli(net + " --id 0001 dido --outputs 1,2");
        ASSERT_TRUE(p.started());
        ASSERT_FALSE(p.ReadLine().empty());  // a cycle ran
        p.Signal(signal);
        const CliRun r = FinishCli(p);
        EXPECT_EQ(0, r.status) << signal << r.err;
        EXPECT_EQ("0001JD", sim.Commands().back()) << signal;
    }

    // Standard output closed after two lines: the outputs are released, and
    // the lost output is no success.
    sim.ClearCommands();
    CliProcess pipe({"/bin/bash", "-c",
                     std::string(CT_CLI_PATH) + " " + net + " --id 0001 dido --outputs 1,2 | head -2 >/dev/null;"
                         " exit ${PIPESTATUS[0]}"},
                    ::testing::TempDir() + "edges_pipe_" + std::to_string(::getpid()));
    const CliRun r = pipe.Finish();
    EXPECT_EQ(74, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("standard output: Broken pipe")) << r.err;
    EXPECT_EQ("0001JD", sim.Commands().back());
}

TEST(CliSerialSignalTest, oneShotOnSerialPort_interrupted_portFreeAndExit130)
{
    DefaultStopSignals();
    ct::sim::ControllerSim sim;
    ASSERT_TRUE(sim.OpenPty());
    sim.InjectFault({ct::sim::FaultKind::NoAnswer, "", -1});
    sim.Start();
    // Unanswered, the loader's probe goes on for seconds after the first
    // command: the signal comes while the port is held.
    const std::string firmware = WriteFirmware("KX410NT4-SG4");
    for (const int signal : {SIGINT, SIGTERM}) {
        sim.ClearCommands();
        CliProcess p = StartCli("--com " + Quote(sim.PtyPath()) + " --id 0001 upgrade " + Quote(firmware)
                                + " --kind 1 --model KX410NT4-SG4");
        ASSERT_TRUE(p.started());
        ASSERT_TRUE(sim.WaitForCommands(1, 10s));
        p.Signal(signal);
        const CliRun r = FinishCli(p);
        EXPECT_EQ(130, r.status) << r.err;
        EXPECT_NE(std::string::npos, r.err.find("while entering the boot loader")) << r.err;
        ct::link::NativeTransportFactory factory;
        EXPECT_TRUE(factory.OpenSerial(sim.PtyPath(), "")) << factory.LastOpenError().reason;
    }
    std::remove(firmware.c_str());
}

TEST_F(CliTest, jsonUsageErrorAndRefusedSend_oneObjectEach)
{
    CliRun r = Cli("--json --net 300.1.1.1:5001 connect");
    EXPECT_EQ(64, r.status);
    Json o = Json::parse(r.out);
    EXPECT_EQ("usage-error", o.value("outcome", ""));
    EXPECT_NE(std::string::npos, o.value("error", "").find("not a dotted IPv4 address"));

    r = Cli(net + " --json send " + std::string(ct::link::MaxCrcCommandLength + 1, 'A'));
    EXPECT_EQ(64, r.status);
    o = Json::parse(r.out);
    EXPECT_EQ("send", o.value("operation", ""));
    EXPECT_EQ("refused", o.value("outcome", ""));
    EXPECT_TRUE(sim.Commands().empty());
}
