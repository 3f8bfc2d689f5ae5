// The one-command operations on the fake link: alarm test, factory reset,
// reboot, the two line speed switches and set date and time. What each sends,
// which reply lengths it takes, how it reports, and that its title, one round
// of events and the 100 ms pause come before the command.
#include "tests/AlarmResetReboot.h"
#include "tests/LineSpeed.h"
#include "tests/Operation.h"
#include "tests/SetDateTime.h"

#include "support/OperationFixture.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

using ct::link::Lamp;
using ct::link::StatusMessage;
using ct::testing::OperationRig;
using ct::testing::RecordingTitleView;
using ct::tests::Outcome;
using ct::tests::Title;

// Local time that runs with the fake clock: `start` at the fake time the
// clock is made, plus `startMs` of a second.
class FakeLocalClock final : public ct::tests::ILocalClock {
public:
    FakeLocalClock(ct::testing::FakeClock& clock, const ct::tests::LocalDateTime& start, int startMs)
        : clock_(clock), origin_(clock.now)
    {
        std::tm t{};
        t.tm_year = start.year - 1900;
        t.tm_mon = start.month - 1;
        t.tm_mday = start.day;
        t.tm_hour = start.hour;
        t.tm_min = start.minute;
        t.tm_sec = start.second;
#ifdef _WIN32
        startSeconds_ = ::_mkgmtime(&t);
#else
        startSeconds_ = ::timegm(&t);
#endif
        startMs_ = startMs;
    }
    ct::tests::LocalDateTime Now() override
    {
        const std::uint64_t ms = static_cast<std::uint64_t>(startMs_) + (clock_.now - origin_);
        const std::time_t seconds = startSeconds_ + static_cast<std::time_t>(ms / 1000);
        std::tm t{};
#ifdef _WIN32
        ::gmtime_s(&t, &seconds);
#else
        ::gmtime_r(&seconds, &t);
#endif
        return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
    }

private:
    ct::testing::FakeClock& clock_;
    std::uint64_t origin_;
    std::time_t startSeconds_ = 0;
    int startMs_ = 0;
};

struct Rig : OperationRig {
    RecordingTitleView view{log};
    FakeLocalClock localClock{clock, {2024, 3, 1, 8, 5, 9}, 0};
};

struct OperationCase {
    const char* name;
    std::function<Outcome(Rig&)> run;
    std::string command;
    Title title;
    std::set<int> acceptedLengths;  // ReplyLength values that count
};

void PrintTo(const OperationCase& c, std::ostream* os) { *os << c.name; }

OperationCase Alarm(int number)
{
    return {"alarm", [number](Rig& r) { return ct::tests::RunAlarmTest(r.frame, r.view, "0000", number); },
            "0000JF" + std::to_string(number), Title::AlarmTest, {12, 13}};
}

const OperationCase kOperations[] = {
    Alarm(0),
    {"factoryReset", [](Rig& r) { return ct::tests::RunFactoryReset(r.frame, r.view, "0000"); }, "0000AR01",
     Title::SetFactory, {13}},
    {"reboot", [](Rig& r) { return ct::tests::RunReboot(r.frame, r.view, "0000"); }, "0000AR00", Title::SetReboot,
     {13}},
    {"line19200",
     [](Rig& r) { return ct::tests::RunSetLineSpeed(r.frame, r.view, "0000", ct::tests::LineSpeed::Baud19200); },
     "0000AE001002", Title::SetBaud19200, {13}},
    {"line115200",
     [](Rig& r) { return ct::tests::RunSetLineSpeed(r.frame, r.view, "0000", ct::tests::LineSpeed::Baud115200); },
     "0000AE001400", Title::SetBaud115200, {13}},
    {"setDateTime",
     [](Rig& r) { return ct::tests::RunSetDateTime(r.frame, r.view, r.localClock, "0000"); },
     "0000AA20240301080509", Title::SetDateTime, {12, 13}},
};

class SingleCommandTest : public ::testing::TestWithParam<OperationCase> {};

TEST_P(SingleCommandTest, operation_replyOfEachLength_okOnlyForAcceptedLengths)
{
    const OperationCase& op = GetParam();
    for (std::size_t textLength = 4; textLength <= 7; ++textLength) {
        const int frameLength = static_cast<int>(textLength + ct::link::CrcReplyOverhead);
        SCOPED_TRACE(frameLength);
        Rig rig;
        rig.AnswerText([&](const std::string&) { return ct::testing::ReplyTextOfLength(textLength); });

        const Outcome outcome = op.run(rig);

        EXPECT_EQ(rig.device.commands, std::vector<std::string>{op.command});
        EXPECT_EQ(rig.view.titles, std::vector<Title>{op.title});
        EXPECT_EQ(rig.clock.sleeps, std::vector<std::uint32_t>{100});
        EXPECT_EQ(rig.LogFromTitle(4),
                  (std::vector<std::string>{"title", "events", "pause 100", "send " + op.command}));
        EXPECT_FALSE(rig.device.open);
        EXPECT_EQ(rig.status.ended, 1);
        if (op.acceptedLengths.count(frameLength)) {
            EXPECT_EQ(outcome, Outcome::CommandOk);
            EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandOk);
            EXPECT_EQ(rig.status.lamp, Lamp::Yellow);
            EXPECT_EQ(rig.beeper.frequencies, std::vector<int>{ct::link::HighBeepHz});
        } else {
            EXPECT_EQ(outcome, Outcome::CommandError);
            EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandError);
            EXPECT_EQ(rig.status.lamp, Lamp::Red);
            EXPECT_EQ(rig.beeper.frequencies, std::vector<int>{ct::link::LowBeepHz});
        }
    }
}

TEST_P(SingleCommandTest, operation_silenceOrBadCrc_commandError)
{
    const OperationCase& op = GetParam();
    for (const bool silent : {true, false}) {
        SCOPED_TRACE(silent ? "silence" : "bad CRC");
        Rig rig;
        rig.Respond([&](const std::string&) {
            return silent ? std::string() : ct::testing::BadCrcFrame(ct::testing::ReplyTextOfLength(6));
        });

        EXPECT_EQ(op.run(rig), Outcome::CommandError);
        EXPECT_EQ(rig.device.commands, std::vector<std::string>{op.command});
        EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandError);
        EXPECT_EQ(rig.status.lamp, Lamp::Red);
        EXPECT_FALSE(rig.device.open);
    }
}

TEST_P(SingleCommandTest, operation_linkCannotBeOpened_connectErrorNothingSentNoTitle)
{
    const OperationCase& op = GetParam();
    for (const std::uint8_t linkType : {ct::link::LinkTypeCom, ct::link::LinkTypeNet}) {
        SCOPED_TRACE(static_cast<int>(linkType));
        Rig rig;
        rig.status.settings.LinkType = linkType;
        rig.device.failSerialOpen = true;
        rig.device.failTcpOpen = true;

        EXPECT_EQ(op.run(rig), Outcome::ConnectError);
        EXPECT_TRUE(rig.device.frames.empty());
        EXPECT_TRUE(rig.view.titles.empty());
        EXPECT_TRUE(rig.clock.sleeps.empty());
        EXPECT_EQ(rig.status.statuses.back(), StatusMessage::ConnectError);
        EXPECT_EQ(rig.status.lamp, Lamp::Red);
        EXPECT_EQ(rig.beeper.frequencies, std::vector<int>{ct::link::LowBeepHz});
        EXPECT_TRUE(rig.status.windowEnabled);
        EXPECT_FALSE(rig.status.busyCursor);
    }
}

INSTANTIATE_TEST_SUITE_P(Operations, SingleCommandTest, ::testing::ValuesIn(kOperations),
                         [](const ::testing::TestParamInfo<OperationCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(AlarmTest, alarmNumbers0To6_sentAsOneDigitAfterJf)
{
    for (int number = 0; number < 7; ++number) {
        SCOPED_TRACE(number);
        Rig rig;
        rig.AnswerText([](const std::string&) { return std::string("0000OK"); });
        EXPECT_EQ(ct::tests::RunAlarmTest(rig.frame, rig.view, "0000", number), Outcome::CommandOk);
        EXPECT_EQ(rig.device.commands, std::vector<std::string>{"0000JF" + std::to_string(number)});
    }
}

struct DateTimeCase {
    const char* name;
    ct::tests::LocalDateTime start;
    int startMs;
    const char* digits;  // sent after the 100 ms pause
};

void PrintTo(const DateTimeCase& c, std::ostream* os) { *os << c.name; }

class SetDateTimeTest : public ::testing::TestWithParam<DateTimeCase> {};

TEST_P(SetDateTimeTest, setDateTime_localTime_readAfterPauseAndSentAsFourteenDigits)
{
    const DateTimeCase& c = GetParam();
    Rig rig;
    FakeLocalClock local(rig.clock, c.start, c.startMs);
    rig.AnswerText([](const std::string&) { return std::string("0001OK"); });
    std::string sent;

    EXPECT_EQ(ct::tests::RunSetDateTime(rig.frame, rig.view, local, "0001", &sent), Outcome::CommandOk);
    EXPECT_EQ(sent, c.digits);
    EXPECT_EQ(rig.device.commands, std::vector<std::string>{std::string("0001AA") + c.digits});
}

INSTANTIATE_TEST_SUITE_P(
    Times, SetDateTimeTest,
    ::testing::Values(DateTimeCase{"plain", {2024, 3, 1, 8, 5, 9}, 0, "20240301080509"},
                      DateTimeCase{"fractionDropped", {2024, 3, 1, 8, 5, 9}, 899, "20240301080509"},
                      DateTimeCase{"secondTurnsDuringPause", {2024, 3, 1, 8, 5, 9}, 900, "20240301080510"},
                      DateTimeCase{"yearTurnsDuringPause", {2024, 12, 31, 23, 59, 59}, 950, "20250101000000"},
                      DateTimeCase{"leapDay", {2024, 2, 28, 23, 59, 59}, 950, "20240229000000"}),
    [](const ::testing::TestParamInfo<DateTimeCase>& info) { return std::string(info.param.name); });

TEST(DateTimeText, compactAndClockDisplay_zeroPaddedInFieldOrder)
{
    const ct::tests::LocalDateTime midnight{2025, 1, 1, 0, 0, 0};
    const ct::tests::LocalDateTime evening{987, 12, 31, 23, 9, 7};
    EXPECT_EQ(ct::tests::CompactDateTime(midnight), "20250101000000");
    EXPECT_EQ(ct::tests::CompactDateTime(evening), "09871231230907");
    EXPECT_EQ(ct::tests::ClockDisplayText(midnight, "/", ":"), "2025/01/01 00:00:00");
    EXPECT_EQ(ct::tests::ClockDisplayText(evening, ".", "\xEF\xBC\x9A"),
              "0987.12.31 23\xEF\xBC\x9A" "09\xEF\xBC\x9A" "07");
}

TEST(DateTimeText, formatSeparator_firstNonFieldCharacterOrFallback)
{
    struct Case {
        const char* format;
        const char* separator;
    };
    const Case cases[] = {
        {"dd.MM.yyyy", "."},
        {"yyyy/MM/dd", "/"},
        {"HH:mm:ss", ":"},
        {"d MMM yyyy", "#"},             // spaces and letters only
        {"yyyyMMdd", "#"},
        {"", "#"},
        {"yyyy'/'MM-dd", "-"},           // quoted text is not a separator
        {"HH\xEF\xBC\x9Amm", "\xEF\xBC\x9A"},  // a multi-byte separator whole
        {"yy\xC2\xB7MM.dd", "\xC2\xB7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(ct::tests::FormatSeparator(c.format, "#"), c.separator);
    }
}

TEST(FitsOneRequest, commandText_upTo1493Characters)
{
    EXPECT_TRUE(ct::tests::FitsOneRequest(""));
    EXPECT_TRUE(ct::tests::FitsOneRequest(std::string(1493, 'A')));
    EXPECT_FALSE(ct::tests::FitsOneRequest(std::string(1494, 'A')));
}

}  // namespace
