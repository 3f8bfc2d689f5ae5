// Controller ID by serial number on the fake link: the read by DeviceID, the
// two serial-number commands that always go out as "0000AV", which reply
// lengths each takes and which fields it shows, and serial numbers too long
// for one request refused before the link is opened.
#include "modules/ControllerId.h"

#include "support/OperationFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using ct::link::Lamp;
using ct::link::StatusMessage;
using ct::tests::Outcome;

class RecordingIdView final : public ct::modules::IControllerIdView {
public:
    void ShowControllerId(const std::string& id) override { ids.push_back(id); }
    void ShowControllerSerial(const std::string& serial) override { serials.push_back(serial); }
    std::vector<std::string> ids;
    std::vector<std::string> serials;
};

struct IdRig : ct::testing::OperationRig {
    RecordingIdView view;
};

Outcome ReadById(IdRig& rig, const std::string& deviceId)
{
    return ct::modules::RunGetControllerId(rig.frame, deviceId, false, "16030001", rig.view);
}

Outcome ReadBySerial(IdRig& rig, const std::string& deviceId, const std::string& serial)
{
    return ct::modules::RunGetControllerId(rig.frame, deviceId, true, serial, rig.view);
}

Outcome SetBySerial(IdRig& rig, const std::string& serial, const std::string& newId)
{
    return ct::modules::RunSetControllerIdBySerial(rig.frame, serial, newId);
}

TEST(ControllerIdCommands, eachOperation_exactTextAfterOnePauseWithoutMessageOfItsOwn)
{
    struct Case {
        const char* name;
        std::function<Outcome(IdRig&)> run;
        std::string command;
    };
    const Case cases[] = {
        {"by ID", [](IdRig& r) { return ReadById(r, "0000"); }, "0000AS"},
        {"by ID at 0005", [](IdRig& r) { return ReadById(r, "0005"); }, "0005AS"},
        {"by serial", [](IdRig& r) { return ReadBySerial(r, "0000", "16030001"); }, "0000AV16030001"},
        {"by serial at 0005", [](IdRig& r) { return ReadBySerial(r, "0005", "16030001"); }, "0000AV16030001"},
        {"by serial, empty", [](IdRig& r) { return ReadBySerial(r, "0005", ""); }, "0000AV"},
        {"set", [](IdRig& r) { return SetBySerial(r, "16030001", "0001"); }, "0000AV160300010001"},
        {"set, ID 12 unpadded", [](IdRig& r) { return SetBySerial(r, "16030001", "12"); }, "0000AV1603000112"},
        {"set, short serial", [](IdRig& r) { return SetBySerial(r, "1", "7"); }, "0000AV17"},
        {"set, both empty", [](IdRig& r) { return SetBySerial(r, "", ""); }, "0000AV"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IdRig rig;
        rig.AnswerText([](const std::string&) { return std::string("0000OK"); });

        c.run(rig);

        EXPECT_EQ(rig.device.commands, std::vector<std::string>{c.command});
        EXPECT_EQ(rig.clock.sleeps, std::vector<std::uint32_t>{100});
        EXPECT_EQ(rig.SendsAndPauses(), (std::vector<std::string>{"pause 100", "send " + c.command}));
        ASSERT_FALSE(rig.status.statuses.empty());
        EXPECT_EQ(rig.status.statuses.front(), StatusMessage::Connecting);
        EXPECT_EQ(rig.status.statuses.size(), 2u);
        EXPECT_FALSE(rig.device.open);
        EXPECT_EQ(rig.status.ended, 1);
    }
}

struct ReplyCase {
    const char* name;
    std::function<Outcome(IdRig&)> run;
    std::string replyText;  // between ETX and EOT
    bool ok;
    std::vector<std::string> ids;
    std::vector<std::string> serials;
};

void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }

// Reply texts of 14, 10 and 6 characters are frames of 21, 17 and 13 bytes.
const ReplyCase kReplies[] = {
    {"byId21", [](IdRig& r) { return ReadById(r, "0003"); }, "0003AS12345678", true, {"0003"}, {"12345678"}},
    {"byId17", [](IdRig& r) { return ReadById(r, "0003"); }, "0003AV1234", false, {}, {}},
    {"byId22", [](IdRig& r) { return ReadById(r, "0003"); }, "0003AS123456789", false, {}, {}},
    {"byId13", [](IdRig& r) { return ReadById(r, "0003"); }, "0003OK", false, {}, {}},
    {"bySerial17", [](IdRig& r) { return ReadBySerial(r, "0000", "16030001"); }, "0007AV1603", true, {"0007"}, {}},
    {"bySerial13", [](IdRig& r) { return ReadBySerial(r, "0000", "16030001"); }, "0007OK", false, {}, {}},
    {"bySerial21", [](IdRig& r) { return ReadBySerial(r, "0000", "16030001"); }, "0007AS12345678", false, {}, {}},
    {"bySerial16", [](IdRig& r) { return ReadBySerial(r, "0000", "16030001"); }, "0007AV160", false, {}, {}},
    {"set17", [](IdRig& r) { return SetBySerial(r, "16030001", "0001"); }, "0001AV1603", true, {}, {}},
    {"set13", [](IdRig& r) { return SetBySerial(r, "16030001", "0001"); }, "0001OK", false, {}, {}},
    {"set18", [](IdRig& r) { return SetBySerial(r, "16030001", "0001"); }, "0001AV16030", false, {}, {}},
};

class ControllerIdReplyTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ControllerIdReplyTest, passedReply_okOnlyAtItsLengthFieldsShownOnlyThen)
{
    const ReplyCase& c = GetParam();
    IdRig rig;
    rig.AnswerText([&](const std::string&) { return c.replyText; });

    const Outcome outcome = c.run(rig);

    EXPECT_EQ(rig.view.ids, c.ids);
    EXPECT_EQ(rig.view.serials, c.serials);
    EXPECT_EQ(outcome, c.ok ? Outcome::CommandOk : Outcome::CommandError);
    EXPECT_EQ(rig.status.statuses.back(), c.ok ? StatusMessage::CommandOk : StatusMessage::CommandError);
    EXPECT_EQ(rig.status.lamp, c.ok ? Lamp::Yellow : Lamp::Red);
    EXPECT_EQ(rig.beeper.frequencies,
              std::vector<int>{c.ok ? ct::link::HighBeepHz : ct::link::LowBeepHz});
    EXPECT_FALSE(rig.device.open);
}

TEST_P(ControllerIdReplyTest, silenceOrBadCrc_commandErrorNothingShown)
{
    const ReplyCase& c = GetParam();
    for (const bool silent : {true, false}) {
        SCOPED_TRACE(silent ? "silence" : "bad CRC");
        IdRig rig;
        rig.Respond([&](const std::string&) {
            return silent ? std::string() : ct::testing::BadCrcFrame(c.replyText);
        });

        EXPECT_EQ(c.run(rig), Outcome::CommandError);
        EXPECT_TRUE(rig.view.ids.empty());
        EXPECT_TRUE(rig.view.serials.empty());
        EXPECT_EQ(rig.status.statuses.back(), StatusMessage::CommandError);
        EXPECT_FALSE(rig.device.open);
    }
}

TEST_P(ControllerIdReplyTest, linkCannotBeOpened_connectErrorNothingSentNothingShown)
{
    IdRig rig;
    rig.device.failSerialOpen = true;

    EXPECT_EQ(GetParam().run(rig), Outcome::ConnectError);
    EXPECT_TRUE(rig.device.frames.empty());
    EXPECT_TRUE(rig.clock.sleeps.empty());
    EXPECT_TRUE(rig.view.ids.empty());
    EXPECT_TRUE(rig.view.serials.empty());
    EXPECT_EQ(rig.status.statuses.back(), StatusMessage::ConnectError);
}

INSTANTIATE_TEST_SUITE_P(Replies, ControllerIdReplyTest, ::testing::ValuesIn(kReplies),
                         [](const ::testing::TestParamInfo<ReplyCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(ControllerIdBySerial, serialAtRequestLimit_sentOneMoreRefusedBeforeOpen)
{
    struct Case {
        const char* name;
        std::function<Outcome(IdRig&, const std::string&)> run;
        std::size_t room;  // serial characters that still fit
    };
    const Case cases[] = {
        {"read", [](IdRig& r, const std::string& s) { return ReadBySerial(r, "0005", s); }, 1493 - 6},
        {"set", [](IdRig& r, const std::string& s) { return SetBySerial(r, s, "0001"); }, 1493 - 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            IdRig rig;
            rig.AnswerText([](const std::string&) { return std::string("0001AV1603"); });
            EXPECT_EQ(c.run(rig, std::string(c.room, '1')), Outcome::CommandOk);
            ASSERT_EQ(rig.device.commands.size(), 1u);
            EXPECT_EQ(rig.device.commands[0].size(), 1493u);
        }
        {
            IdRig rig;
            EXPECT_EQ(c.run(rig, std::string(c.room + 1, '1')), Outcome::TooLong);
            EXPECT_EQ(rig.device.opens, 0);
            EXPECT_TRUE(rig.device.frames.empty());
            EXPECT_TRUE(rig.status.statuses.empty());
            EXPECT_TRUE(rig.beeper.frequencies.empty());
            EXPECT_TRUE(rig.view.ids.empty());
        }
    }
}

}  // namespace
