// The raw command console on the fake link: the controller command as typed
// after the device ID, the module command wrapped into "DD", any reply that
// passes its check shown whole, and texts too long for one request refused
// before the link is opened.
#include "tests/CommandConsole.h"

#include "support/OperationFixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using ct::link::Lamp;
using ct::link::StatusMessage;
using ct::tests::Outcome;

struct ConsoleRig : ct::testing::OperationRig {
    ct::tests::ShowReply Show()
    {
        return [this](const std::string& reply) { shown.push_back(reply); };
    }
    std::vector<std::string> shown;
};

struct ConsoleCase {
    const char* name;
    // Runs the console's controller or module command with the typed text.
    Outcome (*run)(ConsoleRig& rig, const std::string& typed);
    std::string commandPrefix;  // what goes before the typed text
};

void PrintTo(const ConsoleCase& c, std::ostream* os) { *os << c.name; }

const ConsoleCase kConsoles[] = {
    {"controller",
     [](ConsoleRig& r, const std::string& typed) {
         return ct::tests::RunControllerCommand(r.frame, "0012", typed, r.Show());
     },
     "0012"},
    {"module",
     [](ConsoleRig& r, const std::string& typed) {
         return ct::tests::RunConsoleModuleCommand(r.frame, "0012", 2, "1", typed, r.Show());
     },
     "0012DDH1"},
};

class ConsoleTest : public ::testing::TestWithParam<ConsoleCase> {};

TEST_P(ConsoleTest, command_passedReplyOfAnyLength_okAndShownWholeWithoutTitle)
{
    for (const std::string& text : {std::string("0"), std::string("0012"), std::string("0012AB\x01\x7F"),
                                    std::string(300, 'R')}) {
        SCOPED_TRACE(text.size());
        ConsoleRig rig;
        rig.AnswerText([&](const std::string&) { return text; });

        EXPECT_EQ(GetParam().run(rig, "AB"), Outcome::CommandOk);
        EXPECT_EQ(rig.device.commands, std::vector<std::string>{GetParam().commandPrefix + "AB"});
        EXPECT_EQ(rig.shown, std::vector<std::string>{ct::testing::CrcFrame(text)});
        EXPECT_EQ(rig.status.statuses,
                  (std::vector<StatusMessage>{StatusMessage::Connecting, StatusMessage::CommandOk}));
        EXPECT_EQ(rig.status.lamp, Lamp::Yellow);
        EXPECT_EQ(rig.clock.sleeps, std::vector<std::uint32_t>{100});
        EXPECT_EQ(rig.SendsAndPauses(),
                  (std::vector<std::string>{"pause 100", "send " + GetParam().commandPrefix + "AB"}));
        EXPECT_FALSE(rig.device.open);
    }
}

TEST_P(ConsoleTest, command_badCrcOrSilence_commandErrorNothingShown)
{
    for (const bool silent : {true, false}) {
        SCOPED_TRACE(silent ? "silence" : "bad CRC");
        ConsoleRig rig;
        rig.Respond([&](const std::string&) {
            return silent ? std::string() : ct::testing::BadCrcFrame("0012AB");
        });

        EXPECT_EQ(GetParam().run(rig, "AB"), Outcome::CommandError);
        EXPECT_TRUE(rig.shown.empty());
        EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandError);
        EXPECT_EQ(rig.status.lamp, Lamp::Red);
        EXPECT_FALSE(rig.device.open);
    }
}

TEST_P(ConsoleTest, command_linkCannotBeOpened_connectErrorNothingSent)
{
    ConsoleRig rig;
    rig.device.failSerialOpen = true;

    EXPECT_EQ(GetParam().run(rig, "AB"), Outcome::ConnectError);
    EXPECT_TRUE(rig.device.frames.empty());
    EXPECT_TRUE(rig.shown.empty());
    EXPECT_EQ(rig.status.statuses.back(), StatusMessage::ConnectError);
}

TEST_P(ConsoleTest, command_textAtRequestLimit_sentOneMoreRefusedBeforeOpen)
{
    const std::size_t room = 1493 - GetParam().commandPrefix.size();
    {
        ConsoleRig rig;
        rig.AnswerText([](const std::string&) { return std::string("0012OK"); });
        EXPECT_EQ(GetParam().run(rig, std::string(room, 'X')), Outcome::CommandOk);
        ASSERT_EQ(rig.device.commands.size(), 1u);
        EXPECT_EQ(rig.device.commands[0].size(), 1493u);
    }
    {
        ConsoleRig rig;
        EXPECT_EQ(GetParam().run(rig, std::string(room + 1, 'X')), Outcome::TooLong);
        EXPECT_EQ(rig.device.opens, 0);
        EXPECT_TRUE(rig.device.frames.empty());
        EXPECT_TRUE(rig.shown.empty());
        EXPECT_TRUE(rig.status.statuses.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Consoles, ConsoleTest, ::testing::ValuesIn(kConsoles),
                         [](const ::testing::TestParamInfo<ConsoleCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(ControllerCommand, emptyText_sendsDeviceIdAlone)
{
    ConsoleRig rig;
    rig.AnswerText([](const std::string&) { return std::string("0012"); });

    EXPECT_EQ(ct::tests::RunControllerCommand(rig.frame, "0012", "", rig.Show()), Outcome::CommandOk);
    EXPECT_EQ(rig.device.commands, std::vector<std::string>{"0012"});
}

TEST(ModuleCommand, typeIdAndText_wrappedWithoutSeparators)
{
    struct Case {
        const char* deviceId;
        int typeIndex;
        const char* moduleId;
        const char* typed;
        const char* command;
    };
    const Case cases[] = {
        {"0001", 2, "1", "B", "0001DDH1B"},  {"0000", 5, "8", "", "0000DDE8"},
        {"0000", 0, "3", "S", "0000DDA3S"},  {"0000", 1, "4", " x ", "0000DDB4 x "},
        {"9999", 3, "5", "AB", "9999DDI5AB"}, {"0000", 4, "7", "Z", "0000DDJ7Z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        ConsoleRig rig;
        rig.AnswerText([](const std::string&) { return std::string("0000OK"); });

        EXPECT_EQ(ct::tests::RunConsoleModuleCommand(rig.frame, c.deviceId, c.typeIndex, c.moduleId, c.typed,
                                                     rig.Show()),
                  Outcome::CommandOk);
        EXPECT_EQ(rig.device.commands, std::vector<std::string>{c.command});
    }
}

}  // namespace
