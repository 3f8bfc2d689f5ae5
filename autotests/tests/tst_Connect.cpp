// Connect and identify against a scripted controller on the fake link: what is
// sent, what the window is told, what is kept and when the settings are saved.
#include "tests/Connect.h"

#include "link/Link.h"
#include "link/OperationFrame.h"
#include "support/FakeTransport.h"
#include "support/RecordingBeeper.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using ct::link::Lamp;
using ct::link::StatusMessage;
using ct::testing::FakeClock;
using ct::testing::FakeDevice;

class RecordingStatusView final : public ct::link::IStatusView {
public:
    void SetBusyCursor(bool busy) override { busyCursor = busy; }
    void SetWindowEnabled(bool enabled) override { windowEnabled = enabled; }
    void SetBusyTimerRunning(bool running) override { busyTimer = running; }
    void SetLamp(Lamp colour) override { lamp = colour; }
    void ShowStatus(StatusMessage message) override { statuses.push_back(message); }
    ct::link::LinkSettings ActiveLinkSettings() override { return settings; }

    ct::link::LinkSettings settings;
    bool busyCursor = false;
    bool windowEnabled = true;
    bool busyTimer = false;
    Lamp lamp = Lamp::Red;
    std::vector<StatusMessage> statuses;
};

// The window's identity panels and scroll bar; the scroll bar's change
// handler keeps pnID in step as the window's does.
class RecordingConnectView final : public ct::tests::IConnectView {
public:
    explicit RecordingConnectView(const FakeDevice& device) : device_(device) {}

    std::string IdCaption() override { return pnID; }
    void ShowCountdown(int n) override { countdowns.push_back(n); }
    void ClearIdentityPanels() override
    {
        pnVER.clear();
        pnSN.clear();
        ++clears;
    }
    void SetIdPosition(int p) override
    {
        position = p;
        char text[16];
        std::snprintf(text, sizeof text, "%04d", p);
        pnID = text;
    }
    void SaveLinkSettings() override { savedAfterCommands.push_back(device_.commands.size()); }
    void ShowVersion(const std::string& text) override { pnVER = text; }
    void ShowSerial(const std::string& text) override { pnSN = text; }

    int position = 12;
    std::string pnID = "0012";
    std::string pnVER = "old version";
    std::string pnSN = "old serial";
    int clears = 0;
    std::vector<int> countdowns;
    std::vector<std::size_t> savedAfterCommands;  // commands sent before each save

private:
    const FakeDevice& device_;
};

// The controller's answers, by command code; a code mapped to nothing is
// left unanswered.
struct ScriptedController {
    std::string id = "0012";
    std::string model = "KX410NT4-SG4";
    std::string version = "0520";
    std::string serial = "16030001";
    std::map<std::string, std::optional<std::string>> overrides;
    int acFailuresLeft = 0;  // "AC" requests to leave unanswered first

    std::string Answer(const std::string& command)
    {
        const std::string code = command.size() >= 6 ? command.substr(4, 2) : std::string();
        if (code == "AC" && acFailuresLeft > 0) {
            --acFailuresLeft;
            return {};
        }
        const auto o = overrides.find(code);
        if (o != overrides.end())
            return o->second.value_or(std::string());
        if (code == "AC")
            return id + "AC0520";
        if (code == "DB")
            return id + "DB" + model + version;
        if (code == "AS")
            return id + "AS" + serial;
        return {};
    }
};

class ConnectTest : public ::testing::Test {
protected:
    ConnectTest()
    {
        device.AnswerWith([this](const std::string& command) { return controller.Answer(command); });
    }

    void Run() { ct::tests::RunConnect(frame, identity, view); }

    void ExpectConnectError()
    {
        ASSERT_FALSE(status.statuses.empty());
        EXPECT_EQ(status.statuses.back(), StatusMessage::ConnectError);
        EXPECT_EQ(status.lamp, Lamp::Red);
        EXPECT_EQ(beeper.frequencies, std::vector<int>{ct::link::LowBeepHz});
        EXPECT_FALSE(device.open);
        EXPECT_TRUE(status.windowEnabled);
        EXPECT_FALSE(status.busyCursor);
    }

    void ExpectIdentityUntouched()
    {
        EXPECT_EQ(identity.DeviceID, "0099");
        EXPECT_EQ(identity.DeviceSN, "99999999");
        EXPECT_EQ(identity.ControllerKind, 0);
        EXPECT_EQ(view.position, 12);
        EXPECT_EQ(view.pnID, "0012");
        EXPECT_EQ(view.pnVER, "old version");
        EXPECT_EQ(view.pnSN, "old serial");
        EXPECT_TRUE(view.savedAfterCommands.empty());
    }

    void PresetEarlierConnect()
    {
        identity.DeviceID = "0099";
        identity.DeviceSN = "99999999";
        identity.ControllerKind = 7;
    }

    FakeClock clock;
    ct::testing::CountingPump pump{clock};
    FakeDevice device{clock};
    ct::testing::FakeTransportFactory factory{device};
    ct::link::Link link{factory, clock, pump};
    RecordingStatusView status;
    ct::testing::RecordingBeeper beeper;
    ct::link::OperationFrame frame{link, status, beeper, pump};
    ct::tests::ControllerIdentity identity;
    RecordingConnectView view{device};
    ScriptedController controller;
};

TEST_F(ConnectTest, connect_controllerAnswersAll_identityShownSavedAndOk)
{
    const std::uint32_t start = clock.now;
    Run();

    EXPECT_EQ(device.commands, (std::vector<std::string>{"0012AC", "0012DB", "0012AS"}));
    EXPECT_EQ(identity.DeviceID, "0012");
    EXPECT_EQ(identity.DeviceSN, "16030001");
    EXPECT_EQ(identity.ControllerKind, 7);
    EXPECT_EQ(view.pnVER, "KX410NT4-SG4  0520");
    EXPECT_EQ(view.pnSN, "S/N:16030001   ID:0012");
    EXPECT_EQ(view.savedAfterCommands, std::vector<std::size_t>{1});
    EXPECT_TRUE(view.countdowns.empty());

    EXPECT_EQ(status.statuses.back(), StatusMessage::CommandOk);
    EXPECT_EQ(status.lamp, Lamp::Yellow);
    EXPECT_EQ(beeper.frequencies, std::vector<int>{ct::link::HighBeepHz});
    EXPECT_FALSE(device.open);
    EXPECT_EQ(device.opens, 1);
    EXPECT_TRUE(status.windowEnabled);

    // A pause before every command, all on the fake clock: nothing really waited.
    EXPECT_EQ(clock.sleeps, (std::vector<std::uint32_t>{100, 100, 100}));
    EXPECT_GE(clock.now - start, 300u);
}

TEST_F(ConnectTest, connect_earlierConnectThenNewController_panelsAndKindReplaced)
{
    PresetEarlierConnect();
    Run();

    EXPECT_EQ(view.clears, 1);
    EXPECT_EQ(identity.DeviceID, "0012");
    EXPECT_EQ(identity.DeviceSN, "16030001");
    EXPECT_EQ(view.pnVER, "KX410NT4-SG4  0520");
}

struct AcFailureCase {
    const char* name;
    std::optional<std::string> acReply;  // nothing: silence
};

void PrintTo(const AcFailureCase& c, std::ostream* os) { *os << c.name; }

class ConnectAcFailureTest : public ConnectTest, public ::testing::WithParamInterface<AcFailureCase> {};

TEST_P(ConnectAcFailureTest, connect_noValidAcReply_countdownThenConnectErrorNothingKept)
{
    PresetEarlierConnect();
    controller.overrides["AC"] = GetParam().acReply;
    Run();

    EXPECT_EQ(device.commands, (std::vector<std::string>{"0012AC", "0012AC", "0012AC"}));
    EXPECT_EQ(view.countdowns, (std::vector<int>{6, 5, 4}));
    EXPECT_EQ(clock.sleeps, (std::vector<std::uint32_t>{100, 100, 100}));
    EXPECT_EQ(view.clears, 0);
    ExpectConnectError();
    ExpectIdentityUntouched();
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ConnectAcFailureTest,
    ::testing::Values(AcFailureCase{"silence", std::nullopt},
                      // A good CRC but 16 bytes: no answer all the same.
                      AcFailureCase{"reply16Bytes", std::string("0012AC052")},
                      AcFailureCase{"reply18Bytes", std::string("0012AC05200")}),
    [](const ::testing::TestParamInfo<AcFailureCase>& info) { return std::string(info.param.name); });

TEST_F(ConnectTest, connect_acAnsweredOnThirdAttempt_countdownSoFarThenOk)
{
    controller.acFailuresLeft = 2;
    Run();

    EXPECT_EQ(view.countdowns, (std::vector<int>{6, 5}));
    EXPECT_EQ(device.commands,
              (std::vector<std::string>{"0012AC", "0012AC", "0012AC", "0012DB", "0012AS"}));
    EXPECT_EQ(view.savedAfterCommands, std::vector<std::size_t>{3});
    EXPECT_EQ(status.statuses.back(), StatusMessage::CommandOk);
}

struct DbFailureCase {
    const char* name;
    std::optional<std::string> dbReply;
};

void PrintTo(const DbFailureCase& c, std::ostream* os) { *os << c.name; }

class ConnectDbFailureTest : public ConnectTest, public ::testing::WithParamInterface<DbFailureCase> {};

TEST_P(ConnectDbFailureTest, connect_dbFails_commandErrorNewIdKeptSettingsSaved)
{
    PresetEarlierConnect();
    controller.id = "0034";
    controller.overrides["DB"] = GetParam().dbReply;
    Run();

    EXPECT_EQ(device.commands, (std::vector<std::string>{"0012AC", "0034DB"}));
    EXPECT_EQ(identity.DeviceID, "0034");
    EXPECT_EQ(view.position, 34);
    EXPECT_EQ(identity.ControllerKind, 0);
    EXPECT_EQ(view.pnVER, "");
    EXPECT_EQ(view.pnSN, "");
    EXPECT_EQ(view.savedAfterCommands, std::vector<std::size_t>{1});

    EXPECT_EQ(status.statuses.back(), StatusMessage::CommandError);
    EXPECT_EQ(status.lamp, Lamp::Red);
    EXPECT_EQ(beeper.frequencies, std::vector<int>{ct::link::LowBeepHz});
    EXPECT_FALSE(device.open);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ConnectDbFailureTest,
    ::testing::Values(DbFailureCase{"silence", std::nullopt},
                      DbFailureCase{"reply28Bytes", std::string("0034DBKX410NT4-SG4052")}),
    [](const ::testing::TestParamInfo<DbFailureCase>& info) { return std::string(info.param.name); });

TEST_F(ConnectTest, connect_asFailsOrWrongLength_stillOkWithSerialPanelEmpty)
{
    for (const std::optional<std::string>& asReply :
         {std::optional<std::string>{}, std::optional<std::string>{"0012AS1603000"}}) {
        SCOPED_TRACE(asReply.value_or("silence"));
        status.statuses.clear();
        beeper.frequencies.clear();
        controller.overrides["AS"] = asReply;
        Run();

        EXPECT_EQ(identity.ControllerKind, 7);
        EXPECT_EQ(view.pnVER, "KX410NT4-SG4  0520");
        EXPECT_EQ(view.pnSN, "");
        EXPECT_EQ(status.statuses.back(), StatusMessage::CommandOk);
        EXPECT_EQ(status.lamp, Lamp::Yellow);
        EXPECT_EQ(beeper.frequencies, std::vector<int>{ct::link::HighBeepHz});
        EXPECT_FALSE(device.open);
    }
}

TEST_F(ConnectTest, connect_controllerReportsOtherId_replyIdAdoptedAndAddressed)
{
    controller.id = "0034";
    Run();

    EXPECT_EQ(device.commands, (std::vector<std::string>{"0012AC", "0034DB", "0034AS"}));
    EXPECT_EQ(identity.DeviceID, "0034");
    EXPECT_EQ(view.position, 34);
    EXPECT_EQ(view.pnID, "0034");
    EXPECT_EQ(view.pnSN, "S/N:16030001   ID:0034");
}

struct ReplyIdCase {
    const char* name;
    const char* id;
    int position;  // of the scroll bar afterwards; it stood at 12
};

void PrintTo(const ReplyIdCase& c, std::ostream* os) { *os << c.name; }

class ConnectReplyIdTest : public ConnectTest, public ::testing::WithParamInterface<ReplyIdCase> {};

TEST_P(ConnectReplyIdTest, connect_replyId_becomesDeviceIdAndMovesOnlyDecimalIds)
{
    controller.id = GetParam().id;
    Run();

    EXPECT_EQ(identity.DeviceID, GetParam().id);
    EXPECT_EQ(view.position, GetParam().position);
    ASSERT_GE(device.commands.size(), 2u);
    EXPECT_EQ(device.commands[1], std::string(GetParam().id) + "DB");
    EXPECT_EQ(identity.ControllerKind, 7);
}

INSTANTIATE_TEST_SUITE_P(
    Ids, ConnectReplyIdTest,
    ::testing::Values(ReplyIdCase{"zero", "0000", 0}, ReplyIdCase{"highest", "9999", 9999},
                      ReplyIdCase{"hexLetter", "00A4", 12}, ReplyIdCase{"leadingSpace", " 123", 12},
                      ReplyIdCase{"minusSign", "-123", 12}, ReplyIdCase{"plusSign", "+123", 12},
                      ReplyIdCase{"trailingSpace", "123 ", 12}),
    [](const ::testing::TestParamInfo<ReplyIdCase>& info) { return std::string(info.param.name); });

TEST_F(ConnectTest, connect_linkCannotBeOpened_connectErrorAndNothingSent)
{
    struct Case {
        const char* name;
        std::uint8_t linkType;
        bool failSerial;
        bool failTcp;
        const char* netIp;
    };
    const Case cases[] = {
        {"serialOpenFails", ct::link::LinkTypeCom, true, false, "192.168.1.200"},
        {"tcpConnectFails", ct::link::LinkTypeNet, false, true, "192.168.1.200"},
        {"tcpAddressInvalid", ct::link::LinkTypeNet, false, false, "192.168.1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PresetEarlierConnect();
        status.statuses.clear();
        beeper.frequencies.clear();
        status.settings.LinkType = c.linkType;
        status.settings.NetIP = c.netIp;
        device.failSerialOpen = c.failSerial;
        device.failTcpOpen = c.failTcp;
        Run();

        EXPECT_TRUE(device.commands.empty());
        EXPECT_TRUE(view.countdowns.empty());
        EXPECT_TRUE(clock.sleeps.empty());
        ExpectConnectError();
        ExpectIdentityUntouched();
    }
}

}  // namespace
