// The substitute controller's state as the commands change it: its clock,
// the alarm, the event queue and its acknowledgement, factory reset, reboot
// and the line setting; and the line-setting form the command line takes.

#include "sim/ControllerModel.h"
#include "sim/LineSetting.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"

#include <gtest/gtest.h>

namespace {

using ct::link::EncodeReply;
using ct::link::Framing;
using ct::link::ReplyField;
using namespace ct::sim;
namespace cmd = ct::link::cmd;

// A PC clock the test moves by hand.
struct FakePcClock {
    std::string now = "20240301080509";
};

ControllerModel MakeModel(FakePcClock& pc, ControllerConfig c = {})
{
    return ControllerModel(std::move(c), [&pc] { return pc.now; });
}

std::string Frame(const std::optional<std::string>& replyText)
{
    return replyText ? EncodeReply(Framing::Crc, *replyText) : std::string();
}

std::string PolledTime(ControllerModel& model)
{
    return ReplyField(Frame(model.Answer("0001PI")), 8, 14);
}

EventRecord Record(char tag)
{
    return EventRecord{tag, "20240301075959", "0012", std::string(5, tag)};
}

TEST(ControllerClock, setByAa_pollReportsItAdvancingWithThePcClock)
{
    FakePcClock pc;
    auto model = MakeModel(pc);
    EXPECT_EQ(PolledTime(model), pc.now);

    EXPECT_EQ(Frame(model.Answer("0001AA20231231235958")).size(), static_cast<std::size_t>(cmd::AckReplyLength));
    EXPECT_EQ(PolledTime(model), "20231231235958");
    // Three seconds later the controller's clock has crossed the year.
    pc.now = "20240301080512";
    EXPECT_EQ(PolledTime(model), "20240101000001");
    EXPECT_EQ(model.ControllerTime(), "20240101000001");
    // A leap day and the day after it.
    ASSERT_TRUE(model.SetControllerTime("20240228235959"));
    pc.now = "20240301080514";
    EXPECT_EQ(PolledTime(model), "20240229000001");
}

class ClockRefused : public ::testing::TestWithParam<const char*> {};

TEST_P(ClockRefused, setByAa_notARealTime_noAnswerAndClockUnchanged)
{
    FakePcClock pc;
    auto model = MakeModel(pc);
    ASSERT_TRUE(model.SetControllerTime("20200101000000"));
    EXPECT_FALSE(model.Answer(std::string("0001AA") + GetParam()).has_value());
    EXPECT_EQ(PolledTime(model), "20200101000000");
}

INSTANTIATE_TEST_SUITE_P(Texts, ClockRefused,
                         ::testing::Values("20241301080509", "20240001080509", "20240230080509", "20230229080509",
                                           "20240431080509", "20240301240000", "20240301086000", "20240301080560",
                                           "2024030108050", "202403010805090", "2024030108050X", ""));

TEST(ControllerEvents, acknowledge_onlyAfterThePollThatShowedTheRecord)
{
    FakePcClock pc;
    ControllerConfig c;
    c.records = {Record('1'), Record('2')};
    auto model = MakeModel(pc, c);

    // An "IB" before any poll, and a second "IB" after one, take nothing.
    model.Answer("0001IB");
    EXPECT_EQ(model.config().records.size(), 2U);
    EXPECT_EQ(ReplyField(Frame(model.Answer("0001PI")), 30, 1), "1");
    model.Answer("0001IB");
    model.Answer("0001IB");
    ASSERT_EQ(model.config().records.size(), 1U);
    EXPECT_EQ(model.config().records.front().tag, '2');

    // A record queued after a poll without records was not shown.
    model.Answer("0001PI");
    model.Answer("0001IB");
    EXPECT_TRUE(model.config().records.empty());
    model.Answer("0001PI");
    model.QueueRecord(Record('3'));
    model.Answer("0001IB");
    EXPECT_EQ(model.config().records.size(), 1U);
}

TEST(ControllerEvents, setConfig_shownRecordReplaced_acknowledgeKeepsTheNewOne)
{
    FakePcClock pc;
    ControllerConfig c;
    c.records = {Record('1')};
    auto model = MakeModel(pc, c);
    model.Answer("0001PI");

    // Same first record: the acknowledgement still applies to it.
    model.SetConfig(model.config());
    model.Answer("0001IB");
    EXPECT_TRUE(model.config().records.empty());

    c.records = {Record('1')};
    model.SetConfig(c);
    model.Answer("0001PI");
    c.records = {Record('9')};
    model.SetConfig(c);
    model.Answer("0001IB");
    ASSERT_EQ(model.config().records.size(), 1U);
    EXPECT_EQ(model.config().records.front().tag, '9');
}

TEST(ControllerAlarm, jf_eachAlarmNumber_setsStateOthersRefused)
{
    FakePcClock pc;
    auto model = MakeModel(pc);
    for (int n = cmd::AlarmCount - 1; n >= 0; --n) {
        EXPECT_TRUE(model.Answer("0001JF" + std::to_string(n)).has_value());
        EXPECT_EQ(model.config().alarm, n);
    }
    model.Answer("0001JF3");
    for (const char* bad : {"0001JF7", "0001JF", "0001JF12", "0001JFx"}) {
        EXPECT_FALSE(model.Answer(bad).has_value()) << bad;
        EXPECT_EQ(model.config().alarm, 3) << bad;
    }
}

TEST(ControllerReset, factoryReset_clearsAlarmEventsAndClock_keepsIdentityInputsAndLine)
{
    FakePcClock pc;
    ControllerConfig c;
    c.id = "0042";
    c.inputs = "10100000";
    c.records = {Record('1')};
    auto model = MakeModel(pc, c);
    model.Answer("0042JF5");
    model.Answer("0042AA20200101000000");
    model.Answer("0042AE001002");

    EXPECT_EQ(Frame(model.Answer("0042AR01")).size(), static_cast<std::size_t>(cmd::AckReplyLength));
    EXPECT_EQ(model.factoryResets(), 1);
    EXPECT_EQ(model.reboots(), 0);
    EXPECT_EQ(model.config().alarm, 0);
    EXPECT_TRUE(model.config().records.empty());
    EXPECT_EQ(model.ControllerTime(), pc.now);
    EXPECT_EQ(model.config().id, "0042");
    EXPECT_EQ(model.config().inputs, "10100000");
    EXPECT_EQ(model.config().line, cmd::Line19200Settings);
}

TEST(ControllerReset, reboot_countedStateKept)
{
    FakePcClock pc;
    ControllerConfig c;
    c.records = {Record('1')};
    auto model = MakeModel(pc, c);
    model.Answer("0001JF2");
    model.Answer("0001PI");
    EXPECT_EQ(Frame(model.Answer("0001AR00")).size(), static_cast<std::size_t>(cmd::AckReplyLength));
    EXPECT_EQ(model.reboots(), 1);
    EXPECT_EQ(model.config().alarm, 2);
    // The restarted controller has not shown the record to anyone.
    model.Answer("0001IB");
    EXPECT_EQ(model.config().records.size(), 1U);
}

TEST(ControllerLine, ae_switchesLineAnsweredAlike)
{
    FakePcClock pc;
    auto model = MakeModel(pc);
    EXPECT_EQ(model.config().line, cmd::Line115200Settings);
    EXPECT_EQ(Frame(model.Answer("0001AE001002")).size(), static_cast<std::size_t>(cmd::AckReplyLength));
    EXPECT_EQ(model.config().line, cmd::Line19200Settings);
    model.Answer("0001AE001002");
    EXPECT_EQ(model.config().line, cmd::Line19200Settings);
    model.Answer("0001AE001400");
    EXPECT_EQ(model.config().line, cmd::Line115200Settings);
    EXPECT_FALSE(model.SetLine("19200,x,8,1"));
    EXPECT_EQ(model.config().line, cmd::Line115200Settings);
}

TEST(ControllerInputs, setInputs_dg0ReportsThem)
{
    FakePcClock pc;
    auto model = MakeModel(pc);
    model.SetInputs("1x0 0001");
    EXPECT_EQ(ReplyField(Frame(model.Answer("0001DG0")), 8, 8), "1x0 0001");
}

struct LineCase {
    const char* text;
    bool valid;
    int baud;
    char parity;
};

class LineSettingForms : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineSettingForms, parse_form_acceptedOrRefused)
{
    const LineCase& c = GetParam();
    const auto line = ParseLineSetting(c.text);
    ASSERT_EQ(line.has_value(), c.valid) << c.text;
    if (line) {
        EXPECT_EQ(static_cast<int>(*line->baudRate), c.baud);
        EXPECT_EQ(*line->parity, c.parity);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, LineSettingForms,
    ::testing::Values(LineCase{"115200,n,8,1", true, 115200, 'n'}, LineCase{"19200,e,8,1", true, 19200, 'e'},
                      LineCase{"9600,o,7,2", true, 9600, 'o'}, LineCase{"921600,e,8,1", true, 921600, 'e'},
                      LineCase{"19201,e,8,1", false, 0, 0}, LineCase{"19200,x,8,1", false, 0, 0},
                      LineCase{"19200,e,9,1", false, 0, 0}, LineCase{"19200,e,8,3", false, 0, 0},
                      LineCase{"19200,e,8", false, 0, 0}, LineCase{"19200,e,8,1,", false, 0, 0},
                      LineCase{",e,8,1", false, 0, 0}, LineCase{"garbage", false, 0, 0}, LineCase{"", false, 0, 0},
                      // Read as the tool's link reads a settings string.
                      LineCase{" 19200, E ,8,1", true, 19200, 'e'}, LineCase{"19,e,8,1", true, 19200, 'e'},
                      LineCase{"baud=9600 parity=n data=8 stop=1", true, 9600, 'n'},
                      LineCase{"baud=9600 parity=n", false, 0, 0}, LineCase{"19200,e,8,1.5", false, 0, 0}));

}  // namespace
