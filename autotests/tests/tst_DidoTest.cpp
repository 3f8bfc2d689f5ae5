// The DIDO test on the fake link: the commands and pauses of each cycle, the
// output boxes read anew at each output, which input replies reach the lamps,
// and how the test stops: one "JD", lamps and boxes reset, "Command ok.", and
// a click while it ends or while a cycle runs.
#include "tests/DidoTest.h"

#include "support/OperationFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using ct::link::Lamp;
using ct::link::StatusMessage;
using ct::tests::Outcome;
using ct::tests::TestState;

class RecordingDidoView final : public ct::tests::IDidoView {
public:
    explicit RecordingDidoView(ct::testing::OperationRig& rig) : rig_(rig) {}

    void ShowTitle(ct::tests::Title title) override
    {
        titles.push_back(title);
        rig_.log.push_back("title");
    }
    void EnterTest() override { ++enters; }
    void LeaveTest() override
    {
        ++leaves;
        statusesAtLeave = rig_.status.statuses.size();
    }
    void CycleDone(TestState& state) override
    {
        ++cycles;
        if (onCycleDone)
            onCycleDone(state);
        if (cycles >= stopAfterCycles)
            state.TestRunning = false;
    }
    bool OutputChecked(int output) override { return checked.at(static_cast<std::size_t>(output)); }
    void ShowInputs(const std::string& states) override { inputs.push_back(states); }
    void ResetInputsAndOutputs() override
    {
        resetsAfterCommands.push_back(rig_.device.commands.size());
        checked.fill(false);
    }

    std::array<bool, 4> checked{};
    int stopAfterCycles = 1;
    std::function<void(TestState&)> onCycleDone;

    std::vector<ct::tests::Title> titles;
    std::vector<std::string> inputs;
    std::vector<std::size_t> resetsAfterCommands;  // commands written before each reset
    int enters = 0;
    int leaves = 0;
    int cycles = 0;
    std::size_t statusesAtLeave = 0;

private:
    ct::testing::OperationRig& rig_;
};

// "0000DG", the eight input characters, eight characters not read: 29 bytes.
std::string InputsReply(const std::string& inputs)
{
    return "0000DG" + inputs + "99999999";
}

class DidoTest : public ::testing::Test {
protected:
    DidoTest()
    {
        rig.AnswerText([this](const std::string& command) {
            return command == "0000DG0" ? inputsReply : std::string("0000OK");
        });
    }

    Outcome Click() { return ct::tests::ClickDidoTest(rig.frame, state, "0000", view); }

    std::string LastCommand() const
    {
        return rig.device.commands.empty() ? std::string() : rig.device.commands.back();
    }

    void ExpectEndedOk(Outcome outcome)
    {
        EXPECT_EQ(outcome, Outcome::CommandOk);
        ASSERT_FALSE(rig.status.statuses.empty());
        EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandOk);
        EXPECT_EQ(rig.status.lamp, Lamp::Yellow);
        EXPECT_EQ(rig.beeper.frequencies, std::vector<int>{ct::link::HighBeepHz});
        EXPECT_FALSE(rig.device.open);
        ASSERT_FALSE(rig.device.commands.empty());
        EXPECT_EQ(rig.device.commands.back(), "0000JD");
        EXPECT_EQ(std::count(rig.device.commands.begin(), rig.device.commands.end(), "0000JD"), 1);
        // Lamps and boxes are reset after the "JD" went out, before the ending.
        EXPECT_EQ(view.resetsAfterCommands, std::vector<std::size_t>{rig.device.commands.size()});
        EXPECT_EQ(view.enters, 1);
        EXPECT_EQ(view.leaves, 1);
        EXPECT_EQ(view.statusesAtLeave, rig.status.statuses.size());
        EXPECT_FALSE(state.TestRunning);
        EXPECT_FALSE(state.Active);
    }

    ct::testing::OperationRig rig;
    RecordingDidoView view{rig};
    TestState state;
    std::string inputsReply = InputsReply("10201A 1");
};

TEST_F(DidoTest, cycle_noBoxChecked_onlyDg0ThenPause)
{
    view.stopAfterCycles = 2;
    ExpectEndedOk(Click());

    EXPECT_EQ(rig.SendsAndPauses(), (std::vector<std::string>{"send 0000DG0", "pause 20", "send 0000DG0",
                                                              "pause 20", "send 0000JD"}));
    EXPECT_EQ(view.titles, std::vector<ct::tests::Title>{ct::tests::Title::DidoTest});
    EXPECT_EQ(view.inputs, (std::vector<std::string>{"10201A 1", "10201A 1"}));
}

TEST_F(DidoTest, cycle_outputs1And3Checked_commandedInOrderWith20msAfterEach)
{
    view.checked = {true, false, true, false};
    view.stopAfterCycles = 2;
    ExpectEndedOk(Click());

    const std::vector<std::string> cycle = {"send 0000JC00110002", "pause 20", "send 0000JC00310002", "pause 20",
                                            "send 0000DG0",        "pause 20"};
    std::vector<std::string> expected = cycle;
    expected.insert(expected.end(), cycle.begin(), cycle.end());
    expected.push_back("send 0000JD");
    EXPECT_EQ(rig.SendsAndPauses(), expected);
}

TEST_F(DidoTest, cycle_boxesChangedDuringCycle_takeEffectWhenReachedInSameCycle)
{
    view.checked = {true, false, false, true};
    rig.duringEvents = [this] {
        if (LastCommand() == "0000JC00110002") {
            view.checked[2] = true;
            view.checked[3] = false;
        }
    };
    ExpectEndedOk(Click());

    EXPECT_EQ(rig.device.commands,
              (std::vector<std::string>{"0000JC00110002", "0000JC00310002", "0000DG0", "0000JD"}));
}

TEST_F(DidoTest, loop_windowGivenBackWhileLinkStaysOpenAndLampBlinks)
{
    view.onCycleDone = [this](TestState&) {
        EXPECT_TRUE(rig.device.open);
        EXPECT_TRUE(rig.status.windowEnabled);
        EXPECT_FALSE(rig.status.busyCursor);
        EXPECT_TRUE(rig.status.busyTimer);
        EXPECT_TRUE(state.TestRunning);
        EXPECT_TRUE(state.Active);
    };
    ExpectEndedOk(Click());
    EXPECT_EQ(view.cycles, 1);
    EXPECT_FALSE(rig.status.busyTimer);
    EXPECT_EQ(rig.device.opens, 1);
}

struct InputReplyCase {
    const char* name;
    std::function<std::string()> frame;
};

void PrintTo(const InputReplyCase& c, std::ostream* os) { *os << c.name; }

class DidoInputReplyTest : public DidoTest, public ::testing::WithParamInterface<InputReplyCase> {};

TEST_P(DidoInputReplyTest, inputs_replyNot29BytesOrBroken_lampsKeptAndTestGoesOn)
{
    // The first cycle shows the inputs; the second one's reply must not touch them.
    view.stopAfterCycles = 2;
    rig.Respond([this](const std::string& command) {
        if (command != "0000DG0")
            return ct::testing::CrcFrame("0000OK");
        const bool first = std::count(rig.device.commands.begin(), rig.device.commands.end(), "0000DG0") == 1;
        return first ? ct::testing::CrcFrame(InputsReply("11111111")) : GetParam().frame();
    });
    ExpectEndedOk(Click());

    EXPECT_EQ(view.inputs, std::vector<std::string>{"11111111"});
    EXPECT_EQ(rig.device.commands, (std::vector<std::string>{"0000DG0", "0000DG0", "0000JD"}));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, DidoInputReplyTest,
    ::testing::Values(
        InputReplyCase{"reply28Bytes", [] { return ct::testing::CrcFrame(InputsReply("00000000").substr(0, 21)); }},
        InputReplyCase{"reply30Bytes", [] { return ct::testing::CrcFrame(InputsReply("00000000") + "9"); }},
        InputReplyCase{"badCrc", [] { return ct::testing::BadCrcFrame(InputsReply("00000000")); }},
        InputReplyCase{"silence", [] { return std::string(); }}),
    [](const ::testing::TestParamInfo<InputReplyCase>& info) { return std::string(info.param.name); });

TEST_F(DidoTest, inputs_nulAmongInputs_inputsCutOffShownInactive)
{
    // The reply text ends at the NUL; the length is still 29.
    inputsReply = InputsReply(std::string("11\0" "11111", 8));
    ExpectEndedOk(Click());

    EXPECT_EQ(view.inputs, std::vector<std::string>{"11000000"});
}

TEST_F(DidoTest, stop_silentController_stillOneJdResetAndCommandOk)
{
    view.checked = {true, true, true, true};
    view.stopAfterCycles = 2;
    rig.AnswerText([](const std::string&) { return std::string(); });
    ExpectEndedOk(Click());

    EXPECT_TRUE(view.inputs.empty());
    EXPECT_EQ(rig.device.commands.size(), 11u);
    EXPECT_EQ(view.checked, (std::array<bool, 4>{}));
}

TEST_F(DidoTest, stop_clickDuringCycle_cycleCompletedThenJd)
{
    view.checked = {true, false, false, false};
    view.stopAfterCycles = 100;
    Outcome secondClick = Outcome::CommandError;
    int clicks = 0;
    rig.duringEvents = [&] {
        // The click comes while the second cycle's output command waits.
        if (LastCommand() == "0000JC00110002" && rig.device.commands.size() == 3 && clicks++ == 0)
            secondClick = Click();
    };
    ExpectEndedOk(Click());

    EXPECT_EQ(secondClick, Outcome::StopAsked);
    EXPECT_EQ(view.cycles, 2);
    EXPECT_EQ(rig.device.commands, (std::vector<std::string>{"0000JC00110002", "0000DG0", "0000JC00110002",
                                                              "0000DG0", "0000JD"}));
}

TEST_F(DidoTest, stop_clickBeforeFirstCycle_noCycleOnlyJd)
{
    rig.duringEvents = [this] {
        if (!view.titles.empty() && state.TestRunning) {
            EXPECT_EQ(Click(), Outcome::StopAsked);
        }
    };
    ExpectEndedOk(Click());

    EXPECT_EQ(view.cycles, 0);
    EXPECT_EQ(rig.device.commands, std::vector<std::string>{"0000JD"});
}

TEST_F(DidoTest, stop_clickDuringFinalJd_ignoredNothingStarted)
{
    std::vector<Outcome> lateClicks;
    rig.duringEvents = [&] {
        if (LastCommand() == "0000JD" && rig.device.open && lateClicks.empty()) {
            EXPECT_TRUE(state.Active);
            EXPECT_FALSE(state.TestRunning);
            lateClicks.push_back(Click());
        }
    };
    ExpectEndedOk(Click());

    EXPECT_EQ(lateClicks, std::vector<Outcome>{Outcome::StopAsked});
    EXPECT_EQ(rig.device.opens, 1);
    EXPECT_EQ(rig.device.commands, (std::vector<std::string>{"0000DG0", "0000JD"}));
}

TEST_F(DidoTest, start_linkCannotBeOpened_connectErrorControlsRestored)
{
    for (const std::uint8_t linkType : {ct::link::LinkTypeCom, ct::link::LinkTypeNet}) {
        SCOPED_TRACE(static_cast<int>(linkType));
        ct::testing::OperationRig failing;
        RecordingDidoView failingView{failing};
        TestState failingState;
        failing.status.settings.LinkType = linkType;
        failing.device.failSerialOpen = true;
        failing.device.failTcpOpen = true;

        EXPECT_EQ(ct::tests::ClickDidoTest(failing.frame, failingState, "0000", failingView),
                  Outcome::ConnectError);
        EXPECT_TRUE(failing.device.frames.empty());
        EXPECT_EQ(failingView.enters, 1);
        EXPECT_EQ(failingView.leaves, 1);
        EXPECT_EQ(failingView.cycles, 0);
        EXPECT_TRUE(failingView.resetsAfterCommands.empty());
        EXPECT_FALSE(failingState.TestRunning);
        EXPECT_FALSE(failingState.Active);
        EXPECT_EQ(failing.status.statuses.back(), StatusMessage::ConnectError);
        EXPECT_EQ(failing.status.lamp, Lamp::Red);
        EXPECT_TRUE(failing.status.windowEnabled);
    }
}

TEST_F(DidoTest, start_againAfterEnd_runsAnewTest)
{
    ExpectEndedOk(Click());
    EXPECT_EQ(Click(), Outcome::CommandOk);
    EXPECT_EQ(rig.device.opens, 2);
    EXPECT_EQ(view.enters, 2);
    EXPECT_EQ(view.leaves, 2);
}

}  // namespace
