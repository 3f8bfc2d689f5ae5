// The event polling test on the fake link: which poll replies reach the date
// and record panels, the panel texts, the acknowledgement 20 ms after a shown
// record, and the end: the cycle under way completed, "Command ok." whatever
// the controller answered.
#include "tests/PollingTest.h"

#include "support/OperationFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using ct::link::Lamp;
using ct::link::StatusMessage;
using ct::tests::Outcome;
using ct::tests::TestState;

class RecordingPollingView final : public ct::tests::IPollingView {
public:
    explicit RecordingPollingView(ct::testing::OperationRig& rig) : rig_(rig) {}

    void ShowTitle(ct::tests::Title title) override
    {
        titles.push_back(title);
        rig_.log.push_back("title");
    }
    void EnterTest() override { ++enters; }
    void LeaveTest() override { ++leaves; }
    void CycleDone(TestState& state) override
    {
        if (++cycles >= stopAfterCycles)
            state.TestRunning = false;
    }
    void ShowPollDate(const std::string& text) override { dates.push_back(text); }
    void ShowPollRecord(const std::string& text) override
    {
        records.push_back(text);
        recordsAfterCommands.push_back(rig_.device.commands.size());
    }

    int stopAfterCycles = 1;
    std::vector<ct::tests::Title> titles;
    std::vector<std::string> dates;
    std::vector<std::string> records;
    std::vector<std::size_t> recordsAfterCommands;  // commands written before each record was shown
    int enters = 0;
    int leaves = 0;
    int cycles = 0;

private:
    ct::testing::OperationRig& rig_;
};

// "0000PI", the date and time, eight characters not read: 35 bytes.
std::string DateReply(const std::string& dateTime = "20240301080509")
{
    return "0000PI" + dateTime + "99999999";
}

// The above with a record: tag, date and time, code, value: 59 bytes.
std::string RecordReply(const std::string& record = "1" "20240301075959" "0012" "12345",
                        const std::string& dateTime = "20240301080509")
{
    return DateReply(dateTime) + record;
}

class PollingTest : public ::testing::Test {
protected:
    Outcome Click() { return ct::tests::ClickPollingTest(rig.frame, state, "0000", view); }

    void AnswerPollsWith(std::function<std::string()> frame)
    {
        rig.Respond([frame = std::move(frame)](const std::string& command) {
            return command == "0000PI" ? frame() : ct::testing::CrcFrame("0000OK");
        });
    }

    void ExpectEndedOk(Outcome outcome)
    {
        EXPECT_EQ(outcome, Outcome::CommandOk);
        ASSERT_FALSE(rig.status.statuses.empty());
        EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandOk);
        EXPECT_EQ(rig.status.lamp, Lamp::Yellow);
        EXPECT_FALSE(rig.device.open);
        EXPECT_EQ(view.enters, 1);
        EXPECT_EQ(view.leaves, 1);
        EXPECT_FALSE(state.TestRunning);
        EXPECT_FALSE(state.Active);
    }

    ct::testing::OperationRig rig;
    RecordingPollingView view{rig};
    TestState state;
};

TEST_F(PollingTest, poll_35ByteReply_datePanelOnlyNoAcknowledge)
{
    AnswerPollsWith([] { return ct::testing::CrcFrame(DateReply()); });
    ExpectEndedOk(Click());

    EXPECT_EQ(view.dates, std::vector<std::string>{"2024/03/01  08:05:09"});
    EXPECT_TRUE(view.records.empty());
    EXPECT_EQ(rig.SendsAndPauses(), (std::vector<std::string>{"send 0000PI", "pause 20"}));
    EXPECT_EQ(view.titles, std::vector<ct::tests::Title>{ct::tests::Title::DidoTest});
}

TEST_F(PollingTest, poll_59ByteReply_bothPanelsThenOneAcknowledge20msLater)
{
    view.stopAfterCycles = 2;
    AnswerPollsWith([] { return ct::testing::CrcFrame(RecordReply()); });
    ExpectEndedOk(Click());

    EXPECT_EQ(view.dates, (std::vector<std::string>{"2024/03/01  08:05:09", "2024/03/01  08:05:09"}));
    EXPECT_EQ(view.records, (std::vector<std::string>{"[1] 2024/03/01  07:59:59 (0012) [12345]",
                                                      "[1] 2024/03/01  07:59:59 (0012) [12345]"}));
    // Each record is on the screen before its acknowledgement goes out.
    EXPECT_EQ(view.recordsAfterCommands, (std::vector<std::size_t>{1, 3}));
    const std::vector<std::string> cycle = {"send 0000PI", "pause 20", "send 0000IB", "pause 20"};
    std::vector<std::string> expected = cycle;
    expected.insert(expected.end(), cycle.begin(), cycle.end());
    EXPECT_EQ(rig.SendsAndPauses(), expected);
}

TEST_F(PollingTest, poll_recordThenDateOnly_recordPanelKeepsLastRecord)
{
    view.stopAfterCycles = 2;
    int polls = 0;
    AnswerPollsWith([&] {
        return ++polls == 1 ? ct::testing::CrcFrame(RecordReply())
                            : ct::testing::CrcFrame(DateReply("20240301080510"));
    });
    ExpectEndedOk(Click());

    EXPECT_EQ(view.dates, (std::vector<std::string>{"2024/03/01  08:05:09", "2024/03/01  08:05:10"}));
    EXPECT_EQ(view.records.size(), 1u);
    EXPECT_EQ(rig.device.commands, (std::vector<std::string>{"0000PI", "0000IB", "0000PI"}));
}

TEST_F(PollingTest, poll_nonDigitFields_shownAsTheyAre)
{
    AnswerPollsWith([] { return ct::testing::CrcFrame(RecordReply("x" "Y2K-ab c:d e f" "#12 " "-9.5A", "2O24O3O1 8h 5m")); });
    ExpectEndedOk(Click());

    EXPECT_EQ(view.dates, std::vector<std::string>{"2O24/O3/O1   8:h :5m"});
    EXPECT_EQ(view.records, std::vector<std::string>{"[x] Y2K-/ab/ c  :d: e: f (#12 ) [-9.5A]"});
}

struct PollReplyCase {
    const char* name;
    std::function<std::string()> frame;
};

void PrintTo(const PollReplyCase& c, std::ostream* os) { *os << c.name; }

class PollingIgnoredReplyTest : public PollingTest, public ::testing::WithParamInterface<PollReplyCase> {};

TEST_P(PollingIgnoredReplyTest, poll_replyNot35Or59BytesOrBroken_nothingShownNoAcknowledge)
{
    view.stopAfterCycles = 2;
    AnswerPollsWith(GetParam().frame);
    ExpectEndedOk(Click());

    EXPECT_TRUE(view.dates.empty());
    EXPECT_TRUE(view.records.empty());
    EXPECT_EQ(rig.SendsAndPauses(),
              (std::vector<std::string>{"send 0000PI", "pause 20", "send 0000PI", "pause 20"}));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, PollingIgnoredReplyTest,
    ::testing::Values(
        PollReplyCase{"reply34Bytes", [] { return ct::testing::CrcFrame(DateReply().substr(0, 27)); }},
        PollReplyCase{"reply36Bytes", [] { return ct::testing::CrcFrame(DateReply() + "9"); }},
        PollReplyCase{"reply58Bytes", [] { return ct::testing::CrcFrame(RecordReply().substr(0, 51)); }},
        PollReplyCase{"reply60Bytes", [] { return ct::testing::CrcFrame(RecordReply() + "9"); }},
        PollReplyCase{"reply35BadCrc", [] { return ct::testing::BadCrcFrame(DateReply()); }},
        PollReplyCase{"reply59BadCrc", [] { return ct::testing::BadCrcFrame(RecordReply()); }},
        PollReplyCase{"silence", [] { return std::string(); }}),
    [](const ::testing::TestParamInfo<PollReplyCase>& info) { return std::string(info.param.name); });

TEST_F(PollingTest, stop_clickDuringPoll_cycleWithAcknowledgeCompletedNothingAfter)
{
    view.stopAfterCycles = 100;
    AnswerPollsWith([] { return ct::testing::CrcFrame(RecordReply()); });
    Outcome secondClick = Outcome::CommandError;
    rig.duringEvents = [&] {
        if (rig.device.commands == std::vector<std::string>{"0000PI"} && state.TestRunning)
            secondClick = Click();
    };
    ExpectEndedOk(Click());

    EXPECT_EQ(secondClick, Outcome::StopAsked);
    EXPECT_EQ(view.cycles, 1);
    EXPECT_EQ(view.records.size(), 1u);
    EXPECT_EQ(rig.SendsAndPauses(),
              (std::vector<std::string>{"send 0000PI", "pause 20", "send 0000IB", "pause 20"}));
}

TEST_F(PollingTest, stop_silentController_commandOk)
{
    view.stopAfterCycles = 3;
    AnswerPollsWith([] { return std::string(); });
    ExpectEndedOk(Click());

    EXPECT_EQ(rig.device.commands, (std::vector<std::string>{"0000PI", "0000PI", "0000PI"}));
    EXPECT_EQ(rig.beeper.frequencies, std::vector<int>{ct::link::HighBeepHz});
}

TEST_F(PollingTest, start_linkCannotBeOpened_connectErrorNoPollControlsRestored)
{
    rig.device.failSerialOpen = true;

    EXPECT_EQ(Click(), Outcome::ConnectError);
    EXPECT_TRUE(rig.device.frames.empty());
    EXPECT_EQ(view.enters, 1);
    EXPECT_EQ(view.leaves, 1);
    EXPECT_EQ(view.cycles, 0);
    EXPECT_FALSE(state.TestRunning);
    EXPECT_FALSE(state.Active);
    EXPECT_EQ(rig.status.statuses.back(), StatusMessage::ConnectError);
    EXPECT_EQ(rig.status.lamp, Lamp::Red);
}

}  // namespace
